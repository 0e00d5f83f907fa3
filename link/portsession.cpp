#include "portsession.h"

#include "commandframe.h"
#include "portpath.h"
#include "portguard.h"
#include "serialerror.h"
#include "words.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace laser {

namespace {
// Reads closer together than this mean a fast laser (the line carries a frame
// every 1.13 ms at most); the usual few frames a second are taken one by one.
constexpr qint64 kDenseGapMs = 3;
// How long reads are gathered at such rates: 20 ms is 18 frames at the most.
constexpr int kGatherMs = 20;

// Past what a path or one of its names may hold on common systems; Qt words
// the failed open as a refusal.
bool tooLong(const QString &path)
{
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.size() >= 4096)
        return true;
    const auto parts = bytes.split('/');
    return std::any_of(parts.begin(), parts.end(), [](const QByteArray &p) { return p.size() > 255; });
}

QDateTime utcNow()
{
    return QDateTime::currentDateTimeUtc();
}
} // namespace

PortFailure classifyOpenError(QSerialPort::SerialPortError error, const QString &qtReason, bool exists,
                              bool mayRead, bool mayWrite, bool nameTooLong)
{
    if (nameTooLong)
        return {PortFailure::NoDevice, QStringLiteral("missing (the name is too long for a device path)")};
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return {PortFailure::NoDevice, QStringLiteral("missing (no such device)")};
    case QSerialPort::PermissionError:
        // Qt reports a refused open and a port locked by another program
        // alike, and a lock on a name that leads nowhere as well.
        if (!exists)
            return {PortFailure::NoDevice, QStringLiteral("missing (no such device)")};
        if (!mayRead || !mayWrite)
            return {PortFailure::NoPermission, QStringLiteral("permission denied (is the user in the group dialout?)")};
        return {PortFailure::Busy, QStringLiteral("busy (another program has it open)")};
    case QSerialPort::OpenError:
        return {PortFailure::Busy, QStringLiteral("busy (already open)")};
    default:
        return {PortFailure::Other, QStringLiteral("cannot open (%1)").arg(qtReason)};
    }
}

PortFailure classifyLoss(QSerialPort::SerialPortError error, const QString &qtReason, bool exists)
{
    // Qt words a hang-up as "Unknown error".
    if (!exists)
        return {PortFailure::Removed, QStringLiteral("the device was removed")};
    if (error == QSerialPort::ResourceError)
        return {PortFailure::HungUp, QStringLiteral("the line hung up")};
    return {PortFailure::Other, qtReason};
}

PortSession::PortSession(QObject *parent) : QObject(parent)
{
    clock.start();
    now = [this] { return clock.elapsed(); };
    gather.setSingleShot(true);
    staleCheck.setSingleShot(true);
    saveAgain.setSingleShot(true);
    saveAgain.setInterval(kSaveAgainMs);
    connect(&saveAgain, &QTimer::timeout, this, [this] { saveRows(store::kWaitMs); });
    connect(&gather, &QTimer::timeout, this, &PortSession::gatherDue);
    connect(&staleCheck, &QTimer::timeout, this, &PortSession::checkStale);
    connect(&serial, &QSerialPort::readyRead, this, [this] {
        if (!outsideReader)
            readAvailable();
    });
    connect(&serial, &QSerialPort::errorOccurred, this, &PortSession::onError);
}

PortSession::~PortSession()
{
    // Closing in the destructor must not reach the loss handler.
    disconnect(&serial, nullptr, this, nullptr);
    // The last chance for rows the store was busy for; the window is gone
    // or laserctl is done, so a longer wait holds no one up.
    busyTries = kSaveTries;
    saveRows(kLastSaveWaitMs);
}

void PortSession::saveRows(int waitMs)
{
    while (!unsaved.isEmpty()) {
        const Row &row = unsaved.constFirst();
        QString error;
        if (!WorkingPointStore().save(row.key, row.point, row.sent, row.sender, &error, waitMs)) {
            if (error.contains(QLatin1String("database is locked")) && busyTries++ < kSaveTries) {
                saveAgain.start();
                return;
            }
            qWarning("working point not remembered: %s", qPrintable(error));
        }
        busyTries = 0;
        unsaved.removeFirst();
    }
}

