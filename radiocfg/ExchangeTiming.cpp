#include "radiocfg/Flows.h"

Veltrio::Common::ExchangeTiming exchangeTiming(const boost::program_options::variables_map& options) {
    return options.count("fast") ? Veltrio::Common::ExchangeTiming::fast() : Veltrio::Common::ExchangeTiming();
}
