#pragma once

#include "mainwindow.h"
#include "mainwindowform.h"
#include "linklog.h"
#include "monitor.h"
#include "ptypair.h"
#include "serialthread.h"
#include "statusframe.h"
#include "variant.h"
#include "testhome.h"

#include <QFile>

#include <QSerialPort>
#include <QTimer>

// The tests' window into MainWindow's private state.
struct MainWindowProbe
{
    explicit MainWindowProbe(MainWindow &w) : w(w) {}
    MainWindow &w;

    MainWindowForm &ui() const { return *w.ui; }
    double currentSetting() const { return w.currentSetting; }
    double pwSetting() const { return w.pwSetting; }
    int ifreqSetting() const { return w.ifreqSetting; }
    double currentReadback() const { return w.currentReadback; }
    QSerialPort *serialPort() const { return w.serialPort; }
    QTimer *refreshTimer() const { return w.refreshTimer; }
    serialThread *serialWorker() const { return w.serialWorker; }
    void receive(const QByteArray &payload) { w.receiveData(payload); }
    // Enabled states of Open Close Start Stop Send ChangeMode, e.g. "010111".
    QString buttons() const
    {
        QString s;
        for (QPushButton *b : {w.ui->portopen_button, w.ui->button_close, w.ui->start_button,
                               w.ui->stop_button, w.ui->button_current_in, w.ui->button_touchOff})
            s += b->isEnabled() ? '1' : '0';
        return s;
    }
    void tick() { w.onTimerOut(); }
    void setWorkerStackSize(uint bytes) { w.workerStackSize = bytes; }
    Monitor *monitor() const { return w.monitor; }
    // The link log's events not yet taken, without their times: "lost  /dev/…".
    QStringList loggedEvents() const
    {
        QStringList events;
        for (const laser::LinkLogEntry &e : const_cast<laser::LinkLog &>(w.monitor->linkLog()).takePending())
            if (e.kind == laser::LinkLogEntry::Event)
                events << laser::formatLine(e).section(QStringLiteral("  ----  "), 1);
        return events;
    }
    // Moves the window's clock on, as if that much time had passed.
    void advance(qint64 ms) { w.clockOffsetMs += ms; }
    // Types a port name and clicks Open, with no working point remembered:
    // pseudo-terminal names come round again.
    void open(const QString &port)
    {
        forgetWorkingPoints();
        w.ui->portnun_edit->setText(port);
        w.ui->portopen_button->click();
    }
    // The five readouts: all enabled, all disabled, or mixed.
    QString readoutsEnabled() const
    {
        int on = 0;
        for (QWidget *r : readouts())
            on += r->isEnabled();
        return on == 5 ? "enabled" : on == 0 ? "disabled" : "mixed";
    }
    QList<QWidget *> readouts() const
    {
        return {w.ui->edit_current_a, w.ui->edit_temp_a, w.ui->comboBox_button_touchOff_read,
                w.ui->comboBox_button_status, w.ui->comboBox_button};
    }
    // The status area: current, temperature, trigger, supply, TEC.
    QStringList status() const
    {
        return {w.ui->edit_current_a->text(), w.ui->edit_temp_a->text(), w.ui->comboBox_button_touchOff_read->currentText(),
                w.ui->comboBox_button_status->currentText(), w.ui->comboBox_button->currentText()};
    }
};

// A command frame as the window sends it, from the steps of each setpoint.
inline QByteArray commandFrame(int external, int current, int pulse, int freq)
{
    return QByteArray::fromHex(QString::asprintf("a55a%02x%02x220000%02x%02x0000fafb", external, current, pulse, freq).toLatin1());
}

// The window logs every command and pulse-width change: tests that make many
// keep the other messages only.
inline void dropDebugMessages()
{
    static const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &c, const QString &m) {
        if (type != QtDebugMsg)
            previous(type, c, m);
    });
}

// A window whose port is open on a fresh pseudo-terminal; the test plays the
// laser on pty.
struct OpenWindow
{
    OpenWindow() { p.open(pty.slaveName()); }
    Pty pty;
    MainWindow w;
    MainWindowProbe p{w};
};