bool PortSession::open(const QString &portName, QIODevice::OpenMode openMode, PortFailure *failure)
{
    if (isOpen())
        shut();
    name = portName;
    mode = openMode;
    pointKey.clear();
    if (!openPort(failure))
        return false;
    inForce = variant ? loadLimits(deviceKey(), *variant) : Limits();
    emitEvent(LinkEvent::Open, name);
    return true;
}

bool PortSession::openPort(PortFailure *failure)
{
    PortFailure ignored;
    PortFailure &f = failure ? *failure : ignored;
    // Terminals of the user's own and names with control characters are
    // refused before Qt makes a lock file for them.
    const QString path = portPath(name);
    serial.setPortName(name);
    if (tooLong(path)) {
        f = classifyOpenError(QSerialPort::NoError, QString(), false, false, false, true);
        return false;
    }
    QString refusal = platform::portRefusal(name);
    if (!refusal.isEmpty()) {
        f = {PortFailure::NotSerial, refusal};
        return false;
    }
    if (!serial.open(mode)) {
        const QFileInfo info(path);
        f = classifyOpenError(serial.error(), serial.errorString(), info.exists(), info.isReadable(),
                              !(mode & QIODevice::WriteOnly) || info.isWritable());
        serial.clearError();
        return false;
    }
    // The name may have led elsewhere by the time of the open; what counts is
    // the device the handle reached.
    refusal = platform::handleRefusal(serial.handle());
    if (!refusal.isEmpty()) {
        shut();
        f = {PortFailure::NotSerial, refusal};
        return false;
    }
    serial.setBaudRate(QSerialPort::Baud115200);
    serial.setDataBits(QSerialPort::Data8);
    serial.setParity(QSerialPort::NoParity);
    serial.setStopBits(QSerialPort::OneStop);
    frames.clear();
    // Nothing from an earlier connection may count as this one's.
    rule.start(now());
    stale = false;
    faults.reset();
    lastSent = QDateTime();
    armStaleCheck();
    f = PortFailure();
    return true;
}

void PortSession::shut()
{
    gather.stop();
    staleCheck.stop();
    holding = false;
    serial.setReadBufferSize(0);
    sinceRead.invalidate();
    serial.close();
    serial.clearError();
    frames.clear();
}

int PortSession::close()
{
    if (!isOpen())
        return 0;
    drain(kDrainLimitMs);
    const int dropped = waitingCommands();
    shut();
    if (dropped > 0)
        emitEvent(LinkEvent::Dropped, QStringLiteral("%1 commands not delivered").arg(dropped));
    emitEvent(LinkEvent::Close, name);
    return dropped;
}

bool PortSession::drain(int ms)
{
    // Qt writes on a later pass of the event loop, and closing drops what is
    // still queued.
    const QDeadlineTimer deadline(ms);
    while (isOpen() && serial.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!serial.waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime()))))
            break;
    }
    return waitingCommands() == 0;
}

int PortSession::waitingCommands() const
{
    const qint64 bytes = serial.isOpen() ? serial.bytesToWrite() : 0;
    return int((bytes + kFrameSize - 1) / kFrameSize);
}

void PortSession::readAvailable()
{
    if (!isOpen())
        return;
    if (holding) {
        // Qt's read buffer, limited to one byte, is full: the port's
        // notifier is off and the driver keeps the rest until gatherDue.
        if (!gather.isActive())
            gather.start(kGatherMs);
        return;
    }
    take(serial.readAll());
    if (sinceRead.isValid() && sinceRead.restart() < kDenseGapMs) {
        holding = true;
        serial.setReadBufferSize(1);
    } else if (!sinceRead.isValid()) {
        sinceRead.start();
    }
}

void PortSession::gatherDue()
{
    holding = false;
    // Unlimited again: Qt turns its notifier back on and reads everything the
    // driver gathered, in one readyRead that counts as a close one.
    serial.setReadBufferSize(0);
    sinceRead.start();
    if (isOpen())
        take(serial.readAll());
}

void PortSession::take(const QByteArray &bytes)
{
    const auto pieces = frames.receive(bytes);
    for (const auto &piece : pieces) {
        if (outsideReader) {
            if (!piece.skipped.isEmpty())
                emit skippedReady(piece.skipped);
            if (!piece.payload.isEmpty())
                emit payloadReady(piece.payload);
            continue;
        }
        if (!piece.skipped.isEmpty())
            takeSkipped(piece.skipped);
        if (!piece.payload.isEmpty())
            takePayload(piece.payload);
    }
}

