#include "cli.h"

#include "alarms.h"
#include "source.h"

#include <QJsonArray>

namespace cli {

int status(QCoreApplication &app, const Options &o)
{
    int outcome = -1;
    qint64 noise = 0;
    Out out;
    Sink sink;
    const auto report = [&](const laser::Reading &r, const QStringList &active) {
        const QString now = ctl::now();
        if (o.format == Format::Json) {
            QJsonObject object = laser::json::statusJson(now, r);
            object.insert(QStringLiteral("alarms"), QJsonArray::fromStringList(active));
            out.line(laser::json::jsonLine(object));
        } else {
            out.line(ctl::statusBlock(printableName(o.port), now, r) + QStringLiteral("\nalarms            ")
                     + (active.isEmpty() ? QStringLiteral("none") : active.join(QStringLiteral(", "))));
        }
        outcome = active.isEmpty() ? ctl::Ok : ctl::LaserFault;
        app.quit();
    };
    sink.status = [&](const QDateTime &, const laser::Reading &r) {
        if (outcome != -1)
            return;   // more frames of the same read
        // One frame tells no lost lock: that needs the lock seen first.
        laser::Alarms alarms;
        alarms.update(r);
        report(r, alarms.activeNames());
    };
    sink.noise = [&](qint64 bytes) { noise += bytes; };
    sink.ended = [&](const QString &detail) {
        if (outcome != -1)
            return;
        complain(QStringLiteral("%1: link lost (%2)").arg(printableName(o.port), detail));
        outcome = ctl::LinkLost;
        app.quit();
    };
    Source source(o, sink);
    const int failed = source.open(QIODevice::ReadOnly);
    if (failed >= 0)
        return failed;
    out.open(QString());
    // The panel's current reading comes with the alarms it shows, the lost
    // TEC lock included; without one, the next frame it decodes.
    QJsonObject reply;
    laser::Reading r;
    if (source.panel() && source.panel()->call({{QStringLiteral("op"), QStringLiteral("status")}}, reply, int(o.timeoutMs))
        && reply.value(QStringLiteral("state")).toString() == QLatin1String("live")
        && laser::json::readingFrom(reply.value(QStringLiteral("status")).toObject(), r)) {
        QStringList active;
        for (const QJsonValue &name : reply.value(QStringLiteral("alarms")).toArray())
            active << name.toString();
        report(r, active);
    } else if (source.panel()) {
        source.panel()->subscribe();
    }
    QTimer::singleShot(int(o.timeoutMs), &app, [&] {
        if (outcome == -1)
            outcome = ctl::NoLaser;
        app.quit();
    });
    if (outcome == -1)
        app.exec();
    source.close();
    if (outcome == -1 || outcome == ctl::NoLaser) {
        complain(QStringLiteral("%1: no valid status frame %2%3")
                     .arg(printableName(o.port),
                          outcome == -1 ? QStringLiteral("before the stop signal")
                                        : QStringLiteral("within %1 s").arg(seconds(o.timeoutMs)),
                          noise ? QStringLiteral(" (%1 bytes of noise)").arg(noise) : QString()));
        return ctl::NoLaser;
    }
    if (!out.failure.isEmpty()) {
        complain(QStringLiteral("stdout: writing failed (%1)").arg(out.failure));
        return ctl::Failed;
    }
    return outcome;
}

} // namespace cli
