#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// laser-sim as a child process, linked in a temporary folder unless given a
// link path; its stdout lines are collected as they come.
class SimProcess
{
public:
    SimProcess(const QString &program, const QStringList &args, const QString &linkPath = QString())
        : link(linkPath.isEmpty() ? dir.path() + "/laser" : linkPath)
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            while (process.canReadLine())
                lines << QString::fromUtf8(process.readLine()).trimmed();
        });
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, args + QStringList{"--link", link});
    }
    ~SimProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(3000);
        }
    }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    bool running() const { return process.state() != QProcess::NotRunning; }
    // Waits up to ms for the link to be made.
    bool ready(int ms = 5000)
    {
        for (QDeadlineTimer deadline(ms); !has("link: ") && running() && !deadline.hasExpired();)
            process.waitForReadyRead(int(deadline.remainingTime()));
        return has("link: ");
    }
    bool has(const QString &prefix) const { return !find(prefix).isEmpty(); }
    QString find(const QString &prefix) const
    {
        for (const QString &line : lines)
            if (line.startsWith(prefix))
                return line;
        return QString();
    }
    long number(const QString &prefix) const { return find(prefix).mid(prefix.size()).toLong(); }

    QTemporaryDir dir;
    const QString link;
    QProcess process;
    QStringList lines;
};
