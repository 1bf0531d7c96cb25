// The name of the running Windows version, for the error report.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Keys are the code in decimal text, values the display names.
extern std::vector<std::pair<std::wstring, std::wstring>> OsNameTable;

constexpr int UnknownOsCode = 200;

void FillOsNameTable();
// The name of the code's row; for a code without a row the empty string (and an
// empty row is entered for it).
std::wstring LookupOsName(int code);
// The running system's code, asked anew at each call.
int OsVersionCode();

// The decision for an NT system from its version numbers and product type.
int ClassifyNtVersion(unsigned major, unsigned minor, unsigned build, unsigned product_type);
// The decision for a system of platform id 1 (the 9x line), by minor version alone.
int ClassifyWindows9xVersion(unsigned minor);
