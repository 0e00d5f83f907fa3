// The monitor's recording: the file chosen, its header and rows, and what the
// message line says of it.
#include "monitor.h"

#include "csvrecord.h"
#include "linklogwindow.h"
#include "monitorview.h"
#include "recorder.h"
#include "trendwindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace laser;

QString Monitor::suggestedPath()
{
    // The dialog shows the current folder for one that does not exist.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return defaultRecordingPath(folder, QDateTime::currentDateTime());
}

void Monitor::toggleRecording()
{
    if (isRecording()) {
        stopRecording();
        return;
    }
    const QString path = choosePath ? choosePath(suggestedPath()) : QString();
    if (!path.isEmpty())
        startRecording(path);
}

bool Monitor::isRecording() const
{
    return recorder->isRecording();
}

QString Monitor::recordingPath() const
{
    return isRecording() ? recorder->path() : QString();
}

bool Monitor::startRecording(const QString &path)
{
    if (isRecording())
        stopRecording();
    const QDateTime now = QDateTime::currentDateTime();
    QStringList first = csv::header(
        QStringLiteral("laserpanel %1").arg(QStringLiteral(LASERPANEL_VERSION)), variant,
        port.isEmpty() ? QStringLiteral("none") : port, now);
    first.append(csv::eventRow(now, LinkEvent::RecordingStarted, path));
    QString error;
    if (!recorder->start(path, first, &error)) {
        emit message(QCoreApplication::translate("MainWindow", "记录无法开始：%1：%2")
                         .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    log.event(now.toMSecsSinceEpoch(), LinkEvent::RecordingStarted, path);
    recordingChanged();
    emit message(QCoreApplication::translate("MainWindow", "记录已开始：%1").arg(QDir::toNativeSeparators(path)));
    return true;
}

void Monitor::stopRecording()
{
    if (!isRecording())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    recorder->stop({csv::eventRow(now, LinkEvent::RecordingStopped)});
    // A failed last row has already been reported.
    if (isRecording())
        return;
    log.event(now.toMSecsSinceEpoch(), LinkEvent::RecordingStopped, QString());
    recordingChanged();
    emit message(QCoreApplication::translate("MainWindow", "记录已停止"));
}

void Monitor::recordingFailed(const QString &reason)
{
    log.event(QDateTime::currentMSecsSinceEpoch(), LinkEvent::RecordingStopped, reason);
    recordingChanged();
    const QString shown = reason == kFileRemoved ? QCoreApplication::translate("MainWindow", "文件已被删除") : reason;
    emit message(QCoreApplication::translate("MainWindow", "记录写入失败：%1，记录已停止").arg(shown));
}

void Monitor::recordingChanged()
{
    recordAct->setText(isRecording() ? QCoreApplication::translate("MainWindow", "Stop recording")
                                     : QCoreApplication::translate("MainWindow", "Start recording…"));
    const QString path = recordingPath();
    if (trendView)
        trendView->setRecordingPath(path);
    if (logView)
        logView->setRecordingPath(path);
    emit recordingSwitched(isRecording());
}

void Monitor::writeRow(const std::function<QString()> &row)
{
    // Rows are formatted only for a recording: at line rate the local-time
    // text alone is a real share of the panel's work.
    if (isRecording())
        recorder->write(row());
}
