#pragma once

#include <string>

// Reads a whole word as a finite decimal number; anything else (empty text, trailing
// characters, overflow, inf, nan) is rejected and `value` is left as it was. Shared by the
// command line, the control commands and the port commands of the simulated unit.
bool ParseNumber(const std::string& text, double& value);
