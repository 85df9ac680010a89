#include "radiocfg/Flows.h"
#include "radiocfg/NotAvailable.h"

int satel(const std::string&, Veltrio::Common::PORT_CONFIG_BAUD, boost::program_options::variables_map&,
          boost::program_options::options_description) {
    return commandNotAvailable("satel");
}
