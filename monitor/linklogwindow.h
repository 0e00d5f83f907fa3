#pragma once

#include "monitorview.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace laser {

class LinkLog;

// The raw link: a timestamped line per frame received, command sent, run of
// skipped bytes and link event, the last LinkLog::kLinesKept of them, with the
// counters and the age of the last valid frame. Lines are taken in batches on
// a timer, so line rate costs one append per tick rather than one per frame.
class LinkLogWindow : public MonitorView
{
    Q_OBJECT

public:
    static constexpr int kFlushMs = 150;

    explicit LinkLogWindow(LinkLog &log, QWidget *parent = nullptr);

    // Shows the lines that came since the last call and updates the counters.
    void flush();

    QPlainTextEdit *view() const { return lines; }
    QString countersText() const;

protected:
    void refreshView() override { flush(); }

private:
    LinkLog &log;
    QPlainTextEdit *lines;
    QLabel *counters;
    // The view stays on the newest line until the operator scrolls away.
    bool following = true;
    bool appending = false;
};

} // namespace laser
