// Status payloads into the status area: what it claims when, paused, alarms;
// and the real window against the simulated laser.
#include "probe.h"
#include "simprocess.h"
#include "variant.h"

#include <QSignalSpy>
#include <QtTest>

// Every widget's place in the window, once the layout has settled.
static QVector<QRect> geometries(QWidget &w)
{
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QVector<QRect> all;
    for (QWidget *child : w.findChildren<QWidget *>())
        all << child->geometry();
    return all;
}

class StatusTest : public QObject
{
    Q_OBJECT

private slots:
    // What the status area claims, step by step: nothing before data, greyed
    // when stale, cleared when the connection ends; Stop pauses live data but
    // leaves stale data greyed, and a change meanwhile shows at the first tick
    // after Start.
    void truth_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("readouts");   // enabled, disabled or paused
        QTest::addColumn<QString>("message");
        const QStringList none{"", "", "", "", ""};
        const QStringList a{"2.04", "10", "内触发", "正常", "未锁定"};
        const QStringList b{"8.00", "40", "外触发", "异常", "锁定"};
        auto row = [](const char *name, const QString &steps, const QStringList &shown, const char *readouts, const char *message) {
            QTest::newRow(name) << steps.split(' ') << shown << QString(readouts) << QString::fromUtf8(message);
        };
        row("start-up", "tick", none, "enabled", "Message");
        row("frame before any open", "a tick", none, "enabled", "Message");
        row("open, silent", "open tick", none, "enabled", "串口打开成功");
        row("open, silent past the limit", "open +2100 tick", none, "disabled", "未收到激光器状态");
        row("stale message once", "open +2100 tick mark +1000 tick", none, "disabled", "-");
        row("frames make it live", "open a tick", a, "enabled", "串口打开成功");
        row("silence makes it stale", "open a tick +2100 tick", a, "disabled", "未收到激光器状态");
        row("frames again recover", "open a tick +2100 tick b tick", b, "enabled", "激光器状态已恢复");
        row("recovery from silence since open", "open +2100 tick a tick", a, "enabled", "激光器状态已恢复");
        row("close while stale clears", "open a tick +2100 tick close tick", none, "enabled", "串口关闭成功");
        row("hang-up clears", "open a tick hangup", none, "enabled", "串口连接已断开：设备已移除");
        row("reopen, stale counts from open", "open a tick close +5000 open +1000 tick", none, "enabled", "串口打开成功");
        row("reopen, new frame", "open a tick close open b tick", b, "enabled", "报警：泵浦电源异常");
        // A laser that reports every second gets 5 s before it counts as silent (the rule has its own table).
        row("1 s reporter, 4.9 s silence", "open a +1000 a +1000 a +1000 a +4900 tick", a, "enabled", "串口打开成功");
        row("stop over live data", "open a tick stop", a, "paused", "定时器关闭成功");
        row("stop over stale data", "open a tick +2100 tick stop", a, "disabled", "定时器关闭成功");
        row("stale while stopped, at Start", "open a tick stop +2100 start", a, "enabled", "定时器启动成功");
        row("stale while stopped, first tick", "open a tick stop +2100 start tick", a, "disabled", "未收到激光器状态");
        row("live while stopped, at Start", "open a tick +2100 tick stop b start", a, "disabled", "定时器启动成功");
        row("live while stopped, first tick", "open a tick +2100 tick stop b start tick", b, "enabled", "激光器状态已恢复");
    }
    void truth()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, readouts);
        QScopedPointer<Pty> pty;
        MainWindow w;
        MainWindowProbe p(w);
        // No look moves a widget: the layout before and after the steps is the same.
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QVector<QRect> layout = geometries(w);
        for (const QString &step : steps) {
            if (step == "open") {
                pty.reset(new Pty);
                p.open(pty->slaveName());
            } else if (step == "a") {
                p.receive(QByteArray::fromHex("0029 00 00 03c7 0000 01"));
            } else if (step == "b") {
                p.receive(QByteArray::fromHex("00a3 01 00 05a3 0000 02"));
            } else if (step.startsWith('+')) {
                p.advance(step.mid(1).toInt());
            } else if (step == "tick") {
                p.tick();
            } else if (step == "mark") {
                p.ui().edit_message->setText("-");
            } else if (step == "close") {
                p.ui().button_close->click();
            } else if (step == "stop" || step == "start") {
                (step == "stop" ? p.ui().stop_button : p.ui().start_button)->click();
            } else if (step == "hangup") {
                pty->closeMaster();
                QTRY_VERIFY(p.ui().edit_message->text().startsWith(QStringLiteral("串口连接已断开")));
            } else {
                QFAIL(qPrintable("unknown step " + step));
            }
        }
        QTEST(p.status(), "shown");
        QCOMPARE(geometries(w), layout);
        QCOMPARE(p.readoutsEnabled(), readouts == "paused" ? QStringLiteral("enabled") : readouts);
        QTEST(p.ui().edit_message->text(), "message");
        for (QWidget *r : p.readouts()) {
            if (r->property("look") == "alarm")
                continue;   // its tooltip names the alarm
            QCOMPARE(r->toolTip().isEmpty(), readouts == "enabled");
            QCOMPARE(r->toolTip() == QStringLiteral("显示已暂停"), readouts == "paused");
            QCOMPARE(r->property("look").toString() == "paused", readouts == "paused");
        }
    }

    // Each fault turns its readout red, named with its start in its tooltip;
    // the message line names every fault active, and the last one cleared;
    // the other readouts keep their look. Stale data shows no fault as current.
    void alarms_data()
    {
        QTest::addColumn<QByteArray>("fault");   // a payload with the faults
        QTest::addColumn<QList<int>>("red");     // indexes in probe's readouts()
        QTest::addColumn<QString>("names");      // of the faults, in the order of `red`
        QTest::newRow("pump supply") << QByteArray::fromHex("0029 00 00 03c7 0000 02") << QList<int>{3} << "泵浦电源异常";
        QTest::newRow("TEC lock lost") << QByteArray::fromHex("0029 00 00 03c7 0000 01") << QList<int>{4} << "TEC 失锁";
        QTest::newRow("temperature") << QByteArray::fromHex("0029 00 00 05a4 0000 03") << QList<int>{1} << "泵浦温度超出标定范围";
        QTest::newRow("pump supply and TEC, one frame") << QByteArray::fromHex("0029 00 00 03c7 0000 00") << QList<int>{3, 4}
                                                        << "泵浦电源异常、TEC 失锁";
    }
    void alarms()
    {
        QFETCH(QByteArray, fault);
        QFETCH(QList<int>, red);
        QFETCH(QString, names);
        const QStringList named = names.split("、");
        OpenWindow o;
        const QByteArray normal = QByteArray::fromHex("0029 00 00 03c7 0000 03");
        for (const QByteArray &payload : {normal, fault}) {
            o.p.receive(payload);
            o.p.tick();
        }
        QCOMPARE(o.p.ui().edit_message->text(), "报警：" + names);
        for (int i = 0; i < 5; ++i) {
            QWidget *r = o.p.readouts()[i];
            QCOMPARE(r->property("look").toString(), red.contains(i) ? QStringLiteral("alarm") : QString());
            QCOMPARE(r->toolTip().contains(QRegularExpression("^" + named.value(red.indexOf(i)) + "，自 \\d\\d:\\d\\d:\\d\\d 起$")), red.contains(i));
        }
        o.p.advance(2100);
        o.p.tick();
        QCOMPARE(o.p.readouts()[red[0]]->property("look").toString(), QString());
        o.p.receive(normal);
        QCOMPARE(o.p.ui().edit_message->text(), "报警解除：" + named.last());
    }

    // The status boxes show the laser's values only: a click, the wheel or a
    // key changes nothing, and they keep their look.
    void statusBoxesTakeNoInput()
    {
        OpenWindow o;
        o.w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&o.w));
        for (QWidget *r : o.p.readouts().mid(2)) {
            auto *box = qobject_cast<QComboBox *>(r);
            QTest::mouseClick(box, Qt::LeftButton);
            QWheelEvent wheel(QPointF(5, 5), QPointF(box->mapToGlobal(QPoint(5, 5))), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(box, &wheel);
            QTest::keyClick(box, Qt::Key_Down);
            QVERIFY(!QApplication::activePopupWidget());
            QCOMPARE(box->currentIndex(), -1);   // no data yet
            QVERIFY(box->isEnabled());
        }
    }

    // End to end: a command sent; the laser ramps to it, settles its temperature
    // and echoes the trigger mode; the status area follows within a few ticks.
    void sendAndWatch()
    {
        SimProcess sim(LASER_SIM_PATH, {"--rate", "20", "--ramp", "20", "--tau", "0.2", "--variant", variant::kName, "--seed", "1"});
        QVERIFY(sim.ready());
        MainWindow w;
        MainWindowProbe p(w);
        p.open(sim.link);
        p.ui().scroll_current->setValue(12);   // 2.40 A
        p.ui().scroll_pw->setValue(13);        // 3.25 ns
        const int freq = variant::kFreqMaxSteps * 45 / 100;   // 45, or 4 in 100 kHz steps
        p.ui().scroll_ifreq->setValue(freq);
        p.ui().comboBox_button_touchOff->setCurrentIndex(1);
        p.ui().button_current_in->click();
        QTRY_VERIFY(sim.has("command:"));
        const QString raw = QString::asprintf("raw=A5 5A 01 0C 22 00 00 0D %02X 00 00 FA FB", freq);
        QVERIFY2(sim.find("command:").endsWith(raw), qPrintable(sim.find("command:")));
        QTRY_COMPARE_WITH_TIMEOUT(p.status(), (QStringList{"2.40", "25", "外触发", "正常", "锁定"}), 10000);
        // The frequency readout shows the setpoint.
        QCOMPARE(p.ui().edit_ifreq_a->text(), QString::number(freq * variant::kFreqStepKHz));
    }

    // The window's own road (serialThread, the queued payloads) loses nothing
    // of a line that splits frames, adds noise and sends bursts.
    void everyFrameArrives()
    {
        SimProcess sim(LASER_SIM_PATH, {"--split", "--garbage", "--burst", "4", "--rate", "100", "--count", "150", "--variant", variant::kName, "--seed", "1"});
        QVERIFY(sim.ready());
        MainWindow w;
        MainWindowProbe p(w);
        p.open(sim.link);
        QSignalSpy payloads(p.serialWorker(), SIGNAL(sendData(QByteArray)));
        // Its last burst cut short: 150 is no whole number of bursts.
        QTRY_COMPARE_WITH_TIMEOUT(sim.number("sent: "), 150L, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(payloads.size(), 150, 5000);
        QVERIFY(!sim.has("bad frame"));
    }
};

QTEST_MAIN(StatusTest)
#include "tst_status.moc"
