#include "cli.h"

#include "panelclient.h"
#include "panelsocket.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {

// Every port a running panel serves; sockets of panels that are gone are passed over.
int panels()
{
    QString why;
    const QStringList names = laser::panel::socketNames(&why);
    if (!why.isEmpty()) {
        complain(QStringLiteral("no running panel serves a port (%1)").arg(why));
        return ctl::Ok;
    }
    Out out;
    out.open(QString());
    int found = 0;
    for (const QString &name : names) {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (!socket.waitForConnected(1000))
            continue;
        socket.write("{\"op\":\"hello\"}\n");
        QByteArray line;
        while (!line.endsWith('\n') && socket.waitForReadyRead(2000))
            line += socket.readAll();
        const QJsonObject hello = QJsonDocument::fromJson(line.left(line.indexOf('\n'))).object();
        if (!hello.value(QStringLiteral("ok")).toBool())
            continue;
        ++found;
        out.line(QStringLiteral("%1  process %2  %3  commands %4")
                     .arg(printableName(hello.value(QStringLiteral("port")).toString()))
                     .arg(qint64(hello.value(QStringLiteral("pid")).toDouble()))
                     .arg(hello.value(QStringLiteral("variant")).toString(),
                          hello.value(QStringLiteral("commands_allowed")).toBool() ? QStringLiteral("allowed")
                                                                                   : QStringLiteral("refused")));
    }
    if (found == 0)
        complain(QStringLiteral("no running panel serves a port"));
    return out.failure.isEmpty() ? int(ctl::Ok) : int(ctl::Failed);
}

} // namespace cli