void PortSession::takeSkipped(const QByteArray &bytes)
{
    if (isOpen())
        emit bytesSkipped(utcNow(), bytes);
}

void PortSession::takePayload(const QByteArray &payload)
{
    // A payload still queued when the port closed belongs to no connection.
    Reading reading;
    if (!isOpen() || !readingFromPayload(payload, reading))
        return;
    const qint64 t = now();
    const QDateTime when = utcNow();
    if (stale) {
        stale = false;
        emitEvent(LinkEvent::Recovered, QStringLiteral("status again after %1 s").arg(words::seconds(rule.ageMs(t))));
    }
    rule.frame(t);
    last = reading;
    emit frameReceived(when, payload);
    emit statusDecoded(when, reading);
    const int changed = faults.update(reading, when);
    for (Alarms::Condition c : Alarms::kAll)
        if (changed & c)
            emitEvent(faults.isActive(c) ? LinkEvent::Alarm : LinkEvent::AlarmCleared, Alarms::name(c));
    if (!staleCheck.isActive())
        armStaleCheck();
}

void PortSession::armStaleCheck()
{
    // Wakes when the silence would pass the limit, not on every frame.
    staleCheck.start(int(std::max<qint64>(0, rule.limitMs() - rule.ageMs(now())) + 1));
}

void PortSession::checkStale()
{
    if (!isOpen() || stale)
        return;
    const qint64 t = now();
    if (!rule.isStale(t)) {
        if (!staleCheck.isActive())
            armStaleCheck();
        return;
    }
    stale = true;
    staleCheck.stop();
    emitEvent(LinkEvent::Stale, QStringLiteral("no status for %1 s").arg(words::seconds(rule.ageMs(t))));
}

PortSession::Sent PortSession::send(const WorkingPoint &point)
{
    if (!isOpen() || !(mode & QIODevice::WriteOnly))
        return Sent::NotOpen;
    const QByteArray frame = encodeCommandFrame(point);
    if (serial.bytesToWrite() + frame.size() > kBacklogLimitBytes)
        return Sent::Backlog;
    if (!refusal(point).isEmpty())
        return Sent::BeyondLimit;
    if (serial.write(frame) != frame.size())
        return Sent::Failed;
    // To the line before the store, whose lock may keep it waiting; only if
    // the line takes it now, as Qt's own write would.
    serial.waitForBytesWritten(0);
    lastPoint = point;
    lastSent = utcNow();
    emit commandSent(lastSent, frame, point);
    unsaved.append({deviceKey(), point, lastSent, who});
    if (!saveAgain.isActive())
        saveRows(store::kWaitMs);
    return Sent::Ok;
}

QString PortSession::deviceKey()
{
    if (pointKey.isEmpty())
        pointKey = workingPointKey(name);
    return pointKey;
}

Refusal PortSession::refusal(const WorkingPoint &point)
{
    // The store, which may keep a send waiting, is asked only when the rise counts.
    WorkingPoint last;
    const bool known = inForce.riseCounts() && remembered(last, nullptr, nullptr) == WorkingPointStore::Loaded::Found;
    return inForce.refusal(point, known ? &last : nullptr);
}

WorkingPointStore::Loaded PortSession::remembered(WorkingPoint &out, QDateTime *sent, QString *error)
{
    if (lastSent.isValid()) {
        out = lastPoint;
        if (sent)
            *sent = lastSent;
        return WorkingPointStore::Loaded::Found;
    }
    if (!variant)
        return WorkingPointStore::Loaded::None;
    return WorkingPointStore().load(deviceKey(), *variant, out, sent, error);
}

void PortSession::onError(QSerialPort::SerialPortError error)
{
    // Errors of a failed open are reported by open(); these come while open.
    // A pulled cable shows up only as a port error; Qt keeps reporting it and
    // accepting writes until the port is closed.
    if (!serial.isOpen() || !endsLink(error))
        return;
    lost = classifyLoss(error, serial.errorString(), QFileInfo::exists(portPath(name)));
    shut();
    emitEvent(LinkEvent::Lost, QStringLiteral("%1 went away (%2)").arg(name, lost.reason));
}

void PortSession::emitEvent(LinkEvent event, const QString &detail)
{
    emit linkEvent(utcNow(), event, detail);
}

} // namespace laser
