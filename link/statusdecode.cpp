#include "statusdecode.h"

#include <algorithm>

namespace laser {

const std::vector<int> &calibrationDegrees()
{
    static const std::vector<int> degrees{0, 10, 20, 30, 40};
    return degrees;
}

const std::vector<int> &calibrationCodes()
{
    static const std::vector<int> codes{808, 966, 1125, 1284, 1443};
    return codes;
}

void computeCalibration(const std::vector<int> &degrees, const std::vector<int> &codes,
                        std::vector<double> &slope, std::vector<double> &intercept)
{
    const std::size_t points = std::min(degrees.size(), codes.size());
    if (points < 2)
        return;
    const std::size_t segments = points - 1;
    slope.resize(std::max(slope.size(), segments), 0.0);
    intercept.resize(std::max(intercept.size(), segments), 0.0);
    for (std::size_t i = 0; i < segments; ++i) {
        const int dY = codes[i + 1] - codes[i];
        const int dX = degrees[i + 1] - degrees[i];
        slope[i] = double(dY) / double(dX);
        intercept[i] = double(codes[i]) - slope[i] * double(degrees[i]);
    }
}

double currentFromCode(int c)
{
    // The supply's current DAC is piecewise: long runs of 0.05 A per code,
    // joined by short runs of 0.04 A.
    struct Segment { int first, last, base; double step, offset; };
    static const Segment segments[] = {
        {41, 44, 41, 0.002, 0.102},
        {45, 81, 45, 0.0025, 0.11},
        {82, 86, 82, 0.002, 0.202},
        {87, 126, 87, 0.0025, 0.2125},
        {127, 131, 127, 0.002, 0.312},
        {132, 163, 132, 0.0025, 0.3225},
    };
    if (c >= 20 && c <= 40)
        return c * 0.05;
    for (const Segment &s : segments) {
        if (c >= s.first && c <= s.last)
            return (double(c - s.base) * s.step + s.offset) * 20.0;
    }
    return 0.0;
}

int temperatureFromCode(int code, const std::vector<double> &slope,
                        const std::vector<double> &intercept)
{
    // Inner breakpoints belong to the lower segment.
    static const int upperCode[] = {966, 1125, 1284, 1443};
    if (code < 808 || code > 1443)
        return kTemperatureOutOfRange;
    std::size_t segment = 0;
    while (code > upperCode[segment])
        ++segment;
    if (segment >= slope.size() || segment >= intercept.size() || slope[segment] == 0.0)
        return kTemperatureOutOfRange;
    return static_cast<int>((double(code) - intercept[segment]) / slope[segment]);
}

void unpackPayload(const QByteArray &payload, std::vector<int> &target)
{
    target.clear();
    target.reserve(static_cast<std::size_t>(payload.size()));
    for (char byte : payload)
        target.push_back(static_cast<unsigned char>(byte));
}

} // namespace laser
