#include "monitor.h"

#include "csvrecord.h"
#include "linklogwindow.h"
#include "recorder.h"
#include "trendwindow.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMenu>
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
    qRegisterMetaType<WorkingPoint>();
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
        trendView->setSource(port);
        connect(trendView, &MonitorView::message, this, &Monitor::message);
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

void Monitor::onCommandSent(const QDateTime &when, const QByteArray &frame, const WorkingPoint &point)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    series.command(ms, point);
    log.command(ms, frame);
    writeRow([&] { return csv::commandRow(when, point); });
}

void Monitor::onLinkEvent(const QDateTime &when, LinkEvent event, const QString &detail)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    // The port a recording started now would name.
    if (event == LinkEvent::Open)
        port = detail;
    else if (event == LinkEvent::Close || event == LinkEvent::Lost)
        port.clear();
    if (trendView)
        trendView->setSource(port);
    series.event(ms, event, detail);
    log.event(ms, event, detail);
    writeRow([&] { return csv::eventRow(when, event, detail); });
}

void Monitor::onNote(const QDateTime &when, const QString &text)
{
    log.note(when.toMSecsSinceEpoch(), text);
}
