#pragma once
// --trace of gnssmon: every write to and every read from the receiver's UART
// as one line on standard error,
//
//      412 > $JI\r\n
//      431 < $>JI,1234,1,2,3\r\n{$BIN1 len 52}$GPGGA,...\r\n
//
// milliseconds since the program started, ">" written or "<" read, and the
// bytes as text: \r \n \t \\ as written here, "{" as \x7b, every other byte
// outside printable ASCII as \xNN. A binary message is shortened to its
// header: "{$BIN1 len 52}" stands for a whole frame of message 1 with 52
// data bytes ("$BIN", number, length, data, checksum). A frame cut by the end
// of a read goes on in the next read's line as "{rest of $BIN1: 30 bytes}".
// Only frames the binary parser would take are shortened (messages 1, 2, 97,
// 98, 99; at most 502 data bytes), and only when the 8 header bytes came in
// one read.
//
// The hook for UartSetTraceHook. Nothing is allocated; each line goes out
// with one write(). Single-threaded, like the UART.

void UartTraceBytes(int port, char direction, const unsigned char* data, int length);
