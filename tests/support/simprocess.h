#pragma once

#include "childprocess.h"

#include <QTemporaryDir>

// laser-sim as a child process, linked in a temporary folder unless given a
// link path; its stderr goes to ours. Lines are found by how they start.
struct SimProcess : Child
{
    SimProcess(const QString &program, const QStringList &args, const QString &linkPath = QString())
        : link(linkPath.isEmpty() ? dir.path() + "/laser" : linkPath)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, args + QStringList{"--link", link});
    }
    // A stop signal, so that it takes its link away.
    ~SimProcess() { process.terminate(); process.waitForFinished(3000); }

    bool running() const { return process.state() != QProcess::NotRunning; }
    // Waits up to ms for the link to be made.
    bool ready(int ms = 5000) { return QTest::qWaitFor([this] { return has("link: ") || !running(); }, ms) && has("link: "); }
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
};
