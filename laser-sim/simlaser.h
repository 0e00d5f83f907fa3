// The simulated laser's side of the line: the status frames it sends, the
// command frames it reads, and the pump model behind them. No I/O here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t frameSize = 13;
using Frame = std::array<std::uint8_t, frameSize>;

// Pump current the readback table gives for a code; 0.0 for codes it
// does not cover.
double currentOfCode(int code);

// The code whose reading is nearest to amps; 0 (read as 0.00 A) below 1 A,
// the top code above the table.
int codeForCurrent(double amps);

// Temperature code for a pump at celsius, chosen so that a reader that
// truncates to whole degrees shows the nearest whole degree.
int codeForTemperature(double celsius);

enum class Variant { v12, v13 };

// Laser faults raised on demand, as bits of Pump::faults.
enum Fault : unsigned {
    PumpSupplyFault = 1u,     // pump-supply-normal bit cleared
    TecUnlocked = 2u,         // TEC-locked bit cleared
    TemperatureOffTable = 4u, // a temperature code beyond the 0-40 degree calibration
};

// Adds to faults the names in text ("pump", "tec", "temp"), separated by
// blanks or commas. False, with the first unknown name in bad, if any is not
// a fault; the known ones are added all the same.
bool parseFaults(const std::string &text, unsigned &faults, std::string &bad);

// "pump tec temp" in that order, or "none".
std::string faultNames(unsigned faults);

struct Pump {
    double current = 0.0;       // A, as the driver delivers it now
    double targetCurrent = 0.0; // A, last commanded
    double temperature = 22.0;  // degrees C, starts at ambient
    double setTemperature = 25.0;
    double rampAmpsPerSecond = 1.0;
    double timeConstant = 2.0;  // s
    std::uint8_t trigger = 0;   // echoed from the last command
    unsigned faults = 0;        // Fault bits, shown in the status frames only

    static constexpr double maxCurrent = 8.0;

    void advance(double seconds);
    void apply(const Frame &command);
    bool tecLocked() const;
    Frame statusFrame() const;
};

// Reassembles command frames from a byte stream that arrives in pieces.
class CommandReader {
public:
    struct Event {
        bool good;
        Bytes bytes;
    };
    std::vector<Event> feed(const std::uint8_t *data, std::size_t size);
    // Gives up on whatever is still waiting for the rest of a frame.
    std::vector<Event> flush();
    bool pending() const { return !buf.empty(); }

private:
    Bytes buf;
};

std::string hex(const std::uint8_t *data, std::size_t size);
inline std::string hex(const Bytes &b) { return hex(b.data(), b.size()); }

// "command: trigger=... raw=..." for a frame with a good header and trailer.
std::string commandLine(const Frame &command, Variant variant);

// Line noise that can never be mistaken for (part of) a frame header.
Bytes garbage(std::mt19937 &rng);

// Sizes of the pieces one frame is written in (2 to 4, summing to 13).
std::vector<std::size_t> splitSizes(std::mt19937 &rng);

} // namespace sim
