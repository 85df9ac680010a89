#pragma once
// The message of the exception a call throws, for tests that check texts.

#include <string>

namespace TestSupport {

// what() of the `Thrown` that `call` throws; "nothing thrown" when it returns.
// Any other exception goes on to the test.
template <typename Thrown, typename Call>
std::string thrownText(Call call) {
    try {
        call();
    } catch (const Thrown& e) {
        return e.what();
    }
    return "nothing thrown";
}

} // namespace TestSupport
