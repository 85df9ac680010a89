#pragma once
// Helpers shared by the fuzz harnesses.
//
// A harness states its invariants with FUZZ_CHECK: a broken one aborts with
// the condition and its place, which libFuzzer (or the replay driver) reports
// as a crash and keeps the input that caused it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

// For the harness's own bookkeeping (checksums of what it read back,
// snapshots compared after every byte): no coverage feedback from it, whose
// comparisons would only cost time and tell the fuzzer nothing about the code
// under test.
#if defined(__clang__)
#define FUZZ_NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define FUZZ_NO_COVERAGE
#endif

namespace FuzzCheck {

// A harness with many cases runs one case per input: the first byte picks
// it (modulo the count), the rest is the case's input. Each execution stays
// short, and the fuzzer steers between the cases through that byte.
struct Picked {
    std::size_t index;
    const uint8_t* data;
    std::size_t size;
};

inline Picked pick(std::size_t count, const uint8_t* data, std::size_t size)
{
    if (size == 0) return {0, data, 0};
    return {data[0] % count, data + 1, size - 1};
}

// Folds values into a sink the optimiser cannot drop, so that every getter a
// harness calls really reads its field.
class Sink {
public:
    template <typename T>
    FUZZ_NO_COVERAGE void take(const T& value)
    {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        for (unsigned char b : bytes) sum = sum * 31u + b;
    }
    FUZZ_NO_COVERAGE void text(const char* s, std::size_t field)
    {
        FUZZ_CHECK(s != nullptr);
        // Text fields are NUL-terminated inside their storage.
        const std::size_t n = strnlen(s, field);
        FUZZ_CHECK(n < field);
        for (std::size_t i = 0; i < n; ++i) sum = sum * 31u + static_cast<unsigned char>(s[i]);
    }
    FUZZ_NO_COVERAGE void str(const std::string& s)
    {
        for (char c : s) sum = sum * 31u + static_cast<unsigned char>(c);
    }
    ~Sink() { result = sum; }

private:
    uint32_t sum = 0;
    static volatile uint32_t result;
};

inline volatile uint32_t Sink::result = 0;

} // namespace FuzzCheck

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);
