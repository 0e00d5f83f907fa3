#include "simlaser.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sim {

namespace {

struct CurrentRange {
    int first, last;
    double ampsAtFirst, ampsPerCode;
};

// The readback table: 0.05 A per code on the long ranges, 0.04 A on the
// short ones, 1.00 A at code 20 up to 8.00 A at code 163.
constexpr CurrentRange currentRanges[] = {
    {20, 40, 1.00, 0.05},   {41, 44, 2.04, 0.04},   {45, 81, 2.20, 0.05},
    {82, 86, 4.04, 0.04},   {87, 126, 4.25, 0.05},  {127, 131, 6.24, 0.04},
    {132, 163, 6.45, 0.05},
};
constexpr int firstCurrentCode = 20;
constexpr int lastCurrentCode = 163;

constexpr double calibDegrees[] = {0, 10, 20, 30, 40};
constexpr double calibCodes[] = {808, 966, 1125, 1284, 1443};
constexpr int calibPoints = 5;
// Where a pump with TemperatureOffTable reads: well above the table's 40.
constexpr double offTableCelsius = 60.0;

constexpr struct {
    Fault fault;
    const char *name;
} faultList[] = {{PumpSupplyFault, "pump"}, {TecUnlocked, "tec"}, {TemperatureOffTable, "temp"}};

// Code on the calibration line at celsius; the end segments extend beyond
// the table so an out-of-range pump still sends a plausible code.
double calibratedCode(double celsius)
{
    int i = 0;
    while (i < calibPoints - 2 && celsius > calibDegrees[i + 1])
        ++i;
    const double slope = (calibCodes[i + 1] - calibCodes[i]) / (calibDegrees[i + 1] - calibDegrees[i]);
    return calibCodes[i] + (celsius - calibDegrees[i]) * slope;
}

constexpr std::uint8_t head0 = 0xA5, head1 = 0x5A;
constexpr std::uint8_t cmdTail0 = 0xFA, cmdTail1 = 0xFB;
constexpr std::uint8_t statusTail0 = 0xEE, statusTail1 = 0xFF;

// Index of the first header at or after from; a lone first header byte at
// the very end counts, since its partner may still be on the way.
std::size_t findHeader(const Bytes &b, std::size_t from)
{
    for (std::size_t i = from; i < b.size(); ++i) {
        if (b[i] != head0)
            continue;
        if (i + 1 == b.size() || b[i + 1] == head1)
            return i;
    }
    return b.size();
}

} // namespace

double currentOfCode(int code)
{
    for (const CurrentRange &r : currentRanges)
        if (code >= r.first && code <= r.last)
            return r.ampsAtFirst + (code - r.first) * r.ampsPerCode;
    return 0.0;
}

int codeForCurrent(double amps)
{
    if (!(amps >= 1.0))
        return 0;
    int best = firstCurrentCode;
    for (int c = firstCurrentCode + 1; c <= lastCurrentCode; ++c)
        if (std::fabs(currentOfCode(c) - amps) < std::fabs(currentOfCode(best) - amps))
            best = c;
    return best;
}

int codeForTemperature(double celsius)
{
    const double low = calibDegrees[0], high = calibDegrees[calibPoints - 1];
    if (celsius < low - 0.5 || celsius >= high + 0.5)
        return std::max(0, static_cast<int>(std::lround(calibratedCode(celsius))));
    // Whole degree first, then the middle of that degree's band of codes, so
    // truncation on the reading side lands on it with half a degree to spare.
    // The top degree has a band of one code: the table's last.
    const double degree = std::clamp(std::floor(celsius + 0.5), low, high);
    const double centre = degree < high ? degree + 0.5 : high;
    return static_cast<int>(std::lround(calibratedCode(centre)));
}

void Pump::advance(double seconds)
{
    if (seconds <= 0)
        return;
    const double step = rampAmpsPerSecond * seconds;
    if (current < targetCurrent)
        current = std::min(targetCurrent, current + step);
    else
        current = std::max(targetCurrent, current - step);
    temperature += (setTemperature - temperature) * (1.0 - std::exp(-seconds / timeConstant));
}

void Pump::apply(const Frame &command)
{
    trigger = command[2];
    // 5 steps per ampere; the driver stops at the top of the readback table.
    targetCurrent = std::min(command[3] / 5.0, maxCurrent);
}

bool parseFaults(const std::string &text, unsigned &faults, std::string &bad)
{
    bool ok = true;
    std::size_t at = 0;
    for (;;) {
        at = text.find_first_not_of(" \t\r\n,", at);
        if (at == std::string::npos)
            return ok;
        const std::size_t end = std::min(text.find_first_of(" \t\r\n,", at), text.size());
        const std::string word = text.substr(at, end - at);
        at = end;
        const auto known = std::find_if(std::begin(faultList), std::end(faultList),
                                        [&word](const auto &f) { return word == f.name; });
        if (known != std::end(faultList)) {
            faults |= known->fault;
        } else if (ok) {
            bad = word;
            ok = false;
        }
    }
}

