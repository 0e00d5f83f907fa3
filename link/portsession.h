#pragma once

#include "alarms.h"
#include "lablimits.h"
#include "reading.h"
#include "stalerule.h"
#include "statusframe.h"
#include "workingpointstore.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>
#include <QVector>

#include <functional>

namespace laser {

// Why a port did not open (NoDevice to Busy) or went away (Removed, HungUp),
// in the terms both front ends report; Other keeps Qt's words.
struct PortFailure {
    enum Kind { None, NoDevice, NotSerial, NoPermission, Busy, Removed, HungUp, Other };
    Kind kind = None;
    QString reason;   // in English, for the link log, the record and laserctl
};

// What Qt's open error means. `exists`, `mayRead`, `mayWrite`: what the file
// system says of the port's path; `nameTooLong`: the path is past the system's
// limit, which Qt reports as a refused open.
PortFailure classifyOpenError(QSerialPort::SerialPortError error, const QString &qtReason, bool exists,
                              bool mayRead, bool mayWrite, bool nameTooLong = false);
// What an error that ended an open link means; `exists`: the port's path is
// still there.
PortFailure classifyLoss(QSerialPort::SerialPortError error, const QString &qtReason, bool exists);

// One serial port to the laser, as the panel and laserctl both use it: the
// open at 115200 8N1 with the refusal made on the opened handle, reception
// (reassembly, then one decode into a Reading), the stale rule and the link
// events, the write backlog and the bounded drain at close, and loss. No Widgets.
class PortSession : public QObject
{
    Q_OBJECT

public:
    // At 115200 baud a frame takes about 1.1 ms: ten frames still waiting mean
    // the far end takes nothing, and queueing an eleventh would hide it.
    static constexpr qint64 kBacklogLimitBytes = 10 * 13;
    // A row the store is busy for is tried again every 250 ms for 10 s, and
    // once more, waiting up to 2 s, when the session ends.
    static constexpr int kSaveAgainMs = 250;
    static constexpr int kSaveTries = 40;
    static constexpr int kLastSaveWaitMs = 2000;
    // How long Close gives queued commands to reach the line.
    static constexpr int kDrainLimitMs = 500;
    explicit PortSession(QObject *parent = nullptr);
    ~PortSession() override;

    // A monotonic clock in ms; the tests move their own.
    void setClock(std::function<qint64()> clock) { now = std::move(clock); }
    // The firmware variant, whose steps the store's record is read in.
    void setVariant(const Variant &v) { variant = &v; }
    // By default the session reads its port itself. With an outside reader
    // (the panel's serialThread) it only reassembles when readAvailable() is
    // called, hands out payloadReady()/skippedReady(), and decodes what comes
    // back through takePayload()/takeSkipped().
    void setOutsideReader(bool outside) { outsideReader = outside; }
    // Who the store says sent the commands: panel (unless told), laserctl,
    // or script <pid>.
    void setSender(const QString &name) { who = name; }
    QString currentSender() const { return who; }

    // Opens at 115200 8N1. A port refused by name or, once open, by the
    // device its handle leads to is closed again before any byte is written.
    bool open(const QString &name, QIODevice::OpenMode mode, PortFailure *failure);
    // Gives queued commands up to kDrainLimitMs, closes, and returns how many
    // never left; reports them (Dropped) and the close (Close).
    int close();
    // Waits up to `ms` for queued commands to reach the line; false when some
    // still wait.
    bool drain(int ms);
    bool isOpen() const { return serial.isOpen(); }
    QString portName() const { return name; }
    // Why the link was last lost.
    const PortFailure &loss() const { return lost; }
    // The device this open reached, as PortWatcher and the store name it
    // (workingPointKey); ask while open, the device may be gone later.
    QString deviceKey();
    QSerialPort *port() { return &serial; }

    // Reads what the port holds and reassembles it.
    void readAvailable();
    void takePayload(const QByteArray &payload);
    void takeSkipped(const QByteArray &bytes);

    enum class Sent { Ok, NotOpen, Backlog, Failed, BeyondLimit };
    // A command written is also remembered as the port's working point. One
    // the limits refuse is not written.
    Sent send(const WorkingPoint &point);
    // The limits for the laser this open reached, read at the open.
    const Limits &limits() const { return inForce; }
    // Why the limits refuse `point` after the working point last sent; empty
    // when they do not.
    Refusal refusal(const WorkingPoint &point);
    // The working point last sent on this port: this session's last send
    // since the open, else the store's record, by this or another program.
    // `sent` gets its time.
    WorkingPointStore::Loaded remembered(WorkingPoint &out, QDateTime *sent, QString *error);
    // Commands written to the port object but not yet to the line.
    int waitingCommands() const;

    bool hasFrame() const { return rule.hasFrame(); }
    // The faults the last frames report (Alarm and AlarmCleared as they change).
    const Alarms &alarms() const { return faults; }
    const Reading &lastReading() const { return last; }
    qint64 ageMs() const { return rule.ageMs(now()); }
    bool isStale() const { return isOpen() && rule.isStale(now()); }
    // Reports a change to stale now rather than at the next check; the
    // display calls it at each refresh so that both agree.
    void checkStale();

signals:
    // Outside-reader mode only.
    void payloadReady(const QByteArray &payload);
    void skippedReady(const QByteArray &bytes);

    // Times are UTC.
    void frameReceived(const QDateTime &when, const QByteArray &payload);
    void statusDecoded(const QDateTime &when, const laser::Reading &reading);
    void bytesSkipped(const QDateTime &when, const QByteArray &bytes);
    void commandSent(const QDateTime &when, const QByteArray &frame, const laser::WorkingPoint &point);
    // detail: the port for Open, the age for Stale and Recovered, the reason
    // for Lost, the count for Dropped.
    void linkEvent(const QDateTime &when, laser::LinkEvent event, const QString &detail);

private:
    bool openPort(PortFailure *failure);
    void shut();
    void take(const QByteArray &bytes);
    void gatherDue();
    void onError(QSerialPort::SerialPortError error);
    void armStaleCheck();
    void emitEvent(LinkEvent event, const QString &detail = QString());
    // Writes the rows not yet in the store, waiting `waitMs` at most for
    // another program's lock; while the store is only busy, tries again soon.
    void saveRows(int waitMs);

    QString name;
    QIODevice::OpenMode mode = QIODevice::ReadWrite;
    QSerialPort serial;
    StatusFrameReassembler frames;
    QElapsedTimer clock;
    std::function<qint64()> now;
    const Variant *variant = nullptr;
    bool outsideReader = false;
    QString who = QStringLiteral("panel");
    StaleRule rule;
    Reading last;
    Alarms faults;
    PortFailure lost;
    QString pointKey;   // found once per open: it may list the system's ports
    WorkingPoint lastPoint;
    Limits inForce;
    QDateTime lastSent;   // none before this open's first send
    bool stale = false;
    QTimer staleCheck;
    // While frames come close together, reads are gathered for a while: the
    // driver holds the bytes and one wake-up takes them all.
    QElapsedTimer sinceRead;
    QTimer gather;
    bool holding = false;
    // Commands sent whose rows the store was too busy to take: none is lost
    // to a concurrent writer, and no send waits long for the lock.
    struct Row {
        QString key;
        WorkingPoint point;
        QDateTime sent;
        QString sender;
    };
    QVector<Row> unsaved;
    QTimer saveAgain;
    int busyTries = 0;
};

} // namespace laser
