// Status payloads into the status area.
#include "probe.h"
#include "pty.h"
#include "variant.h"

#include <QtTest>

namespace {
struct Shown {
    QString current, temperature, trigger, supply, tec;
};

Shown shown(MainWindowProbe &p)
{
    return {p.ui().edit_current_a->text(), p.ui().edit_temp_a->text(),
            p.ui().comboBox_button_touchOff_read->currentText(),
            p.ui().comboBox_button_status->currentText(), p.ui().comboBox_button->currentText()};
}

QByteArray frame(const QByteArray &payload)
{
    return QByteArray::fromHex("a55a") + payload + QByteArray::fromHex("eeff");
}
} // namespace

class StatusTest : public QObject
{
    Q_OBJECT

private slots:
    void display_data();
    void display();
    void firstTickWithoutPayload();
    void shortPayloadIsDropped();
    void frequencyShowsTheSetpoint();
    void stoppedRefreshShowsLatestAfterStart();
};

void StatusTest::display_data()
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

void StatusTest::display()
{
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, expected);
    MainWindow w;
    MainWindowProbe p(w);
    p.receive(QByteArray::fromHex("ffffffffffffffffff"));   // older payload, fully replaced
    p.receive(payload);
    QCOMPARE(p.statusBytes().size(), std::size_t(9));
    p.tick();
    const Shown s = shown(p);
    QCOMPARE((QStringList{s.current, s.temperature, s.trigger, s.supply, s.tec}), expected);
}

void StatusTest::firstTickWithoutPayload()
{
    MainWindow w;
    MainWindowProbe p(w);
    QCOMPARE(p.ui().edit_current_a->text(), QStringLiteral("0"));
    p.tick();
    const Shown s = shown(p);
    QCOMPARE((QStringList{s.current, s.temperature, s.trigger, s.supply, s.tec}),
             (QStringList{"0.00", "0", "内触发", "正常", "锁定"}));
    QCOMPARE(p.ui().edit_ifreq_a->text(), QStringLiteral("300"));
    QCOMPARE(p.ui().edit_temp_in->text(), QStringLiteral("34"));
}

void StatusTest::shortPayloadIsDropped()
{
    MainWindow w;
    MainWindowProbe p(w);
    p.receive(QByteArray::fromHex("0029 00 00 03c7 0000 01"));
    for (const char *hex : {"", "a5", "eeff", "0014000003280000"})
        p.receive(QByteArray::fromHex(hex));
    QCOMPARE(p.statusBytes().size(), std::size_t(9));
    QCOMPARE(p.currentReadback(), 2.04);
    QCOMPARE(p.temperatureReadback(), 10);
    QCOMPARE(p.statusFlags(), 1);
}

void StatusTest::frequencyShowsTheSetpoint()
{
    MainWindow w;
    MainWindowProbe p(w);
    const int steps = variant::kFreqMaxSteps * 45 / 100;   // 45, or 4 in 100 kHz steps
    p.ui().scroll_ifreq->setValue(steps);
    p.receive(QByteArray::fromHex("0014 00 00 0328 ffff 03"));
    p.tick();
    QCOMPARE(p.ui().edit_ifreq_a->text(), QString::number(steps * variant::kFreqStepKHz));
}

void StatusTest::stoppedRefreshShowsLatestAfterStart()
{
    Pty pty;
    MainWindow w;
    MainWindowProbe p(w);
    p.ui().portnun_edit->setText(pty.slaveName());
    p.ui().portopen_button->click();

    // End to end: bytes on the line reach the status area at a tick.
    pty.write(frame(QByteArray::fromHex("0029 00 00 03c7 0000 03")));
    QTRY_COMPARE(p.ui().edit_current_a->text(), QStringLiteral("2.04"));

    p.ui().stop_button->click();
    pty.write(frame(QByteArray::fromHex("00a3 01 00 05a3 0000 00")));
    QTRY_COMPARE(p.currentReadback(), 8.0);   // decoded at once...
    QTest::qWait(600);                           // ...but no tick shows it
    QCOMPARE(p.ui().edit_current_a->text(), QStringLiteral("2.04"));

    p.ui().start_button->click();
    QTRY_COMPARE_WITH_TIMEOUT(p.ui().edit_current_a->text(), QStringLiteral("8.00"), 1000);
    const Shown s = shown(p);
    QCOMPARE((QStringList{s.temperature, s.trigger, s.supply, s.tec}),
             (QStringList{"40", "外触发", "异常", "未锁定"}));
}

QTEST_MAIN(StatusTest)
#include "tst_status.moc"
