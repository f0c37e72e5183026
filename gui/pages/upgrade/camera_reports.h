#pragma once

#include <string>

// The string number of a camera's report message ("E001" -> 110 ... "E010"
// -> 114), 0 for a report that has no text of its own.
int ReportStringId(const std::string& report);
