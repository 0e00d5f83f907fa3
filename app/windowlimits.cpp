// The window's side of the limits a lab sets: the scroll bars stop at them,
// and Send refuses what they do not allow.
#include "mainwindow.h"

#include "lablimits.h"
#include "mainwindowform.h"
#include "monitor.h"
#include "portsession.h"
#include "variant.h"
#include "words.h"

#include <QDebug>

void MainWindow::applyLimits(const laser::Limits &l)
{
    const auto from = [](const laser::Limit &limit) { return limit.from.isEmpty() ? tr("固件范围") : limit.from; };
    const auto amps = [](int steps) { return laser::words::twoDecimals(steps / setpoint::kCurrentStepsPerAmp); };
    const auto ns = [](int steps) { return laser::words::twoDecimals(steps / setpoint::kPulseStepsPerNs); };
    // Setting a range moves a value outside it in, and its field follows.
    ui->scroll_current->setMaximum(l.currentMax.steps);
    ui->scroll_pw->setRange(l.pulseMin.steps, l.pulseMax.steps);
    ui->scroll_ifreq->setRange(l.freqMin.steps, l.freqMax.steps);
    ui->scroll_current->setToolTip(tr("最大泵浦电流 %1 A（%2）\n一次命令最多升高 %3 A（%4）")
                                       .arg(amps(l.currentMax.steps), from(l.currentMax), amps(l.riseMax.steps),
                                            from(l.riseMax)));
    ui->scroll_pw->setToolTip(tr("最小脉宽 %1 ns（%2）\n最大脉宽 %3 ns（%4）")
                                  .arg(ns(l.pulseMin.steps), from(l.pulseMin), ns(l.pulseMax.steps), from(l.pulseMax)));
    ui->scroll_ifreq->setToolTip(tr("最小频率 %1 kHz（%2）\n最大频率 %3 kHz（%4）")
                                     .arg(l.freqMin.steps * variant::kFreqStepKHz)
                                     .arg(from(l.freqMin))
                                     .arg(l.freqMax.steps * variant::kFreqStepKHz)
                                     .arg(from(l.freqMax)));
    if (l.damaged.isEmpty())
        return;
    qWarning().noquote() << "limits file not read:" << l.damaged;
    ui->edit_message->setText(tr("限值文件无法读取，泵浦电流不能升高：%1").arg(l.damaged));
    monitor->onNote(QDateTime::currentDateTimeUtc(),
                    QStringLiteral("limits file not read (%1); the pump current may not rise").arg(l.damaged));
}

bool MainWindow::refusedByLimits(int current, int pulseWidth)
{
    if (!session->isOpen())
        return false;
    const laser::Refusal why = session->refusal(
        {triggerMode, current, temperatureSetting, pulseWidth, ifreqSetting, variant::kFreqStepKHz});
    if (why.isEmpty())
        return false;
    ui->edit_message->setText(tr("超出限值，未发送：%1").arg(refusalText(why)));
    monitor->onNote(QDateTime::currentDateTimeUtc(), QStringLiteral("command refused: %1").arg(why.text));
    return true;
}

QString MainWindow::refusalText(const laser::Refusal &why) const
{
    QString text;
    switch (why.kind) {
    case laser::Refusal::None: return QString();
    case laser::Refusal::Unreadable: text = tr("泵浦电流 %1 A 将自 %2 A 升高，但限值文件无法读取（%3）"); break;
    case laser::Refusal::CurrentMax: text = tr("泵浦电流 %1 A 超出上限 %2 A（%3）"); break;
    case laser::Refusal::Pulse: text = tr("脉宽 %1 ns 超出范围 %2–%3 ns（%4）"); break;
    case laser::Refusal::Freq: text = tr("频率 %1 kHz 超出范围 %2–%3 kHz（%4）"); break;
    case laser::Refusal::Rise: text = tr("泵浦电流 %1 A 自 %2 A 升高，超过一次命令允许的 %3 A（%4）"); break;
    }
    for (const QString &a : why.args)
        text = text.arg(a);
    return text;
}
