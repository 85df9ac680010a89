#pragma once
// What every TPV and SKY object of gnssmon --json must be: one line of valid
// JSON with only the documented fields, each of its type and inside its
// range, and no number missing (a value that is not finite would come out as
// null). A broken rule aborts (FUZZ_CHECK).

#include <string>

namespace ReportCheck {

void tpv(const std::string& line, const char* device);
void sky(const std::string& line, const char* device);

} // namespace ReportCheck
