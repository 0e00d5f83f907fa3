#include "monitorview.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QTimer>

namespace laser {

MonitorView::MonitorView(int updateMs, QWidget *parent)
    : QWidget(parent, Qt::Window), recordingLabel(new QLabel(this)), ticker(new QTimer(this))
{
    setAttribute(Qt::WA_QuitOnClose, false);
    setRecordingPath(QString());
    ticker->setInterval(updateMs);
    connect(ticker, &QTimer::timeout, this, [this] { refreshView(); });
}

void MonitorView::setRecordingPath(const QString &path)
{
    recordingLabel->setText(path.isEmpty()
        ? QCoreApplication::translate("MainWindow", "Not recording")
        : QCoreApplication::translate("MainWindow", "Recording to %1").arg(QDir::toNativeSeparators(path)));
}

void MonitorView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refreshView();
    ticker->start();
}

void MonitorView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    ticker->stop();
}

} // namespace laser
