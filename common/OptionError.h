#pragma once
// The one line a refused command line is reported with.

#include <boost/program_options/errors.hpp>

#include <string>

namespace Veltrio {
namespace Common {

// The text of an option parser's error. The parser fills its message
// template by replacing "%value%", "%option%" and the like with the words
// of the command line, over and over while one is left: a word that holds
// such a name itself never stops it. A command line with one is refused
// naming that word, and the parser's text is asked for only otherwise.
inline std::string optionErrorText(const boost::program_options::error& e, int argc, const char* const* argv)
{
    static const char* const placeholders[] = {"%canonical_option%", "%option%", "%original_token%", "%prefix%",
                                               "%value%"};
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        for (const char* placeholder : placeholders)
            if (word.find(placeholder) != std::string::npos) return "Invalid argument: " + word;
    }
    return e.what();
}

} // namespace Common
} // namespace Veltrio
