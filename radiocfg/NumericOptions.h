#pragma once
// The numeric options. Each value must be a plain decimal number (the option
// parser would take "-1" as 4294967295) and, where the option has a range,
// lie inside it. The 920A's channel and unit address are checked here, so
// that the refusal shows the value as typed; the other values are checked by
// their drivers, whose messages name them ("Invalid power: 150"), and the
// baud rate after the port.

#include <string>

#include <boost/program_options.hpp>

// Whether `text` passes as the value of `option` (a name without dashes);
// true for an option that is not numeric.
bool numberAccepted(const std::string& option, const std::string& text);

// Throws, with "Invalid --OPTION: TEXT" (and the range where there is one),
// for the first numeric option whose value is refused. Runs before the
// values are stored, so nothing has been converted yet.
void checkNumbers(const boost::program_options::parsed_options& parsed);
