#include "recorder.h"

#include "recordfile.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace laser {

QString defaultRecordingPath(const QString &folder, const QDateTime &now)
{
    return QDir(folder).filePath(
        now.toString(QStringLiteral("'laserpanel-'yyyyMMdd-HHmmss'.csv'")));
}

Recorder::Recorder(QObject *parent) : QObject(parent), watch(new QTimer(this))
{
    // Checked on a timer, not per line: at line rate a check per line would
    // cost more than the line, and lines are rare while the link is closed.
    watch->setInterval(1000);
    connect(watch, &QTimer::timeout, this, [this] {
        QString error;
        if (isRecording() && !stillInFolder(&error))
            fail(error);
    });
}

Recorder::~Recorder() = default;

bool Recorder::start(const QString &path, const QStringList &firstLines, QString *error)
{
    if (isRecording())
        stop();
    file.setFileName(path);
    target = path;
    if (!platform::openRecordingFile(file, error))
        return false;
    if (!writeFirst(firstLines, error))
        return false;
    watch->start();
    return true;
}

bool Recorder::startOn(int fd, const QStringList &firstLines, QString *error)
{
    if (isRecording())
        stop();
    file.setFileName(QString());
    target.clear();
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return writeFirst(firstLines, error);
}

bool Recorder::writeFirst(const QStringList &firstLines, QString *error)
{
    for (const QString &line : firstLines) {
        if (!writeLine(line, error)) {
            file.close();
            return false;
        }
    }
    return true;
}

void Recorder::stop(const QStringList &lastLines)
{
    if (!isRecording())
        return;
    QString error;
    for (const QString &line : lastLines) {
        if (!writeLine(line, &error)) {
            fail(error);
            return;
        }
    }
    watch->stop();
    file.close();
}

bool Recorder::write(const QString &line)
{
    if (!isRecording())
        return false;
    QString error;
    if (writeLine(line, &error))
        return true;
    fail(error);
    return false;
}

bool Recorder::writeLine(const QString &line, QString *error)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    const qint64 before = file.pos();
    // A short write is how a filling disk first shows; the next one says why.
    qint64 done = 0, n = 0;
    while (done < bytes.size() && (n = file.write(bytes.constData() + done, bytes.size() - done)) > 0)
        done += n;
    if (done == bytes.size())
        return true;
    if (error)
        *error = file.errorString();
    // Leave whole rows only, so the file still reads as CSV.
    if (done > 0)
        file.resize(before);
    return false;
}

bool Recorder::stillInFolder(QString *error) const
{
    // A file removed with its folder still takes writes on Unix, into nowhere.
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::fstat(file.handle(), &st) == 0 && st.st_nlink > 0)
        return true;
#else
    if (QFileInfo::exists(target))
        return true;
#endif
    if (error)
        *error = kFileRemoved;
    return false;
}

void Recorder::fail(const QString &reason)
{
    watch->stop();
    file.close();
    emit failed(reason);
}

} // namespace laser
