#pragma once

#include "reading.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>

#include <vector>

class Monitor;
class QAction;
class QLineEdit;
namespace laser {
struct Limits;
class PanelServer;
struct Refusal;
class PortSession;
class PortWatcher;
struct PortFailure;
struct WorkingPoint;
}
class QScrollBar;
class QSerialPort;
class QTimer;
class serialThread;

namespace Ui {
class MainWindow;
}
using MainWindowForm = Ui::MainWindow;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    void onTimerOut();
    void receiveData(QByteArray qa);
    void on_portnun_edit_selectionChanged();
    void on_portnun_edit_textChanged(const QString &arg1);
    void on_portopen_button_clicked();
    void on_stop_button_clicked();
    void on_start_button_clicked();
    void on_edit_current_in_textChanged(const QString &arg1);
    void on_scroll_current_valueChanged(int value);
    void on_edit_pw_in_textChanged(const QString &arg1);
    void on_scroll_pw_valueChanged(int value);
    void on_edit_ifreq_in_textChanged(const QString &arg1);
    void on_scroll_ifreq_valueChanged(int value);
    void on_button_current_in_clicked();
    void on_button_close_clicked();
    void on_button_touchOff_clicked();
    void on_comboBox_button_touchOff_currentIndexChanged(int index);

private:
    // What the constructor connects: the link, the monitor's windows, the
    // setpoint fields' edits.
    void wireSession();
    void wireMonitor();
    void wireSetpointFields();
    // Every value of a setpoint field shows whole in it.
    void fitSetpointFields();
    // The translated title with what lasts: waiting, recording, scripts allowed (windowtitle.cpp).
    void updateTitle();

    // Command frame and status decoding (windowlink.cpp).
    int writeCommandFrame(int current, int temperature, int unused1, int unused2,
                          int pulseWidth, int frequency);
    void decodeStatus(const QByteArray &payload);
    void unpackPayload(const QByteArray &payload, std::vector<int> &target) const;
    double currentFromCode(int code) const;
    int temperatureFromCode(int code) const;
    void computeCalibration();

    // The window after the port closed or was lost: timer stopped, readouts
    // empty, buttons as after Close.
    void endConnection();
    // Open usable while no port is open, the port's own buttons while one is.
    void setConnected(bool connected);
    // Frees the worker and timer of the previous Open.
    void releaseConnection();
    // Open's work up to a working connection: port, worker, timer, buttons.
    bool connectPort(laser::PortFailure &failure);
    // Open's outcome on screen; the setpoints get the port's last working point.
    void showOpened();
    void reportWrite(int result);
    void failOpen(const laser::PortFailure &failure);
    void onLinkEvent(laser::LinkEvent event, const QString &detail);

    // The port field and the wait after a loss (windowport.cpp).
    void wirePortField();
    void rememberPort();
    // What went wrong, in the interface's language.
    QString failureText(const laser::PortFailure &failure) const;
    // After a loss: wait for the device; Close stays usable to stop it.
    void waitForPort();
    void stopWaiting();
    void portBack(const QString &port);
    // Moves a scroll bar to a typed setpoint without rewriting the text.
    void followText(QScrollBar *scroll, int position);
    // A setpoint's field and scroll bar; stepsPerUnit 0 reads whole kHz.
    struct SetpointField {
        QLineEdit *edit;
        QScrollBar *scroll;
        double stepsPerUnit;
    };
    // The field's text changed, or (text null) its scroll bar moved to position:
    // the member and the other of the two follow. Only the operator's typing
    // keeps a text that is not canonical.
    template <typename Member>
    void moveSetpoint(const SetpointField &field, Member &member, const QString *text, int position);

    // The status area's truth: nothing before data, greyed when stale.
    void showNoData();
    void setReadoutsLive(bool live, const QString &toolTip);
    // Stop froze the readouts: they say so, apart from stale.
    void showPaused();
    bool displayPaused() const;
    // A red readout for each fault the laser reports.
    void showAlarms();
    void reportAlarm(laser::LinkEvent event, const QString &condition);
    // An alarm's name in the interface's language.
    QString alarmText(int condition) const;
    // At Open: the port's last working point back into the setpoints, unsent.
    void restoreWorkingPoint();
    void showWorkingPoint(const laser::WorkingPoint &point);
    // The operator may pick another port next; offer what is plugged in now.
    void refreshPortList();

    // The lab's limits: the scroll bars' ranges and tooltips (windowlimits.cpp).
    void applyLimits(const laser::Limits &limits);
    // Says why the limits refuse this command, if they do.
    bool refusedByLimits(int current, int pulseWidth);
    // A refusal in the interface's language.
    QString refusalText(const laser::Refusal &why) const;

    // Scripts of the operator's own on the panel's local socket (windowapi.cpp).
    void serveScripts();
    // At the first Open: the server is made, and it serves.
    void startScriptServer();
    QString applyScriptCommand(const laser::WorkingPoint &point, qint64 pid);

    MainWindowForm *ui;
    QSerialPort *serialPort;
    QString portName;
    serialThread *serialWorker;
    QTimer *refreshTimer;
    int timerStopped;
    std::vector<int> statusBytes;
    int statusFlags;
    int triggerReadback;
    int temperatureReadback;
    double currentReadback;
    int ifreqSetting;
    int temperatureSetting;
    double pwSetting;
    double currentSetting;
    bool triggerMode;
    std::vector<double> calibSlope;
    std::vector<double> calibIntercept;
    std::vector<int> calibX;
    std::vector<int> calibY;

    // The link itself: port, reception, stale rule, events, drain.
    laser::PortSession *session = nullptr;
    QElapsedTimer clock;
    qint64 clockOffsetMs = 0;   // lets the tests move time on
    bool shownStale = false;    // as the status area last showed it
    QString readoutTip;         // what the readouts say of their data, alarms aside
    bool textLeads = false;     // a scroll bar follows typed text
    QLineEdit *editedField = nullptr;   // whose text the operator's own edit is changing
    Monitor *monitor = nullptr;
    uint workerStackSize = 0;   // the platform's default; tests make it impossible
    laser::PortWatcher *portWatcher = nullptr;
    QElapsedTimer sinceLoss;
    laser::PanelServer *panelServer = nullptr;   // none before the first Open
    QAction *allowScripts = nullptr;

    friend struct MainWindowProbe;
};
