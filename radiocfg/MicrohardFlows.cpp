#include "radiocfg/Flows.h"
#include "radiocfg/NotAvailable.h"

int mhl400(const std::string&, Veltrio::Common::PORT_CONFIG_BAUD, boost::program_options::variables_map&,
           boost::program_options::options_description&) {
    return commandNotAvailable("l400");
}

int mh920a(const std::string&, Veltrio::Common::PORT_CONFIG_BAUD, boost::program_options::variables_map&,
           boost::program_options::options_description&) {
    return commandNotAvailable("920a");
}
