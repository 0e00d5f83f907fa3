// The real window against the simulated laser, over a pseudo-terminal.
#include "probe.h"
#include "simprocess.h"
#include "variant.h"

#include <QSignalSpy>
#include <QtTest>

class EndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void sendAndWatch()
    {
        SimProcess sim(LASER_SIM_PATH, {"--rate", "20", "--ramp", "20", "--tau", "0.2", "--variant", variant::kName, "--seed", "1"});
        QVERIFY(sim.ready());
        MainWindow w;
        MainWindowProbe p(w);
        p.open(sim.link);
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开成功"));

        p.ui().scroll_current->setValue(12);   // 2.40 A
        p.ui().scroll_pw->setValue(13);        // 3.25 ns
        p.ui().scroll_ifreq->setValue(variant::kFreqMaxSteps / 2);
        p.ui().comboBox_button_touchOff->setCurrentIndex(1);
        p.ui().button_current_in->click();
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("数据写入成功"));

        QTRY_VERIFY_WITH_TIMEOUT(sim.has("command:"), 5000);
        QVERIFY2(sim.find("command:").endsWith(QString::asprintf("raw=A5 5A 01 0C 22 00 00 0D %02X 00 00 FA FB", variant::kFreqMaxSteps / 2)),
                 qPrintable(sim.find("command:")));

        // The laser ramps to the commanded current, settles its temperature and
        // echoes the trigger mode; the status area follows within a few ticks.
        QTRY_COMPARE_WITH_TIMEOUT(p.status(), (QStringList{"2.40", "25", "外触发", "正常", "锁定"}), 10000);
        QCOMPARE(p.ui().edit_ifreq_a->text(), QString::number(variant::kFreqMaxSteps / 2 * variant::kFreqStepKHz));
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

QTEST_MAIN(EndToEndTest)
#include "tst_e2e.moc"
