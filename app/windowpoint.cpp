// The window's side of the working-point memory.
#include "mainwindow.h"

#include "csvrecord.h"
#include "mainwindowform.h"
#include "monitor.h"
#include "portsession.h"

#include <QDebug>

void MainWindow::restoreWorkingPoint()
{
    laser::WorkingPoint p;
    QDateTime sent;
    QString error;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    switch (session->remembered(p, &sent, &error)) {
    case laser::WorkingPointStore::Loaded::None:
        return;   // nothing sent on this port yet: the setpoints stay as they are
    case laser::WorkingPointStore::Loaded::Unusable:
        qWarning().noquote() << "working point not restored:" << error;
        monitor->onLinkEvent(now, laser::LinkEvent::WorkingPoint,
                             QStringLiteral("not restored (%1); the setpoints stay as they are").arg(error));
        return;
    case laser::WorkingPointStore::Loaded::Found:
        break;
    }
    // Nothing is sent until the operator does; the scroll bars stop at the limits.
    showWorkingPoint(p);
    const laser::WorkingPoint inside = session->limits().cut(p);
    const QString when = sent.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    for (QWidget *w : std::initializer_list<QWidget *>{ui->edit_current_in, ui->edit_pw_in, ui->edit_ifreq_in,
                                                      ui->comboBox_button_touchOff})
        w->setToolTip(tr("上次发送：%1").arg(when));
    monitor->onLinkEvent(now, laser::LinkEvent::WorkingPoint,
                         QStringLiteral("restored, last sent %1").arg(laser::csv::isoTime(sent)));
    if (inside.currentSteps == p.currentSteps && inside.pulseSteps == p.pulseSteps && inside.freqSteps == p.freqSteps)
        return;
    ui->edit_message->setText(tr("上次的工作点超出限值，已限制在限值以内"));
    monitor->onNote(now, QStringLiteral("the working point restored was beyond the limits and is cut to them"));
}

void MainWindow::showWorkingPoint(const laser::WorkingPoint &p)
{
    // As if the operator had moved the scroll bars, and each field then shows
    // the canonical text of its value, even where the value is unchanged.
    ui->scroll_current->setValue(p.currentSteps);
    on_scroll_current_valueChanged(p.currentSteps);
    ui->scroll_pw->setValue(p.pulseSteps);
    on_scroll_pw_valueChanged(p.pulseSteps);
    ui->scroll_ifreq->setValue(p.freqSteps);
    on_scroll_ifreq_valueChanged(p.freqSteps);
    ui->comboBox_button_touchOff->setCurrentIndex(p.externalTrigger ? 1 : 0);
}
