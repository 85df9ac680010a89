#pragma once
// A failure is reported on one line of standard output.
//
// Failure messages quote the bytes a command wrote ("Command error: " and the
// command), and those bytes are not always printable: the Microhard commands
// end in CR LF, the command that leaves command mode also begins with one, and
// the L400 dealer mode is left with a lone ESC. Printed raw, they would split
// the message over several lines or reach the terminal as control codes. They
// are shown the way the C language writes them instead, so the field engineer
// still sees exactly what went on the wire:
//
//   Command error: ATS102=1\r\n
//   Timeout waiting for repsonse: \r\nATA\r\n
//   Timeout waiting for repsonse: \x1b
//
// CR, LF and TAB become \r, \n and \t; every other control byte (below 0x20,
// and 0x7f) becomes \x and two lower-case hexadecimal digits. Everything else
// is left as it is.

#include <string>

std::string failureLine(const std::string& message);
