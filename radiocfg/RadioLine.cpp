#include "radiocfg/RadioLine.h"

using namespace Veltrio::Common;

RadioLine::RadioLine(const std::string& port, PORT_CONFIG_BAUD baud,
                     const boost::program_options::variables_map& options)
    : timing(ExchangeTiming::of(options.count("fast") ? ExchangeMode::Fast : ExchangeMode::Patient)),
      serial(port, baud, BITS_8, PARITY_NONE, STOPBITS_1, timing.readDeadline),
      guard(serial), watch(guard, options) {}
