#include "cli.h"

#include "source.h"
#include "commandframe.h"
#include "workingpointstore.h"

#include <QJsonObject>

namespace cli {

namespace {

// Fills what the request leaves out from a remembered working point; returns
// the names of the values taken (current, pulse, frequency, trigger).
QStringList fillFromRecord(laser::SetRequest &r, const laser::WorkingPoint &p)
{
    QStringList kept;
    auto keep = [&kept](QString &value, const QString &remembered, const char *name) {
        if (!value.isEmpty())
            return;
        value = remembered;
        kept << QLatin1String(name);
    };
    keep(r.current, laser::words::twoDecimals(p.currentA()), "current");
    keep(r.pulse, laser::words::twoDecimals(p.pulseNs()), "pulse");
    keep(r.freq, QString::number(p.freqKHz()), "frequency");
    keep(r.trigger, laser::words::trigger(p.externalTrigger), "trigger");
    return kept;
}

// The set request as the panel's socket takes it: the values as given.
QJsonObject setRequest(const laser::SetRequest &set)
{
    QJsonObject request{{QStringLiteral("op"), QStringLiteral("set")}};
    const std::pair<const char *, QString> values[] = {
        {"current", set.current}, {"pulse", set.pulse}, {"freq", set.freq}, {"trigger", set.trigger}};
    for (const auto &[key, value] : values)
        if (!value.isEmpty())
            request.insert(QLatin1String(key), value);
    return request;
}
} // namespace

int set(QCoreApplication &app, const Options &o)
{
    // What is not given keeps what the laser was last told on this port, so
    // that setting one value does not quietly reset the others.
    laser::SetRequest request = o.set;
    QStringList kept;
    laser::WorkingPoint remembered;
    QDateTime rememberedAt;
    if (o.defaults) {
        fillFromRecord(request, laser::initialPoint(*o.variant));
    } else if (!o.port.isEmpty()) {
        QString why;
        switch (laser::WorkingPointStore().load(laser::workingPointKey(o.port), *o.variant, remembered, &rememberedAt, &why)) {
        case laser::WorkingPointStore::Loaded::Found:
            kept = fillFromRecord(request, remembered);
            break;
        case laser::WorkingPointStore::Loaded::Unusable:
            complain(QStringLiteral("note: %1; the panel's defaults are used").arg(why));
            break;
        case laser::WorkingPointStore::Loaded::None:
            break;
        }
    }
    laser::SetResult command = laser::applySet(request, laser::initialPoint(*o.variant), *o.variant);
    if (!command.error.isEmpty()) {
        complain(command.error);
        return ctl::Usage;
    }
    Out out;
    out.open(QString());
    if (!kept.isEmpty())
        out.line(QStringLiteral("kept from the working point last sent %1: %2")
                     .arg(laser::csv::isoTime(rememberedAt), kept.join(QStringLiteral(", "))));
    auto values = [](const laser::WorkingPoint &s, const QString &variant) {
        return QStringLiteral("current %1 A  pulse %2 ns  frequency %3 kHz  trigger %4  (%5)")
            .arg(laser::words::twoDecimals(s.currentA()), laser::words::twoDecimals(s.pulseNs()))
            .arg(s.freqKHz())
            .arg(laser::words::trigger(s.externalTrigger), variant);
    };
    auto finish = [&](int code) {
        if (out.failure.isEmpty())
            return code;
        complain(QStringLiteral("stdout: writing failed (%1)").arg(out.failure));
        return int(ctl::Failed);
    };
    if (o.dryRun) {
        for (const QString &note : command.notes)
            out.line(QStringLiteral("note: ") + note);
        out.line(QStringLiteral("frame (dry run, not sent): ") + laser::words::hex(laser::encodeCommandFrame(command.point)));
        out.line(values(command.point, QLatin1String(o.variant->name)));
        return finish(ctl::Ok);
    }

    // The laser needs time to ramp its pump; take the first frame that
    // agrees, or judge the last one when the time is up.
    bool judging = false, any = false, agreed = false;
    QString lost;
    laser::Reading last;
    laser::WorkingPoint s = command.point;
    Sink sink;
    sink.status = [&](const QDateTime &, const laser::Reading &r) {
        if (!judging || agreed)
            return;
        any = true;
        last = r;
        const ctl::Verdict v = ctl::judge(s, r, o.toleranceA);
        if (v.triggerMatches && v.currentClose) {
            agreed = true;
            app.quit();
        }
    };
    sink.ended = [&](const QString &detail) {
        lost = detail;
        if (judging)
            app.quit();
    };
    Source source(o, sink);
    const int failed = source.open(QIODevice::ReadWrite);
    if (failed >= 0)
        return failed;
    const QString port = printableName(o.port);
    QString variant = QLatin1String(o.variant->name);
    if (PanelClient *panel = source.panel()) {
        // The panel's ranges and steps count, and its setpoints fill in what is not given.
        variant = source.variantName();
        const laser::Variant *panelVariant = laser::variantNamed(variant);
        if (!panelVariant || (o.variantGiven && panelVariant != o.variant)) {
            complain(QStringLiteral("%1: the panel runs %2, not %3").arg(port, variant, QLatin1String(o.variant->name)));
            return ctl::Usage;
        }
        command = laser::applySet(request, laser::initialPoint(*panelVariant), *panelVariant);
        if (!command.error.isEmpty()) {
            complain(command.error);
            return ctl::Usage;
        }
        QJsonObject reply;
        if (!panel->call(setRequest(request), reply, kWriteTimeoutMs)) {
            complain(QStringLiteral("%1: the panel did not answer; the command may not have been sent").arg(port));
            return ctl::Failed;
        }
        if (!reply.value(QStringLiteral("ok")).toBool()) {
            const QString code = reply.value(QStringLiteral("code")).toString();
            complain(QStringLiteral("%1: %2").arg(port, reply.value(QStringLiteral("message")).toString()));
            return code == laser::api::code::refused ? int(ctl::PanelRefuses)
                 : code == laser::api::code::badValue ? int(ctl::Usage)
                                                       : int(ctl::Failed);
        }
        for (const QString &note : command.notes)
            out.line(QStringLiteral("note: ") + note);
        laser::json::pointFrom(reply.value(QStringLiteral("sent")).toObject(), panelVariant->kHzPerStep, s);
        out.line(QStringLiteral("sent to %1 through the panel: %2").arg(port, reply.value(QStringLiteral("frame")).toString()));
        if (o.verify)
            panel->subscribe();
    } else {
        for (const QString &note : command.notes)
            out.line(QStringLiteral("note: ") + note);
        PortSession &link = source.port();
        // Sent means on the line: a frame still queued when we give up was not.
        if (link.send(command.point) != PortSession::Sent::Ok || !link.drain(kWriteTimeoutMs)) {
            const int waiting = link.waitingCommands();
            const QString reason = waiting > 0
                ? QStringLiteral("the command was not delivered: the port took nothing for %1 s").arg(seconds(kWriteTimeoutMs))
                : QStringLiteral("writing failed (%1)").arg(link.port()->errorString());
            source.close();
            complain(QStringLiteral("%1: %2; 1 command not sent").arg(port, reason));
            return ctl::Failed;
        }
        out.line(QStringLiteral("sent to %1: %2").arg(port, laser::words::hex(laser::encodeCommandFrame(command.point))));
    }
    out.line(values(s, variant));
    if (!o.verify)
        return finish(ctl::Ok);

    judging = true;
    QTimer::singleShot(int(o.timeoutMs), &app, &QCoreApplication::quit);
    if (lost.isEmpty())
        app.exec();
    source.close();
    if (!lost.isEmpty()) {
        complain(QStringLiteral("%1: link lost while verifying (%2)").arg(port, lost));
        return ctl::LinkLost;
    }
    if (!any) {
        complain(QStringLiteral("%1: no status frame within %2 s to verify against").arg(port, seconds(o.timeoutMs)));
        return ctl::NoLaser;
    }
    for (const QString &line : ctl::verdictLines(s, last, ctl::judge(s, last, o.toleranceA), o.toleranceA))
        out.line(line);
    return finish(agreed ? int(ctl::Ok) : int(ctl::VerifyMismatch));
}

} // namespace cli
