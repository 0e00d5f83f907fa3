#pragma once

#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;

namespace laser {

// The reason failed() gives when the file left its folder; front ends that
// speak another language show their own words for it.
inline const QString kFileRemoved = QStringLiteral("the file was removed");

// laserpanel-20261207-140321.csv in `folder`.
QString defaultRecordingPath(const QString &folder, const QDateTime &now);

// Writes a recording one line at a time, each handed to the system as it
// comes, so a crash loses at most the line being written. A line is written
// whole or not at all. The first failed write, or the file vanishing from its
// folder, ends the recording and is reported once, with that write's own
// error, through failed(). The panel's recording and laserctl's output both
// go through it.
class Recorder : public QObject
{
    Q_OBJECT

public:
    explicit Recorder(QObject *parent = nullptr);
    ~Recorder() override;

    // Creates (or empties) the file and writes the lines; false with the
    // reason in `error` when that fails, and nothing is recording then. Only
    // a regular file is taken, and the open never blocks.
    bool start(const QString &path, const QStringList &firstLines, QString *error);
    // The same on an open descriptor (standard output), left open at the end.
    bool startOn(int fd, const QStringList &firstLines, QString *error);
    // Writes the last lines and closes the file.
    void stop(const QStringList &lastLines = QStringList());

    bool isRecording() const { return file.isOpen(); }
    QString path() const { return isRecording() ? target : QString(); }

    // False, and the recording ended, when the line could not be written.
    bool write(const QString &line);

signals:
    void failed(const QString &reason);

private:
    bool writeLine(const QString &line, QString *error);
    bool writeFirst(const QStringList &firstLines, QString *error);
    bool stillInFolder(QString *error) const;
    void fail(const QString &reason);

    QFile file;
    QString target;   // the file as named; an opened descriptor keeps no name
    QTimer *watch;
};

} // namespace laser
