#include "portcompleter.h"

#include <QEvent>
#include <QLineEdit>
#include <QSerialPortInfo>
#include <QStandardItemModel>

#include <algorithm>

namespace {
// What the popup shows: the path, then what the system knows of the device.
QString label(const QSerialPortInfo &info)
{
    QStringList known;
    for (const QString &s : {info.description(), info.manufacturer(), info.serialNumber()})
        if (!s.isEmpty())
            known << s;
    return known.isEmpty() ? info.systemLocation() : info.systemLocation() + QStringLiteral(" — ") + known.join(QStringLiteral(", "));
}
} // namespace

PortCompleter::PortCompleter(QLineEdit *edit)
    : QCompleter(edit), ports(new QStandardItemModel(this))
{
    setModel(ports);
    // Matched and inserted: the path alone.
    setCompletionRole(Qt::UserRole);
    setCaseSensitivity(Qt::CaseInsensitive);
    setFilterMode(Qt::MatchContains);
    edit->setCompleter(this);
    // A key (typing, Up or Down for the list) or an edit by the mouse (a
    // paste) reaches here before the completer looks at its model.
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, &PortCompleter::listIfStale);
}

void PortCompleter::refresh()
{
    stale = true;
}

bool PortCompleter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched == widget())
        listIfStale();
    return QCompleter::eventFilter(watched, event);
}

void PortCompleter::listIfStale()
{
    if (!stale)
        return;
    stale = false;
    QList<QSerialPortInfo> found = QSerialPortInfo::availablePorts();
    std::sort(found.begin(), found.end(), [](const QSerialPortInfo &a, const QSerialPortInfo &b) {
        return a.systemLocation() < b.systemLocation();
    });
    ports->clear();
    for (const QSerialPortInfo &info : found) {
        auto *item = new QStandardItem(label(info));
        item->setData(info.systemLocation(), Qt::UserRole);
        ports->appendRow(item);
    }
}
