// Receive path throughput: status frames reassembled and decoded per second,
// and how many times the serial line's own rate that is.
#include "statusdecode.h"
#include "statusframe.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

namespace {

// 115200 baud, 8N1: 10 bits a byte on the wire.
constexpr double kLineFramesPerSecond = 115200.0 / 10.0 / laser::kStatusFrameSize;
constexpr int kFrames = 4096;

struct Stream {
    std::vector<QByteArray> chunks;
    int frames = 0;
};

// Plausible status frames, a few bytes of line noise before one frame in ten,
// cut into reads of 1..maxChunk bytes as a serial driver delivers them.
Stream makeStream(int maxChunk)
{
    std::mt19937 rng(20240601);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    QByteArray bytes;
    for (int i = 0; i < kFrames; ++i) {
        if (pick(0, 9) == 0) {
            for (int n = pick(1, 4); n > 0; --n)
                bytes.append(char(pick(0, 255)));
        }
        const int current = pick(20, 163), temperature = pick(808, 1443);
        const char frame[laser::kStatusFrameSize] = {
            '\xA5', '\x5A', char(current >> 8), char(current), char(pick(0, 1)), 0,
            char(temperature >> 8), char(temperature), 0, 0, char(pick(0, 3)), '\xEE', '\xFF'};
        bytes.append(frame, laser::kStatusFrameSize);
    }
    Stream s;
    for (int at = 0; at < bytes.size();) {
        const int n = pick(1, maxChunk);
        s.chunks.push_back(bytes.mid(at, n));
        at += n;
    }
    return s;
}

void receive(benchmark::State &state)
{
    const Stream stream = makeStream(int(state.range(0)));
    std::vector<double> slope, intercept;
    laser::computeCalibration(laser::calibrationDegrees(), laser::calibrationCodes(), slope,
                              intercept);
    std::vector<int> bytes;
    std::int64_t frames = 0;
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : state) {
        laser::StatusFrameReassembler reassembler;
        for (const QByteArray &chunk : stream.chunks) {
            for (const QByteArray &payload : reassembler.feed(chunk)) {
                laser::unpackPayload(payload, bytes);
                using namespace laser;
                benchmark::DoNotOptimize(currentFromCode(statusCode(bytes[CurrentHigh], bytes[CurrentLow])));
                benchmark::DoNotOptimize(temperatureFromCode(
                    statusCode(bytes[TemperatureHigh], bytes[TemperatureLow]), slope, intercept));
                ++frames;
            }
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    if (frames != std::int64_t(state.iterations()) * kFrames)
        state.SkipWithError("frames lost in the benchmark stream");
    state.counters["frames/s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
    // A plain ratio: a kIsRate counter would be shown with a misleading "/s".
    state.counters["x_line_rate"] = double(frames) / elapsed.count() / kLineFramesPerSecond;
}

} // namespace

// Argument: the largest read in bytes; 1 is the worst case of one byte per read.
BENCHMARK(receive)->ArgName("max_chunk")->Arg(1)->Arg(16)->Arg(64)->Arg(512);

BENCHMARK_MAIN();
