#pragma once
// The serial line as the radio engine sees it, with a lost line told in the
// radio's terms.
//
// A port that goes away in the middle of a run (a USB adapter unplugged, the
// far side hung up) fails the next read or write with an I/O error, which
// the serial device reports without knowing what the run was doing. Here it
// becomes one line naming the command concerned:
//
//   Line lost while waiting for the answer to: ATS104?\r\n
//   Line lost while writing: SL++O
//
// Everything else is forwarded to the line untouched.

#include <string>

#include "common/Exception.h"
#include "common/WireTrace.h"

class LineLostException : public Veltrio::Common::ExceptionWithExtraInfo {
public:
    // `when` says what the run was doing, `command` is the command's bytes.
    LineLostException(const std::string& when, const std::string& command);
};

class LineGuard : private Veltrio::Common::WireWatcher, public Veltrio::Common::WatchedDevice {
public:
    // `line` must outlive the guard.
    explicit LineGuard(Veltrio::Common::DeviceCommInterface& line);

    void dataIn() override;
    bool dataInWithin(unsigned int deadline) override;
    void dataOut(const char* data, unsigned int length) override;

private:
    void written(const char* data, unsigned int length) override;
    void read(const char*, unsigned int) override {}

    // The bytes of the last write: the command whose answer is awaited.
    std::string lastCommand;
};
