#pragma once

#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;

namespace laser {

// laserpanel-20261207-140321.csv in `folder`.
QString defaultRecordingPath(const QString &folder, const QDateTime &now);

// Writes a recording one line at a time, each handed to the system as it
// comes, so a crash of the panel loses at most the line being written. The
// first failed write, or the file vanishing from its folder, ends the
// recording and is reported once through failed().
class Recorder : public QObject
{
    Q_OBJECT

public:
    explicit Recorder(QObject *parent = nullptr);
    ~Recorder() override;

    // Creates (or empties) the file and writes the lines; false with the
    // reason in `error` when that fails, and nothing is recording then.
    bool start(const QString &path, const QStringList &firstLines, QString *error);
    // Writes the last lines and closes the file.
    void stop(const QStringList &lastLines = QStringList());

    bool isRecording() const { return file.isOpen(); }
    QString path() const { return file.fileName(); }

    // False, and the recording ended, when the line could not be written.
    bool write(const QString &line);

signals:
    void failed(const QString &reason);

private:
    bool writeLine(const QString &line, QString *error);
    bool stillInFolder(QString *error) const;
    void fail(const QString &reason);

    QFile file;
    QTimer *watch;
};

} // namespace laser
