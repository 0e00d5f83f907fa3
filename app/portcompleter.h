#pragma once

#include <QCompleter>

class QLineEdit;
class QStandardItemModel;

// Offers the machine's serial ports while the field stays free text: few
// operators know whether the adapter came up as ttyUSB0 or ttyACM0. The list
// shows each device's USB description; choosing one inserts only its path.
// Listing them reads much of /sys, so it waits until the operator types into
// the field (a key, a paste) rather than holding up the window's start.
class PortCompleter : public QCompleter
{
    Q_OBJECT

public:
    explicit PortCompleter(QLineEdit *edit);

    // Ports come and go with USB adapters; call when the operator is about to
    // pick one again. They are listed anew the next time the field is used.
    void refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void listIfStale();

    QStandardItemModel *ports;
    bool stale = true;
};
