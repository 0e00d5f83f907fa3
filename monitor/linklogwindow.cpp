#include "linklogwindow.h"

#include "linklog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace laser {

LinkLogWindow::LinkLogWindow(LinkLog &log, QWidget *parent)
    : MonitorView(kFlushMs, parent), log(log), lines(new QPlainTextEdit(this)), counters(new QLabel(this))
{
    setWindowTitle(QCoreApplication::translate("MainWindow", "Link log"));
    resize(820, 520);

    lines->setReadOnly(true);
    lines->setMaximumBlockCount(LinkLog::kLinesKept);
    lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    lines->setUndoRedoEnabled(false);
    lines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    counters->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(counters);
    layout->addWidget(lines, 1);
    layout->addWidget(recordingLine());

    // Following is the operator's choice, made by scrolling; the view's range
    // also changes with its first layout, a resize or a horizontal scroll bar,
    // and a view that follows stays at the end through those.
    QScrollBar *bar = lines->verticalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int max) {
        if (following)
            bar->setValue(max);
    });
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        if (!appending)
            following = value == bar->maximum();
    });

    flush();
}

QString LinkLogWindow::countersText() const
{
    const LinkCounters &c = log.counters();
    const qint64 age = log.hasFrame() ? QDateTime::currentMSecsSinceEpoch() - log.lastFrame() : -1;
    return QCoreApplication::translate("MainWindow",
               "Valid frames: %1    Bytes skipped: %2    Commands sent: %3    Link losses: %4    Last valid frame: %5")
        .arg(c.validFrames).arg(c.bytesSkipped).arg(c.commandsSent).arg(c.linkLosses)
        .arg(age < 0 ? formatAge(age) : QCoreApplication::translate("MainWindow", "%1 ago").arg(formatAge(age)));
}

void LinkLogWindow::flush()
{
    counters->setText(countersText());
    const std::deque<LinkLogEntry> entries = log.takePending();
    if (entries.empty())
        return;
    QStringList text;
    text.reserve(int(entries.size()));
    for (const LinkLogEntry &entry : entries)
        text.append(formatLine(entry));
    QScrollBar *bar = lines->verticalScrollBar();
    const int kept = bar->value();
    appending = true;
    lines->appendPlainText(text.join(QLatin1Char('\n')));
    appending = false;
    bar->setValue(following ? bar->maximum() : kept);
}

} // namespace laser
