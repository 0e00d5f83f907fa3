#pragma once

#include "linklog.h"
#include "reading.h"
#include "trenddata.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace laser {
class LinkLogWindow;
class Recorder;
class TrendWindow;
} // namespace laser

// The panel's monitor: the trend window, the CSV recording and the link log,
// fed by the control window's signals. It adds nothing to the window's form:
// a context menu on the status group, the same actions as window shortcuts
// (Ctrl+T, Ctrl+R, Ctrl+L) and a tooltip on the group that names them.
class Monitor : public QObject
{
    Q_OBJECT

public:
    // `window` parents the monitor and its windows; `statusGroup` gets the
    // context menu and tooltip; `variant` goes into the recording's header.
    Monitor(QWidget *window, QWidget *statusGroup, const QString &variant);
    ~Monitor() override;

    // Asks where to record, given the suggested path; empty means cancelled.
    // A non-native file dialog unless replaced (tests pass a function).
    using PathChooser = std::function<QString(const QString &suggested)>;
    void setPathChooser(PathChooser chooser) { choosePath = std::move(chooser); }
    // laserpanel-YYYYMMDD-HHMMSS.csv in the documents folder, or in the home
    // folder while there is none.
    static QString suggestedPath();

    bool startRecording(const QString &path);
    void stopRecording();
    bool isRecording() const;
    QString recordingPath() const;

    QAction *trendAction() const { return trendAct; }
    QAction *recordAction() const { return recordAct; }
    QAction *linkLogAction() const { return logAct; }
    QMenu *contextMenu() const { return menu; }
    // Null until first opened, and while its library cannot be loaded.
    laser::TrendWindow *trendWindow() const;
    laser::LinkLogWindow *linkLogWindow() const;
    const laser::TrendData &trendData() const { return series; }
    const laser::LinkLog &linkLog() const { return log; }

public slots:
    void onStatusDecoded(const QDateTime &when, const laser::Reading &reading);
    void onBytesSkipped(const QDateTime &when, const QByteArray &bytes);
    void onCommandSent(const QDateTime &when, const QByteArray &frame, const laser::WorkingPoint &point);
    void onLinkEvent(const QDateTime &when, laser::LinkEvent event, const QString &detail);
    // Optional: a valid frame's payload, so the link log shows its bytes
    // rather than its decoded values.
    void onFrameReceived(const QDateTime &when, const QByteArray &payload);
    // A line for the link log alone, such as what a script asked of the panel.
    void onNote(const QDateTime &when, const QString &text);

    void showTrend();
    void showLinkLog();
    // "Start recording…" (asks for the file) or "Stop recording".
    void toggleRecording();

signals:
    // For the control window's message line.
    void message(const QString &text);
    // A recording started or ended.
    void recordingSwitched(bool recording);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watch(QObject *object);
    void recordingChanged();
    void recordingFailed(const QString &reason);
    void writeRow(const std::function<QString()> &row);
    void raise(QWidget *view);

    QWidget *window;
    QPointer<QWidget> group;
    QString variant;
    QString port;
    laser::TrendData series;
    laser::LinkLog log;
    laser::Recorder *recorder;
    QAction *trendAct;
    QAction *recordAct;
    QAction *logAct;
    QMenu *menu;
    QPointer<laser::TrendWindow> trendView;
    QPointer<laser::LinkLogWindow> logView;
    PathChooser choosePath;
};
