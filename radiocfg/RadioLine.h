#pragma once
// A flow's line to its radio, one per run: the serial port (8N1, RTS/CTS,
// 2.5 s read deadline) waiting as the command line says (the patient default,
// or the fast exchange with --fast), what watches it (--trace, the progress
// line: RunWatch.h), and the engine's timer. A driver is built on timer and
// device() and handed to attach(), which gives it the same timing and the
// watch's listener. A port lost mid-run fails as LineLostException
// (LineGuard.h). The line outlives every driver built on it; the port is
// closed when the line goes.

#include <string>

#include <boost/program_options.hpp>

#include "common/ExchangeTiming.h"
#include "common/PortConfig.h"
#include "common/Timer.h"
#include "devices/AsioSerialDevice.h"
#include "radiocfg/LineGuard.h"
#include "radiocfg/RunWatch.h"

class RadioLine {
public:
    RadioLine(const std::string& port, Veltrio::Common::PORT_CONFIG_BAUD baud,
              const boost::program_options::variables_map& options);
    RadioLine(const RadioLine&) = delete;
    RadioLine& operator=(const RadioLine&) = delete;

    Veltrio::Common::DeviceCommInterface* device() { return watch.device(); }
    Veltrio::Radio::ExchangeListener* listener() { return watch.listener(); }
    const Veltrio::Common::ExchangeTiming& getTiming() const { return timing; }

    template <class Radio>
    Radio& attach(Radio& radio) {
        radio.setTiming(timing);
        radio.setExchangeListener(watch.listener());
        return radio;
    }

    // Every flow's drivers time out a command after this long (ms).
    static constexpr unsigned int commandTimeout = 2000;

    ::Timer timer;

private:
    const Veltrio::Common::ExchangeTiming timing;
    Veltrio::Devices::AsioSerialDevice serial;
    LineGuard guard;
    RunWatch watch;
};
