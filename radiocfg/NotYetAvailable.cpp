// Flows whose drivers have not landed yet: they refuse plainly instead of
// pretending to succeed.
#include <iostream>

#include "radiocfg/Flows.h"

namespace po = boost::program_options;
using Veltrio::Common::PORT_CONFIG_BAUD;

namespace {
int notAvailable(const char* command) {
    std::cout << "Command not available yet: " << command << std::endl;
    return 1;
}
} // namespace

int detect(const std::string&, PORT_CONFIG_BAUD, po::variables_map&) { return notAvailable("detect"); }
int satel(const std::string&, PORT_CONFIG_BAUD, po::variables_map&, po::options_description) {
    return notAvailable("satel");
}
int mhl400(const std::string&, PORT_CONFIG_BAUD, po::variables_map&, po::options_description&) {
    return notAvailable("l400");
}
int mh920a(const std::string&, PORT_CONFIG_BAUD, po::variables_map&, po::options_description&) {
    return notAvailable("920a");
}
