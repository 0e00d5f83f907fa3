// Status payloads into the status area.
#include "probe.h"
#include "variant.h"

#include <QtTest>

class StatusTest : public QObject
{
    Q_OBJECT

private slots:
    void display_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QStringList>("expected");   // current, temperature, trigger, supply, TEC
        auto row = [](const char *name, const char *hex, QStringList expected) {
            QTest::newRow(name) << QByteArray::fromHex(hex) << expected;
        };
        row("1 A, 0 degrees", "0014 00 00 0328 0000 03", {"1.00", "0", "内触发", "正常", "锁定"});
        row("8 A, 40 degrees", "00a3 00 00 05a3 0000 03", {"8.00", "40", "内触发", "正常", "锁定"});
        row("code 164, 1444", "00a4 00 00 05a4 0000 03", {"0.00", "-999", "内触发", "正常", "锁定"});
        row("high byte 01", "0114 00 00 0000 0000 03", {"0.00", "-999", "内触发", "正常", "锁定"});
        row("2.04 A, 10 degrees", "0029 00 00 03c7 0000 03", {"2.04", "10", "内触发", "正常", "锁定"});
        row("trigger 01", "0014 01 00 0328 0000 03", {"1.00", "0", "外触发", "正常", "锁定"});
        row("trigger 02", "0014 02 00 0328 0000 03", {"1.00", "0", "外触发", "正常", "锁定"});
        row("flags 00", "0014 00 00 0328 0000 00", {"1.00", "0", "内触发", "异常", "未锁定"});
        row("flags 01", "0014 00 00 0328 0000 01", {"1.00", "0", "内触发", "正常", "未锁定"});
        row("flags 02", "0014 00 00 0328 0000 02", {"1.00", "0", "内触发", "异常", "锁定"});
        row("flags ff", "0014 00 00 0328 0000 ff", {"1.00", "0", "内触发", "正常", "锁定"});
        row("unread bytes", "0014 00 ff 0328 ffff 03", {"1.00", "0", "内触发", "正常", "锁定"});
    }
    void display()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QStringList, expected);
        MainWindow w;
        MainWindowProbe p(w);
        p.receive(QByteArray::fromHex("ffffffffffffffffff"));   // older payload, fully replaced
        p.receive(payload);
        QCOMPARE(p.statusBytes().size(), std::size_t(9));
        p.tick();
        QCOMPARE(p.status(), expected);
    }

    void firstTickWithoutPayload()
    {
        MainWindow w;
        MainWindowProbe p(w);
        p.tick();
        QCOMPARE(p.status(), (QStringList{"0.00", "0", "内触发", "正常", "锁定"}));
        QCOMPARE(p.ui().edit_ifreq_a->text(), QStringLiteral("300"));
        QCOMPARE(p.ui().edit_temp_in->text(), QStringLiteral("34"));
    }

    void shortPayloadIsDropped()
    {
        MainWindow w;
        MainWindowProbe p(w);
        p.receive(QByteArray::fromHex("0029 00 00 03c7 0000 01"));
        for (const char *hex : {"", "a5", "eeff", "0014000003280000"})
            p.receive(QByteArray::fromHex(hex));
        QCOMPARE(p.statusBytes().size(), std::size_t(9));
        p.tick();
        QCOMPARE(p.status(), (QStringList{"2.04", "10", "内触发", "正常", "未锁定"}));
    }

    void frequencyShowsTheSetpoint()
    {
        MainWindow w;
        MainWindowProbe p(w);
        const int steps = variant::kFreqMaxSteps * 45 / 100;   // 45, or 4 in 100 kHz steps
        p.ui().scroll_ifreq->setValue(steps);
        p.receive(QByteArray::fromHex("0014 00 00 0328 ffff 03"));
        p.tick();
        QCOMPARE(p.ui().edit_ifreq_a->text(), QString::number(steps * variant::kFreqStepKHz));
    }

    void stoppedRefreshShowsLatestAfterStart()
    {
        OpenWindow o;
        // End to end: bytes on the line reach the status area at a tick.
        o.pty.write(QByteArray::fromHex("a55a 0029 00 00 03c7 0000 03 eeff"));
        QTRY_COMPARE(o.p.ui().edit_current_a->text(), QStringLiteral("2.04"));
        o.p.ui().stop_button->click();
        o.pty.write(QByteArray::fromHex("a55a 00a3 01 00 05a3 0000 00 eeff"));
        QTRY_COMPARE(o.p.currentReadback(), 8.0);   // decoded at once...
        QTest::qWait(600);                             // ...but no tick shows it
        QCOMPARE(o.p.ui().edit_current_a->text(), QStringLiteral("2.04"));
        o.p.ui().start_button->click();
        QTRY_COMPARE_WITH_TIMEOUT(o.p.status(), (QStringList{"8.00", "40", "外触发", "异常", "未锁定"}), 1000);
    }
};

QTEST_MAIN(StatusTest)
#include "tst_status.moc"
