#include "cli.h"

#include "source.h"

namespace cli {

int monitor(QCoreApplication &app, const Options &o)
{
    int outcome = -1;
    Out out;
    const QString port = printableName(o.port);
    const QString target = o.output.isEmpty() ? QStringLiteral("stdout") : o.output;
    auto write = [&](const QString &line) {
        if (outcome != ctl::Failed)
            out.line(line);
    };
    Sink sink;
    sink.status = [&](const QDateTime &when, const laser::Reading &r) {
        switch (o.format) {
        case Format::Text: write(ctl::statusText(laser::csv::isoTime(when), r)); break;
        case Format::Json: write(laser::json::jsonLine(laser::json::statusJson(laser::csv::isoTime(when), r))); break;
        case Format::Csv: write(laser::csv::statusRow(when, r)); break;
        }
    };
    // Only through the panel: its operator's commands and scripts'.
    sink.command = [&](const QDateTime &when, const laser::WorkingPoint &s) {
        switch (o.format) {
        case Format::Text: write(ctl::commandText(laser::csv::isoTime(when), s)); break;
        case Format::Json: write(laser::json::jsonLine(laser::json::commandJson(laser::csv::isoTime(when), s))); break;
        case Format::Csv: write(laser::csv::commandRow(when, s)); break;
        }
    };
    sink.event = [&](const QDateTime &when, const QString &kind, const QString &detail) {
        const QString shown = printableName(detail);
        switch (o.format) {
        case Format::Text: write(ctl::eventText(laser::csv::isoTime(when), kind, shown)); break;
        case Format::Json: write(laser::json::jsonLine(laser::json::eventJson(laser::csv::isoTime(when), kind, shown))); break;
        case Format::Csv: write(laser::csv::eventRow(when, kind, shown)); break;
        }
    };
    sink.ended = [&](const QString &detail) {
        const QString shown = printableName(detail);
        if (!o.reconnect) {
            complain(QStringLiteral("%1: link lost (%2)").arg(port, shown));
            if (outcome == -1)
                outcome = ctl::LinkLost;
            app.quit();
            return;
        }
        complain(QStringLiteral("%1: link lost (%2); waiting for the port to come back").arg(port, shown));
    };
    Source source(o, sink);
    const int failed = source.open(QIODevice::ReadOnly);
    if (failed >= 0)
        return failed;
    source.setReconnect(o.reconnect);
    QStringList header;
    if (o.format == Format::Csv)
        header = laser::csv::header(QStringLiteral("laserctl %1").arg(QStringLiteral(LASERCTL_VERSION)),
                                    source.variantName(), o.port, QDateTime::currentDateTimeUtc());
    const QString refused = out.open(o.output, header);
    if (!refused.isEmpty()) {
        complain(QStringLiteral("%1: cannot write (%2)").arg(target, refused));
        return ctl::Failed;
    }
    // The first failed write ends the run at once, with that write's reason.
    QObject::connect(&out.recorder, &laser::Recorder::failed, [&](const QString &reason) {
        if (outcome == ctl::Failed)
            return;
        complain(QStringLiteral("%1: writing failed (%2)").arg(target, reason));
        outcome = ctl::Failed;
        app.quit();
    });
    if (source.panel())
        source.panel()->subscribe();
    if (o.durationMs > 0)
        QTimer::singleShot(int(o.durationMs), &app, [&] {
            if (outcome == -1)
                outcome = ctl::Ok;
            app.quit();
        });
    app.exec();   // ends with the duration, a stop signal, a lost link or a failed write
    source.close();
    out.recorder.stop();
    return outcome == -1 ? int(ctl::Ok) : outcome;
}

} // namespace cli
