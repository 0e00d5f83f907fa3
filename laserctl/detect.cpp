#include "cli.h"

#include "portsession.h"
#include "words.h"

#include <QElapsedTimer>
#include <QSerialPortInfo>
#include <QTimer>
#include <memory>
#include <vector>

namespace cli {

int detect(QCoreApplication &app, const Options &o)
{
    QStringList names = o.ports;
    if (names.isEmpty()) {
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            names << info.systemLocation();
        if (names.isEmpty()) {
            complain(QStringLiteral("the system lists no serial ports; name them: laserctl detect PORT..."));
            return ctl::NoLaser;
        }
    }
    struct Watch {
        QString name;
        std::unique_ptr<PortSession> link;
        ctl::Tally tally;
        laser::PortFailure failure;
        QString lost;
    };
    std::vector<Watch> watches(size_t(names.size()));
    QElapsedTimer clock;
    for (int i = 0; i < names.size(); ++i) {
        Watch &w = watches[size_t(i)];
        w.name = names[i];
        w.link = std::make_unique<PortSession>();
        if (!w.link->open(names[i], QIODevice::ReadOnly, &w.failure))
            continue;
        QObject::connect(w.link.get(), &PortSession::statusDecoded, [&w, &clock] {
            const qint64 now = clock.elapsed();
            if (w.tally.frames++ == 0)
                w.tally.firstMs = now;
            w.tally.lastMs = now;
        });
        QObject::connect(w.link.get(), &PortSession::bytesSkipped,
                         [&w](const QDateTime &, const QByteArray &bytes) { w.tally.skippedBytes += bytes.size(); });
        QObject::connect(w.link.get(), &PortSession::linkEvent,
                         [&w](const QDateTime &, LinkEvent event, const QString &detail) {
                             if (event == LinkEvent::Lost)
                                 w.lost = detail;
                         });
    }
    clock.start();
    QTimer::singleShot(int(o.listenMs), &app, &QCoreApplication::quit);
    app.exec();   // a stop signal ends the listening early; what came is reported
    const qint64 listened = clock.elapsed();

    Out out;
    out.open(QString());
    bool found = false;
    int firstFailure = ctl::Ok;
    bool allFailed = true;
    for (Watch &w : watches) {
        const QString name = printableName(w.name);
        if (w.failure.kind != laser::PortFailure::None) {
            out.line(QStringLiteral("%1  cannot open: %2").arg(name, w.failure.reason));
            if (firstFailure == ctl::Ok)
                firstFailure = ctl::exitFor(w.failure);
            continue;
        }
        allFailed = false;
        w.link->close();
        w.tally.listenedMs = listened;
        found = found || ctl::isLaser(w.tally);
        QString line = ctl::detectLine(name, w.tally);
        if (!w.lost.isEmpty())
            line += QStringLiteral("; then the link was lost (%1)").arg(w.lost);
        out.line(line);
    }
    if (found)
        return ctl::Ok;
    return allFailed ? firstFailure : int(ctl::NoLaser);
}

} // namespace cli
