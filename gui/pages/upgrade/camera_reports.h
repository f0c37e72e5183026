#pragma once

#include <string>

// The string number of a camera's report message ("E001" -> 110 ... "E010"
// -> 114), 0 for a report that has no text of its own. What each report
// means is the protocol's (ReportMeaning); this is the window's words for it.
int ReportStringId(const std::string& report);
