#pragma once

#include <string>

// `value` in fixed-point notation with `decimals` decimals (0 to 17), a point as the decimal
// separator whatever the process locale, rounded as printf's "%.*f" rounds. A value that
// rounds to zero is written without a sign ("0.00", never "-0.00"): the technician, the log
// and the unit must not read a negative correction where there is none. Not-a-number and
// infinities are written as "nan", "inf" and "-inf".
std::string FixedPoint(double value, int decimals);
