#pragma once
// Field-level helpers of the NMEA parser: the tokenizer, the NMEA 0183
// checksum test, the hexadecimal field readings of "$GPALM", and the
// degrees-and-minutes conversion. Pure functions over text, no I/O.

#include <cstdint>

// strtok with empty fields kept. With a non-null `text` it starts there,
// otherwise it continues where the previous call stopped. The first character
// found in `delimiters` is overwritten with NUL and the token before it is
// returned. At the end of the text the remaining characters are returned when
// there are any, else null; the position then stays, so a further call
// returns the same last token (or null) again. One static position: not
// re-entrant.
char* pszGpsToken(char* text, const char* delimiters);

// NMEA 0183 checksum of a whole line as received ("$...*hh", with or without
// CR/LF): the XOR of the characters between "$" and the first "*" equals the
// two hexadecimal digits after "*". A line without "*" fails.
bool bNmeaChecksumOk(const char* line);

// Unsigned reading of a hexadecimal field of up to 8 digits ("0"-"9", "A"-"F",
// either case; any other character counts as digit 0). A field of more than
// 8 characters reads as 0.
uint32_t dwNmeaHexUnsigned(const char* field);
// The same field sign-extended from its top digit: a field shorter than 8
// digits is padded on the left with "F" when its first digit is 8 or more,
// else with "0". A field of more than 8 characters reads from its first 8.
int32_t lNmeaHexSigned(const char* field);

// NMEA angle ddmm.mmmm (or dddmm.mmmm) to degrees: 4916.45 gives 49.27416...
double dXlateGgaLatLon(double angle);
