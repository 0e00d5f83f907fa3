#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace laser {

// Waits for a lost port's device to come back: the same USB serial number
// wherever it appears, or else the same path. The system gives Qt no signal
// for a device plugged in, so it looks on a timer. No Widgets.
class PortWatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 500;

    explicit PortWatcher(QObject *parent = nullptr);

    // `key` as workingPointKey() gives it: "usb:" and a serial number, or
    // "port:" and the name as given.
    void watch(const QString &key);
    void stop() { timer.stop(); }
    bool isWatching() const { return timer.isActive(); }
    QString key() const { return watched; }

    // Where the device `key` names is now; empty while it is absent.
    static QString find(const QString &key);
    // "/dev/ttyUSB0", or "the device with USB serial number A1B2"
    static QString describe(const QString &key);

signals:
    // At every look that finds the device, until stop(): an open that fails
    // (the device not ready yet) is tried again at the next.
    void back(const QString &port);

private:
    QTimer timer;
    QString watched;
};

} // namespace laser
