#pragma once
// The four configuration flows of radiocfg. Each opens the port itself, runs
// to completion and returns the program's exit status (0 success, 1 failure).

#include <string>

#include <boost/program_options.hpp>

#include "common/ExchangeTiming.h"
#include "common/PortConfig.h"

int detect(const std::string& port, Veltrio::Common::PORT_CONFIG_BAUD baud,
           boost::program_options::variables_map& options);

int satel(const std::string& port, Veltrio::Common::PORT_CONFIG_BAUD baud,
          boost::program_options::variables_map& options, boost::program_options::options_description group);

int mhl400(const std::string& port, Veltrio::Common::PORT_CONFIG_BAUD baud,
           boost::program_options::variables_map& options, boost::program_options::options_description& group);

int mh920a(const std::string& port, Veltrio::Common::PORT_CONFIG_BAUD baud,
           boost::program_options::variables_map& options, boost::program_options::options_description& group);

// How every flow waits on the radio's line: the patient default, or the fast
// exchange when --fast was given.
Veltrio::Common::ExchangeTiming exchangeTiming(const boost::program_options::variables_map& options);
