#include "cli.h"

#include "commandframe.h"
#include "lablimits.h"
#include "source.h"
#include "workingpointstore.h"

#include <QJsonObject>

namespace cli {

namespace {

// Fills what the request leaves out from `p`; returns the names of the
// values taken (current, pulse, frequency, trigger).
QStringList fill(laser::SetRequest &r, const laser::WorkingPoint &p)
{
    QStringList kept;
    auto keep = [&kept](QString &value, const QString &taken, const char *name) {
        if (!value.isEmpty())
            return;
        value = taken;
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

void notes(Out &out, const QStringList &notes)
{
    for (const QString &note : notes)
        out.line(QStringLiteral("note: ") + note);
}

QString values(const laser::WorkingPoint &p, const QString &variant)
{
    return QStringLiteral("current %1 A  pulse %2 ns  frequency %3 kHz  trigger %4  (%5)")
        .arg(laser::words::twoDecimals(p.currentA()), laser::words::twoDecimals(p.pulseNs()))
        .arg(p.freqKHz())
        .arg(laser::words::trigger(p.externalTrigger), variant);
}

int finish(const Out &out, int code)
{
    if (out.failure.isEmpty())
        return code;
    complain(QStringLiteral("stdout: writing failed (%1)").arg(out.failure));
    return ctl::Failed;
}

// What laserctl sends on a port it opens itself: the values not given keep
// the working point last sent on it, by the panel or laserctl, so that
// setting one value does not quietly reset the others.
laser::SetResult resolve(const Options &o, Out &out)
{
    laser::SetRequest request = o.set;
    laser::WorkingPoint start = laser::initialPoint(*o.variant);
    if (!o.defaults && !o.port.isEmpty()) {
        QDateTime sent;
        QString why;
        switch (laser::WorkingPointStore().load(laser::workingPointKey(o.port), *o.variant, start, &sent, &why)) {
        case laser::WorkingPointStore::Loaded::Found:
            out.line(QStringLiteral("kept from the working point last sent %1: %2")
                         .arg(laser::csv::isoTime(sent), fill(request, start).join(QStringLiteral(", "))));
            break;
        case laser::WorkingPointStore::Loaded::Unusable:
            complain(QStringLiteral("note: %1; the panel's defaults are used").arg(why));
            break;
        case laser::WorkingPointStore::Loaded::None:
            break;
        }
    }
    return laser::applySet(request, start, *o.variant);
}

// Says why the lab's limits refuse the command; returns the exit code.
int refuse(const Options &o, const QString &why)
{
    complain(QStringLiteral("%1: refused, nothing sent: %2").arg(printableName(o.port), why));
    return ctl::BeyondLimit;
}

// Sent means on the line: a frame still queued when we give up was not.
int sendDirect(Source &source, const Options &o, Out &out, laser::WorkingPoint &sent)
{
    const laser::SetResult set = resolve(o, out);
    notes(out, set.notes);
    PortSession &link = source.port();
    const QString port = printableName(o.port);
    const QString beyond = link.refusal(set.point).text;
    if (!beyond.isEmpty()) {
        source.close();
        return refuse(o, beyond);
    }
    if (link.send(set.point) != PortSession::Sent::Ok || !link.drain(kWriteTimeoutMs)) {
        const QString reason = link.waitingCommands() > 0
            ? QStringLiteral("the command was not delivered: the port took nothing for %1 s").arg(seconds(kWriteTimeoutMs))
            : QStringLiteral("writing failed (%1)").arg(link.port()->errorString());
        source.close();
        complain(QStringLiteral("%1: %2; 1 command not sent").arg(port, reason));
        return ctl::Failed;
    }
    out.line(QStringLiteral("sent to %1: %2").arg(port, laser::words::hex(laser::encodeCommandFrame(set.point))));
    sent = set.point;
    return -1;
}

// The panel holds the port and keeps its own last command for the values not
// given; its variant's ranges and steps count.
int sendThroughPanel(Source &source, const Options &o, Out &out, laser::WorkingPoint &sent)
{
    const QString port = printableName(o.port);
    const laser::Variant *variant = laser::variantNamed(source.variantName());
    if (!variant || (o.variantGiven && variant != o.variant)) {
        complain(QStringLiteral("%1: the panel runs %2, not %3").arg(port, source.variantName(), QLatin1String(o.variant->name)));
        return ctl::Usage;
    }
    laser::SetRequest request = o.set;
    if (o.defaults)
        fill(request, laser::initialPoint(*variant));
    QJsonObject reply;
    if (!source.panel()->call(setRequest(request), reply, kWriteTimeoutMs)) {
        complain(QStringLiteral("%1: the panel did not answer; the command may not have been sent").arg(port));
        return ctl::Failed;
    }
    if (!reply.value(QStringLiteral("ok")).toBool()) {
        const QString code = reply.value(QStringLiteral("code")).toString();
        complain(QStringLiteral("%1: %2").arg(port, reply.value(QStringLiteral("message")).toString()));
        return code == laser::api::code::refused ? int(ctl::PanelRefuses)
             : code == laser::api::code::badValue ? int(ctl::Usage)
             : code == laser::api::code::beyondLimit ? int(ctl::BeyondLimit)
                                                   : int(ctl::Failed);
    }
    notes(out, reply.value(QStringLiteral("notes")).toVariant().toStringList());
    laser::json::pointFrom(reply.value(QStringLiteral("sent")).toObject(), variant->kHzPerStep, sent);
    out.line(QStringLiteral("sent to %1 through the panel: %2").arg(port, reply.value(QStringLiteral("frame")).toString()));
    if (o.verify)
        source.panel()->subscribe();
    return -1;
}

// The laser needs time to ramp its pump: the first frame that agrees ends
// the wait, else the last one is judged when the time is up.
struct Watch {
    Watch(QCoreApplication &app, double toleranceA) : app(app), toleranceA(toleranceA) {}
    QCoreApplication &app;
    double toleranceA;
    laser::WorkingPoint expected;
    bool judging = false, any = false, agreed = false;
    QString lost;
    laser::Reading last;

    Sink sink()
    {
        Sink s;
        s.status = [this](const QDateTime &, const laser::Reading &r) {
            if (!judging || agreed)
                return;
            any = true;
            last = r;
            const ctl::Verdict v = ctl::judge(expected, r, toleranceA);
            agreed = v.triggerMatches && v.currentClose;
            if (agreed)
                app.quit();
        };
        s.ended = [this](const QString &detail) {
            lost = detail;
            if (judging)
                app.quit();
        };
        return s;
    }
};

int verify(Watch &w, Source &source, const Options &o, Out &out)
{
    const QString port = printableName(o.port);
    w.judging = true;
    QTimer::singleShot(int(o.timeoutMs), &w.app, &QCoreApplication::quit);
    if (w.lost.isEmpty())
        w.app.exec();
    source.close();
    if (!w.lost.isEmpty()) {
        complain(QStringLiteral("%1: link lost while verifying (%2)").arg(port, w.lost));
        return ctl::LinkLost;
    }
    if (!w.any) {
        complain(QStringLiteral("%1: no status frame within %2 s to verify against").arg(port, seconds(o.timeoutMs)));
        return ctl::NoLaser;
    }
    for (const QString &line : ctl::verdictLines(w.expected, w.last, ctl::judge(w.expected, w.last, o.toleranceA), o.toleranceA))
        out.line(line);
    return finish(out, w.agreed ? int(ctl::Ok) : int(ctl::VerifyMismatch));
}
} // namespace

int set(QCoreApplication &app, const Options &o)
{
    // A value out of range is refused before any port opens.
    const QString invalid = laser::applySet(o.set, laser::initialPoint(*o.variant), *o.variant).error;
    if (!invalid.isEmpty()) {
        complain(invalid);
        return ctl::Usage;
    }
    Out out;
    out.open(QString());
    if (o.dryRun) {
        const laser::SetResult set = resolve(o, out);
        notes(out, set.notes);
        const QString key = o.port.isEmpty() ? QString() : laser::workingPointKey(o.port);
        laser::WorkingPoint last;
        const bool known = !key.isEmpty()
            && laser::WorkingPointStore().load(key, *o.variant, last, nullptr, nullptr) == laser::WorkingPointStore::Loaded::Found;
        const QString beyond = laser::loadLimits(key, *o.variant).refusal(set.point, known ? &last : nullptr).text;
        if (!beyond.isEmpty())
            return refuse(o, beyond);
        out.line(QStringLiteral("frame (dry run, not sent): ") + laser::words::hex(laser::encodeCommandFrame(set.point)));
        out.line(values(set.point, QLatin1String(o.variant->name)));
        return finish(out, ctl::Ok);
    }
    Watch watch(app, o.toleranceA);
    Source source(o, watch.sink());
    const int failed = source.open(QIODevice::ReadWrite);
    if (failed >= 0)
        return failed;
    const int unsent = source.panel() ? sendThroughPanel(source, o, out, watch.expected)
                                      : sendDirect(source, o, out, watch.expected);
    if (unsent >= 0)
        return unsent;
    out.line(values(watch.expected, source.variantName()));
    return o.verify ? verify(watch, source, o, out) : finish(out, ctl::Ok);
}

} // namespace cli
