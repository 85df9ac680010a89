#pragma once
// Something the reader of the JSON reports should know that is not a fix (a
// port that cannot be opened, a receiver that takes no commands) as an ERROR
// object on one line, as the GNSS daemon's clients read them:
//
//   {"class":"ERROR","message":"cannot open /dev/ttyO1: No such file or directory"}

#include <string>

std::string ErrorReportLine(const std::string& message);
