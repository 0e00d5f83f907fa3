#include "monitor.h"

#include "csvrecord.h"
#include "linklogwindow.h"
#include "recorder.h"
#include "trendwindow.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QStandardPaths>
#include <QWidget>

using namespace laser;

Monitor::Monitor(QWidget *window, QWidget *statusGroup, const QString &variant)
    : QObject(window), window(window), group(statusGroup), variant(variant),
      recorder(new Recorder(this)),
      trendAct(new QAction(QCoreApplication::translate("MainWindow", "Trend…"), this)),
      recordAct(new QAction(this)),
      logAct(new QAction(QCoreApplication::translate("MainWindow", "Link log…"), this)),
      menu(new QMenu(window))
{
    qRegisterMetaType<Reading>();
    qRegisterMetaType<Setpoints>();
    qRegisterMetaType<LinkEvent>();

    trendAct->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_T));
    recordAct->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_R));
    logAct->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_L));
    for (QAction *action : {trendAct, recordAct, logAct}) {
        action->setShortcutContext(Qt::WindowShortcut);
        action->setShortcutVisibleInContextMenu(true);
        window->addAction(action);
        menu->addAction(action);
    }
    connect(trendAct, &QAction::triggered, this, &Monitor::showTrend);
    connect(recordAct, &QAction::triggered, this, &Monitor::toggleRecording);
    connect(logAct, &QAction::triggered, this, &Monitor::showLinkLog);
    connect(recorder, &Recorder::failed, this, &Monitor::recordingFailed);
    recordingChanged();

    if (statusGroup) {
        statusGroup->setToolTip(QCoreApplication::translate("MainWindow",
            "Right-click here for Trend… (Ctrl+T), Start/Stop recording (Ctrl+R) and Link log… (Ctrl+L)"));
        watch(statusGroup);
    }

    choosePath = [this](const QString &suggested) {
        return QFileDialog::getSaveFileName(this->window, QCoreApplication::translate("MainWindow", "Start recording"),
                                            suggested, QCoreApplication::translate("MainWindow", "CSV files (*.csv)"),
                                            nullptr, QFileDialog::DontUseNativeDialog);
    };
}

Monitor::~Monitor()
{
    // The window is closing: end the file with its stop row.
    if (isRecording())
        recorder->stop({csv::eventRow(QDateTime::currentDateTime(), LinkEvent::RecordingStopped)});
    // They draw from this object's data, and the window would delete them after it.
    delete trendView;
    delete logView;
}

QString Monitor::suggestedPath()
{
    return defaultRecordingPath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                                QDateTime::currentDateTime());
}

void Monitor::watch(QObject *object)
{
    // The group's line edits and combo boxes have context menus of their own;
    // the filter has to see the event before they do.
    object->installEventFilter(this);
    for (QObject *child : object->children())
        if (child->isWidgetType())
            watch(child);
}

bool Monitor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ContextMenu) {
        menu->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }
    if (event->type() == QEvent::ChildAdded) {
        QObject *child = static_cast<QChildEvent *>(event)->child();
        if (child->isWidgetType())
            watch(child);
    }
    return QObject::eventFilter(watched, event);
}

void Monitor::raise(QWidget *view)
{
    view->show();
    view->raise();
    view->activateWindow();
}

void Monitor::showTrend()
{
    if (!trendView) {
        trendView = new TrendWindow(series, window);
        trendView->addActions({trendAct, recordAct, logAct});
        trendView->setRecordingPath(recordingPath());
        connect(trendView, &TrendWindow::message, this, &Monitor::message);
    }
    raise(trendView);
}

void Monitor::showLinkLog()
{
    if (!logView) {
        logView = new LinkLogWindow(log, window);
        logView->addActions({trendAct, recordAct, logAct});
        logView->setRecordingPath(recordingPath());
    }
    raise(logView);
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
    emit message(QCoreApplication::translate("MainWindow", "记录写入失败：%1，记录已停止").arg(reason));
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
}

void Monitor::writeRow(const std::function<QString()> &row)
{
    // Rows are formatted only for a recording: at line rate the local-time
    // text alone is a real share of the panel's work.
    if (isRecording())
        recorder->write(row());
}

laser::TrendWindow *Monitor::trendWindow() const
{
    return trendView;
}

laser::LinkLogWindow *Monitor::linkLogWindow() const
{
    return logView;
}

void Monitor::onStatusDecoded(const QDateTime &when, const Reading &reading)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    series.status(ms, reading);
    log.status(ms, reading);
    writeRow([&] { return csv::statusRow(when, reading); });
}

void Monitor::onFrameReceived(const QDateTime &when, const QByteArray &payload)
{
    log.frame(when.toMSecsSinceEpoch(), payload);
}

void Monitor::onBytesSkipped(const QDateTime &when, const QByteArray &bytes)
{
    log.skipped(when.toMSecsSinceEpoch(), bytes);
}

void Monitor::onCommandSent(const QDateTime &when, const QByteArray &frame, const Setpoints &setpoints)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    series.command(ms, setpoints);
    log.command(ms, frame);
    writeRow([&] { return csv::commandRow(when, setpoints); });
}

void Monitor::onLinkEvent(const QDateTime &when, LinkEvent event, const QString &detail)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    // The port a recording started now would name.
    if (event == LinkEvent::Open)
        port = detail;
    else if (event == LinkEvent::Close || event == LinkEvent::Lost)
        port.clear();
    series.event(ms, event);
    log.event(ms, event, detail);
    writeRow([&] { return csv::eventRow(when, event, detail); });
}

void Monitor::onNote(const QDateTime &when, const QString &text)
{
    log.note(when.toMSecsSinceEpoch(), text);
}
