#include "cli.h"

#include "lineformat.h"
#include "source.h"

namespace cli {

namespace {

// One run of monitor: every report a line, until the duration ends, a stop
// signal comes, the link is lost (without --reconnect) or a write fails.
class Run
{
public:
    Run(QCoreApplication &app, const Options &o)
        : app(app), o(o), format(lineFormat(o.format)), port(printableName(o.port)),
          target(o.output.isEmpty() ? QStringLiteral("stdout") : o.output)
    {
    }

    Sink sink()
    {
        Sink sink;
        sink.status = [this](const QDateTime &when, const laser::Reading &r) { write(format->status(when, r)); };
        // Only through the panel: its operator's commands and scripts'.
        sink.command = [this](const QDateTime &when, const laser::WorkingPoint &s) { write(format->command(when, s)); };
        sink.event = [this](const QDateTime &when, const QString &kind, const QString &detail) {
            write(format->event(when, kind, printableName(detail)));
        };
        sink.ended = [this](const QString &detail) { linkEnded(printableName(detail)); };
        return sink;
    }

    int exec(Source &source)
    {
        source.setReconnect(o.reconnect);
        const QString refused = out.open(o.output, format->header(source.variantName(), o.port));
        if (!refused.isEmpty()) {
            complain(QStringLiteral("%1: cannot write (%2)").arg(target, refused));
            return ctl::Failed;
        }
        QObject::connect(&out.recorder, &laser::Recorder::failed, [this](const QString &reason) { writeFailed(reason); });
        if (source.panel())
            source.panel()->subscribe();
        if (o.durationMs > 0)
            QTimer::singleShot(int(o.durationMs), &app, [this] { end(ctl::Ok); });
        app.exec();   // ends with the duration, a stop signal, a lost link or a failed write
        source.close();
        out.recorder.stop();
        return outcome == -1 ? int(ctl::Ok) : outcome;
    }

private:
    void write(const QString &line)
    {
        if (outcome != ctl::Failed)
            out.line(line);
    }

    void linkEnded(const QString &detail)
    {
        if (o.reconnect) {
            complain(QStringLiteral("%1: link lost (%2); waiting for the port to come back").arg(port, detail));
            return;
        }
        complain(QStringLiteral("%1: link lost (%2)").arg(port, detail));
        end(ctl::LinkLost);
    }

    // The first failed write ends the run at once, with that write's reason.
    void writeFailed(const QString &reason)
    {
        if (outcome == ctl::Failed)
            return;
        complain(QStringLiteral("%1: writing failed (%2)").arg(target, reason));
        outcome = ctl::Failed;
        app.quit();
    }

    // The first reason to end is the outcome.
    void end(ctl::Exit code)
    {
        if (outcome == -1)
            outcome = code;
        app.quit();
    }

    QCoreApplication &app;
    const Options &o;
    const std::unique_ptr<LineFormat> format;
    const QString port;
    const QString target;
    Out out;
    int outcome = -1;
};

} // namespace

int monitor(QCoreApplication &app, const Options &o)
{
    Run run(app, o);
    Source source(o, run.sink());
    const int failed = source.open(QIODevice::ReadOnly);
    return failed >= 0 ? failed : run.exec(source);
}

} // namespace cli
