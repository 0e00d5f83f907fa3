#pragma once

#include <QByteArray>

#include <vector>

namespace laser {

// Temperature calibration: degrees Celsius and the code the laser reports for each.
const std::vector<int> &calibrationDegrees();
const std::vector<int> &calibrationCodes();

// Fits one straight line per pair of neighbouring calibration points.
void computeCalibration(const std::vector<int> &degrees, const std::vector<int> &codes,
                        std::vector<double> &slope, std::vector<double> &intercept);

// Pump current in amperes; 0.0 outside the codes 20..163.
double currentFromCode(int code);

// Whole degrees, truncated toward zero; -999 outside the codes 808..1443.
constexpr int kTemperatureOutOfRange = -999;
int temperatureFromCode(int code, const std::vector<double> &slope,
                        const std::vector<double> &intercept);

// One int 0..255 per payload byte, replacing what the target held.
void unpackPayload(const QByteArray &payload, std::vector<int> &target);

// Big-endian 16-bit code from two payload bytes.
inline int statusCode(int high, int low) { return high * 256 + low; }

// Payload byte offsets.
enum StatusByte {
    CurrentHigh = 0,
    CurrentLow = 1,
    Trigger = 2,
    TemperatureHigh = 4,
    TemperatureLow = 5,
    Flags = 8,
};

enum StatusFlag {
    PumpSupplyNormal = 0x01,
    TecLocked = 0x02,
};

} // namespace laser
