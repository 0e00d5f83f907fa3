#pragma once

#include <QWidget>

class QLabel;
class QTimer;

namespace laser {

// What the trend and link-log windows share: a window of its own that does
// not keep the program alive, a line naming the recording, and a timer that
// runs refreshView() only while the window is shown.
class MonitorView : public QWidget
{
    Q_OBJECT

public:
    void setRecordingPath(const QString &path);  // empty: not recording

signals:
    // For the control window's message line.
    void message(const QString &text);

protected:
    MonitorView(int updateMs, QWidget *parent);
    // Brings the view up to date; on the timer and when shown.
    virtual void refreshView() = 0;
    QLabel *recordingLine() const { return recordingLabel; }

    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QLabel *recordingLabel;
    QTimer *ticker;
};

} // namespace laser
