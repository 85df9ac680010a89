#include "radiocfg/Flows.h"
#include "radiocfg/NotAvailable.h"

int detect(const std::string&, Veltrio::Common::PORT_CONFIG_BAUD, boost::program_options::variables_map&) {
    return commandNotAvailable("detect");
}
