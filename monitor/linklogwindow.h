#pragma once

#include "linklog.h"
#include "monitorview.h"

#include <QWidget>

#include <deque>

class QCheckBox;
class QLabel;
class QPlainTextEdit;

namespace laser {

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
    // Events only (isEvent), or every line; the choice is remembered for
    // the next window.
    QCheckBox *eventsOnlyBox() const { return eventsOnly; }

protected:
    void refreshView() override { flush(); }

private:
    // Adds the lines of `entries` that the filter shows.
    void append(const std::deque<LinkLogEntry> &entries);
    void filterChanged();

    LinkLog &log;
    QPlainTextEdit *lines;
    QLabel *counters;
    QCheckBox *eventsOnly;
    // The newest lines, whatever the filter: a change of filter shows them again.
    std::deque<LinkLogEntry> kept;
    // The view stays on the newest line until the operator scrolls away.
    bool following = true;
    bool appending = false;
};

} // namespace laser