std::string faultNames(unsigned faults)
{
    std::string names;
    for (const auto &f : faultList)
        if (faults & f.fault)
            names += (names.empty() ? "" : " ") + std::string(f.name);
    return names.empty() ? "none" : names;
}

bool Pump::tecLocked() const
{
    return std::fabs(temperature - setTemperature) <= 0.5;
}

Frame Pump::statusFrame() const
{
    const int amps = codeForCurrent(current);
    const double celsius = faults & TemperatureOffTable ? offTableCelsius : temperature;
    const int temp = std::clamp(codeForTemperature(celsius), 0, 0xFFFF);
    const std::uint8_t flags = (faults & PumpSupplyFault ? 0x00 : 0x01) |
                               (tecLocked() && !(faults & TecUnlocked) ? 0x02 : 0x00);
    return Frame{head0,
                 head1,
                 static_cast<std::uint8_t>(amps >> 8),
                 static_cast<std::uint8_t>(amps & 0xFF),
                 trigger,
                 0,
                 static_cast<std::uint8_t>(temp >> 8),
                 static_cast<std::uint8_t>(temp & 0xFF),
                 0,
                 0,
                 flags,
                 statusTail0,
                 statusTail1};
}

std::vector<CommandReader::Event> CommandReader::feed(const std::uint8_t *data, std::size_t size)
{
    buf.insert(buf.end(), data, data + size);
    std::vector<Event> out;
    while (!buf.empty()) {
        std::size_t cut = findHeader(buf, 0);
        bool good = false;
        if (cut == 0) {
            if (buf.size() < frameSize)
                break;
            good = buf[11] == cmdTail0 && buf[12] == cmdTail1;
            // A broken frame ends where the next header starts, so one lost
            // byte costs one frame and not every frame after it.
            cut = good ? frameSize : std::min(findHeader(buf, 1), frameSize);
        }
        out.push_back({good, Bytes(buf.begin(), buf.begin() + cut)});
        buf.erase(buf.begin(), buf.begin() + cut);
    }
    return out;
}

std::vector<CommandReader::Event> CommandReader::flush()
{
    std::vector<Event> out;
    if (!buf.empty())
        out.push_back({false, buf});
    buf.clear();
    return out;
}

std::string hex(const std::uint8_t *data, std::size_t size)
{
    std::string s;
    char part[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(part, sizeof part, i ? " %02X" : "%02X", data[i]);
        s += part;
    }
    return s;
}

std::string commandLine(const Frame &c, Variant variant)
{
    std::string trigger;
    if (c[2] == 0)
        trigger = "internal";
    else if (c[2] == 1)
        trigger = "external";
    else
        trigger = "0x" + hex(&c[2], 1);
    // Hundredths in integers: 5 current steps per A, 4 pulse steps per ns.
    const int centiAmps = c[3] * 20, centiNs = c[7] * 25;
    const int kHz = c[8] * (variant == Variant::v12 ? 100 : 10);
    char text[160];
    std::snprintf(text, sizeof text,
                  "command: trigger=%s current=%d.%02d A pulse=%d.%02d ns freq=%d kHz temp=%d raw=",
                  trigger.c_str(), centiAmps / 100, centiAmps % 100, centiNs / 100, centiNs % 100,
                  kHz, c[4]);
    return text + hex(c.data(), c.size());
}

Bytes garbage(std::mt19937 &rng)
{
    std::uniform_int_distribution<int> length(1, 24);
    std::uniform_int_distribution<int> value(0, 0xFE);
    Bytes b(static_cast<std::size_t>(length(rng)));
    for (std::uint8_t &x : b) {
        // Without the first header byte no frame can start inside the noise.
        const int v = value(rng);
        x = static_cast<std::uint8_t>(v < head0 ? v : v + 1);
    }
    return b;
}

std::vector<std::size_t> splitSizes(std::mt19937 &rng)
{
    std::vector<std::size_t> cuts;
    const std::size_t pieces = std::uniform_int_distribution<std::size_t>(2, 4)(rng);
    std::uniform_int_distribution<std::size_t> at(1, frameSize - 1);
    while (cuts.size() < pieces - 1) {
        const std::size_t c = at(rng);
        if (std::find(cuts.begin(), cuts.end(), c) == cuts.end())
            cuts.push_back(c);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(frameSize);
    std::vector<std::size_t> sizes;
    std::size_t prev = 0;
    for (std::size_t c : cuts) {
        sizes.push_back(c - prev);
        prev = c;
    }
    return sizes;
}

} // namespace sim
