#include "portcompleter.h"

#include <QEvent>
#include <QLineEdit>
#include <QSerialPortInfo>
#include <QStringListModel>

PortCompleter::PortCompleter(QLineEdit *edit)
    : QCompleter(edit), ports(new QStringListModel(this))
{
    setModel(ports);
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
    QStringList locations;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        locations << info.systemLocation();
    locations.sort();
    ports->setStringList(locations);
}
