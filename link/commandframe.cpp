#include "commandframe.h"

namespace laser {

namespace {
char lowByte(int value)
{
    return static_cast<char>(static_cast<unsigned>(value) & 0xFFu);
}
} // namespace

QByteArray encodeCommandFrame(const WorkingPoint &p)
{
    QByteArray frame(kFrameSize, '\0');
    frame[0] = static_cast<char>(0xA5);
    frame[1] = static_cast<char>(0x5A);
    frame[2] = p.externalTrigger ? 1 : 0;
    frame[3] = lowByte(p.currentSteps);
    frame[4] = lowByte(p.temperatureByte);
    frame[7] = lowByte(p.pulseSteps);
    frame[8] = lowByte(p.freqSteps);
    frame[11] = static_cast<char>(0xFA);
    frame[12] = static_cast<char>(0xFB);
    return frame;
}

} // namespace laser
