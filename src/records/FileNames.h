#pragma once

#include <string>
#include <string_view>

// A text (a serial number) made safe to use inside a file name: bytes that are path
// separators ('/' and '\\'), control characters or outside printable ASCII become '_'.
// Ordinary serial numbers are unchanged.
std::string SafeFileNamePart(std::string_view text);

// The current working directory, of any length; "." when it cannot be determined.
std::string CurrentDirectory();

// Directory and file name joined with '/'. An empty directory gives the name alone.
std::string JoinPath(std::string_view directory, std::string_view name);

// Whether a new file can be created in `directory`, found by creating (and removing) one.
// Empty when it can, else the reason it cannot.
std::string DirectoryWriteProblem(const std::string& directory);
