#pragma once

#include <QCompleter>

class QLineEdit;
class QStringListModel;

// Offers the machine's serial ports (by device path) while the field stays free
// text: few operators know whether the adapter came up as ttyUSB0 or ttyACM0.
class PortCompleter : public QCompleter
{
    Q_OBJECT

public:
    explicit PortCompleter(QLineEdit *edit);

    // Ports come and go with USB adapters; call when the operator is about to
    // pick one again.
    void refresh();

private:
    QStringListModel *ports;
};
