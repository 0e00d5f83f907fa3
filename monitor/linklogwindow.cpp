#include "linklogwindow.h"

#include "panelsettings.h"

#include "linklog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace laser {

namespace {
const QString kEventsOnlyKey = QStringLiteral("linkLog/eventsOnly");
} // namespace

LinkLogWindow::LinkLogWindow(LinkLog &log, QWidget *parent)
    : MonitorView(kFlushMs, parent), log(log), lines(new QPlainTextEdit(this)), counters(new QLabel(this)),
      eventsOnly(new QCheckBox(QCoreApplication::translate("MainWindow", "Events only"), this))
{
    setWindowTitle(QCoreApplication::translate("MainWindow", "Link log"));
    resize(820, 520);

    lines->setReadOnly(true);
    lines->setMaximumBlockCount(LinkLog::kLinesKept);
    lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    lines->setUndoRedoEnabled(false);
    lines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    counters->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Five RX lines a second bury the events; the operator may hide them.
    eventsOnly->setToolTip(QCoreApplication::translate("MainWindow", "Hide the RX and TX lines"));
    eventsOnly->setChecked(PanelSettings().value(kEventsOnlyKey, false).toBool());
    connect(eventsOnly, &QCheckBox::toggled, this, &LinkLogWindow::filterChanged);

    auto *top = new QHBoxLayout;
    top->addWidget(counters, 1);
    top->addWidget(eventsOnly);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
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
    std::deque<LinkLogEntry> entries = log.takePending();
    if (entries.empty())
        return;
    append(entries);
    for (LinkLogEntry &entry : entries)
        kept.push_back(std::move(entry));
    while (kept.size() > std::size_t(LinkLog::kLinesKept))
        kept.pop_front();
}

void LinkLogWindow::append(const std::deque<LinkLogEntry> &entries)
{
    QStringList text;
    for (const LinkLogEntry &entry : entries)
        if (!eventsOnly->isChecked() || isEvent(entry))
            text.append(formatLine(entry));
    if (text.isEmpty())
        return;
    QScrollBar *bar = lines->verticalScrollBar();
    const int at = bar->value();
    appending = true;
    lines->appendPlainText(text.join(QLatin1Char('\n')));
    appending = false;
    bar->setValue(following ? bar->maximum() : at);
}

void LinkLogWindow::filterChanged()
{
    PanelSettings().setValue(kEventsOnlyKey, eventsOnly->isChecked());
    lines->clear();
    following = true;
    append(kept);
}

} // namespace laser
