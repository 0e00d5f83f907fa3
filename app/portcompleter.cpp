#include "portcompleter.h"

#include <QLineEdit>
#include <QSerialPortInfo>
#include <QStringListModel>

PortCompleter::PortCompleter(QLineEdit *edit)
    : QCompleter(edit), ports(new QStringListModel(this))
{
    setModel(ports);
    setCaseSensitivity(Qt::CaseInsensitive);
    setFilterMode(Qt::MatchContains);
    refresh();
    edit->setCompleter(this);
}

void PortCompleter::refresh()
{
    QStringList locations;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        locations << info.systemLocation();
    locations.sort();
    ports->setStringList(locations);
}
