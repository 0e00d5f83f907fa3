#pragma once

#include <QProcess>
#include <QStringList>
#include <QtTest/qtestsystem.h>

#include <csignal>

// A program under test as a child process: its stdout lines as they come,
// stderr and the exit code once it ends.
struct Child
{
    Child(const QString &program, const QStringList &args) : Child() { process.start(program, args); }
    ~Child() { process.kill(); process.waitForFinished(3000); }
    Q_DISABLE_COPY(Child)

    // The exit code once it ends within timeoutMs, -1 if it does not, -2 if it crashed.
    int finish(int timeoutMs = 10000)
    {
        if (!QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, timeoutMs))
            return -1;
        lines.append(QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts));
        err += QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }
    bool waitForLine(const QString &part, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return !find(part).isNull(); }, timeoutMs);
    }
    QString find(const QString &part) const { return lines.filter(part).value(0); }
    QString all() const { return lines.join('\n') + '\n' + err; }
    void signal(int sig) { ::kill(pid_t(process.processId()), sig); }

    QProcess process;
    QStringList lines;
    QString err;

protected:
    // Started by the one who derives, once it has the arguments.
    Child()
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            while (process.canReadLine())
                lines << QString::fromUtf8(process.readLine()).chopped(1);
        });
    }
};
