// Receive-path throughput: the receiver's mixed output (binary messages 1, 2
// and 99 between NMEA sentences and "$>" replies) fed byte by byte, each byte
// first to the NMEA parser and then to the binary parser as the receiver
// manager does; and each parser alone on the same bytes.
//
// Reported per run: bytes_per_second (MB/s) and ns/byte.

#include "gnssmon/GpsDb.h"
#include "gnssmon/NmeaParse.h"
#include "gnssmon/QelParse.h"
#include "tests/gnssmon/MixedStream.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// 1 MiB: several thousand epochs, far more than one cache holds of the
// parsers' own state, so the figure is the steady state.
const MixedStream::Stream& stream()
{
    static const MixedStream::Stream s = MixedStream::generate(1u << 20);
    return s;
}

void reset()
{
    GpsDbInit(0, false);
    NmeaParseInit(0);
    QelParseInit(0);
}

void report(benchmark::State& state, std::size_t bytes)
{
    state.counters["stream_bytes"] = static_cast<double>(bytes);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    // Inverted rate of (bytes / 1e9): nanoseconds per byte.
    state.counters["ns/byte"] = benchmark::Counter(static_cast<double>(bytes) * 1e-9,
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

void BM_BothParsers(benchmark::State& state)
{
    const std::string& bytes = stream().bytes;
    reset();
    int frames = 0;
    for (auto _ : state) {
        for (const char c : bytes) {
            NmeaParseProcessChrIn(0, c);
            frames += QelParseProcessChrIn(0, static_cast<unsigned char>(c));
        }
        benchmark::DoNotOptimize(frames);
    }
    if (frames != stream().frames * static_cast<int>(state.iterations()))
        state.SkipWithError("not every binary frame was accepted");
    report(state, bytes.size());
}
BENCHMARK(BM_BothParsers)->Unit(benchmark::kMillisecond);

void BM_NmeaParserAlone(benchmark::State& state)
{
    const std::string& bytes = stream().bytes;
    reset();
    int lines = 0;
    for (auto _ : state) {
        for (const char c : bytes) lines += NmeaParseProcessChrIn(0, c);
        benchmark::DoNotOptimize(lines);
    }
    if (lines < stream().sentences * static_cast<int>(state.iterations()))
        state.SkipWithError("sentences were lost");
    report(state, bytes.size());
}
BENCHMARK(BM_NmeaParserAlone)->Unit(benchmark::kMillisecond);

void BM_BinaryParserAlone(benchmark::State& state)
{
    const std::string& bytes = stream().bytes;
    reset();
    int frames = 0;
    for (auto _ : state) {
        for (const char c : bytes) frames += QelParseProcessChrIn(0, static_cast<unsigned char>(c));
        benchmark::DoNotOptimize(frames);
    }
    if (frames != stream().frames * static_cast<int>(state.iterations()))
        state.SkipWithError("not every binary frame was accepted");
    report(state, bytes.size());
}
BENCHMARK(BM_BinaryParserAlone)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
