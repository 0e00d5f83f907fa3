#include "reading.h"

#include "statusdecode.h"
#include "statusframe.h"

#include <vector>

namespace laser {

bool readingFromPayload(const QByteArray &payload, Reading &out)
{
    if (payload.size() < kStatusPayloadSize)
        return false;
    static const auto calibration = [] {
        std::pair<std::vector<double>, std::vector<double>> c{std::vector<double>(4, 0.0),
                                                               std::vector<double>(4, 0.0)};
        computeCalibration(calibrationDegrees(), calibrationCodes(), c.first, c.second);
        return c;
    }();
    std::vector<int> b;
    unpackPayload(payload, b);
    out.currentA = currentFromCode(statusCode(b[CurrentHigh], b[CurrentLow]));
    out.temperatureC = temperatureFromCode(statusCode(b[TemperatureHigh], b[TemperatureLow]),
                                           calibration.first, calibration.second);
    out.externalTrigger = b[Trigger] != 0;
    out.pumpSupplyNormal = (b[Flags] & PumpSupplyNormal) != 0;
    out.tecLocked = (b[Flags] & TecLocked) != 0;
    return true;
}

} // namespace laser
