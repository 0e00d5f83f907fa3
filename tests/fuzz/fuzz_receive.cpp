// Receive path under libFuzzer: arbitrary bytes, cut into arbitrary chunks, go
// through the status frame reassembler and every payload through the decoders.
//
// Input layout: byte 0 gives n = byte % 16, the next n bytes are chunk sizes
// (each % 33; 0 is an empty read) used in turn, the rest is the line's byte
// stream. n = 0 delivers the stream in one read.
//
// The reassembler must yield exactly what a plain one-pass scan of the whole
// stream yields: it only ever waits at a header with fewer than 13 bytes
// behind it and rescans from there, so where the reads were cut cannot matter.
#include "readplan.h"
#include "statusdecode.h"
#include "statusframe.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

bool at(const QByteArray &s, int i, unsigned char byte)
{
    return static_cast<unsigned char>(s.at(i)) == byte;
}

// The frame starts, and how many trailing bytes may still begin a frame.
struct Scan {
    std::vector<int> starts;
    int pending = 0;
};

Scan referenceScan(const QByteArray &s)
{
    Scan r;
    const int n = s.size();
    int p = 0;
    while (p + 1 < n) {
        if (at(s, p, 0xA5) && at(s, p + 1, 0x5A)) {
            if (n - p < laser::kStatusFrameSize) {
                r.pending = n - p;
                return r;
            }
            if (at(s, p + 11, 0xEE) && at(s, p + 12, 0xFF)) {
                r.starts.push_back(p);
                p += laser::kStatusFrameSize;
                continue;
            }
        }
        ++p;
    }
    r.pending = (p == n - 1 && at(s, p, 0xA5)) ? 1 : 0;
    return r;
}

struct Calibration {
    std::vector<double> slope, intercept;
    Calibration()
    {
        laser::computeCalibration(laser::calibrationDegrees(), laser::calibrationCodes(), slope,
                                  intercept);
    }
};

void decode(const QByteArray &payload)
{
    static const Calibration cal;
    std::vector<int> bytes{-1};
    laser::unpackPayload(payload, bytes);
    check(bytes.size() == laser::kStatusPayloadSize, "unpacked payload has 9 values");
    for (std::size_t i = 0; i < bytes.size(); ++i)
        check(bytes[i] == static_cast<unsigned char>(payload.at(int(i))), "unpacked byte differs");

    using namespace laser;
    const double amps = currentFromCode(statusCode(bytes[CurrentHigh], bytes[CurrentLow]));
    check(std::isfinite(amps) && amps >= 0.0 && amps <= 8.0, "current within 0..8 A");
    const int degrees = temperatureFromCode(
        statusCode(bytes[TemperatureHigh], bytes[TemperatureLow]), cal.slope, cal.intercept);
    check(degrees == kTemperatureOutOfRange || (degrees >= 0 && degrees <= 40),
          "temperature is -999 or within 0..40");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const ReadPlan input = readPlan(data, size, [](std::uint8_t b) { return b % 33; });
    const std::vector<int> &plan = input.sizes;
    const QByteArray &stream = input.stream;

    const Scan expected = referenceScan(stream);
    laser::StatusFrameReassembler reassembler;
    std::size_t emitted = 0;
    int fed = 0;
    for (std::size_t turn = 0; fed < stream.size() || turn == 0; ++turn) {
        const int chunk = std::min(plan[turn % plan.size()], stream.size() - fed);
        const QList<QByteArray> payloads = reassembler.feed(stream.mid(fed, chunk));
        fed += chunk;
        for (const QByteArray &payload : payloads) {
            check(payload.size() == laser::kStatusPayloadSize, "payload has 9 bytes");
            check(emitted < expected.starts.size(), "frame the reference scan does not see");
            const int start = expected.starts[emitted++];
            check(start + laser::kStatusFrameSize <= fed, "frame emitted before its last byte");
            check(at(stream, start, 0xA5) && at(stream, start + 1, 0x5A)
                      && at(stream, start + 11, 0xEE) && at(stream, start + 12, 0xFF),
                  "frame not delimited by A5 5A .. EE FF");
            check(payload == stream.mid(start + 2, laser::kStatusPayloadSize),
                  "payload differs from the stream's bytes");
            decode(payload);
        }
        // A frame complete in what has arrived must not be held back.
        check(emitted == expected.starts.size()
                  || expected.starts[emitted] + laser::kStatusFrameSize > fed,
              "complete frame held back");
        check(reassembler.buffered() < laser::kStatusFrameSize, "buffer holds a whole frame");
    }
    check(emitted == expected.starts.size(), "frames lost");
    check(reassembler.buffered() == expected.pending, "left-over bytes differ from the reference");
    return 0;
}
