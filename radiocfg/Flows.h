#pragma once
// The flows of radiocfg, one per command. Each opens the port itself, runs to
// completion, prints its outcome (Outcome.h; as JSON with --json) and returns
// the program's exit status (0 success, 1 failure). The write commands read
// the settings back with --verify.

#include <string>

#include <boost/program_options.hpp>

#include "common/PortConfig.h"
#include "radiocfg/Outcome.h"

// The value of -b with which detect and query try every rate themselves
// (`baud` is then 9600, the first they try).
inline const std::string automaticBaud = "auto";

int detect(const std::string& port, Veltrio::Common::PORT_CONFIG_BAUD baud,
           boost::program_options::variables_map& options);

// The radio's settings as the command line that would program them.
int query(const std::string& port, Veltrio::Common::PORT_CONFIG_BAUD baud,
          boost::program_options::variables_map& options);

int satel(const std::string& port, Veltrio::Common::PORT_CONFIG_BAUD baud,
          boost::program_options::variables_map& options, boost::program_options::options_description group);

int mhl400(const std::string& port, Veltrio::Common::PORT_CONFIG_BAUD baud,
           boost::program_options::variables_map& options, boost::program_options::options_description& group);

int mh920a(const std::string& port, Veltrio::Common::PORT_CONFIG_BAUD baud,
           boost::program_options::variables_map& options, boost::program_options::options_description& group);
