#pragma once

#include <ostream>
#include <string_view>

#include "device/AhrsState.h"
#include "device/LineParser.h"

// Prints a record as "Name=value" lines, one per field, in the record's own order:
// text fields, whole numbers, real numbers, then the two scale tables in key order.
// Indexed fields print as "Name[i]=value", booleans as 0/1, reals with "%.17g", and
// texts byte for byte with '\' doubled and bytes outside printable ASCII as "\xHH".
// Versions and serial numbers are the last reported texts, whether or not the record has
// taken them yet: a capture shows exactly what the unit sent.
void PrintRecord(std::ostream& out, const CAhrsState& state);

// "AckEvent[i]=n": how many times each acknowledgement event was set.
void PrintAckCounts(std::ostream& out, const CLineParser& parser);

// The text escaping used for text fields.
std::string EscapeText(std::string_view text);
