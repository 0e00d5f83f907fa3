// Setpoint fields, scroll bars and the two send buttons.
#include "probe.h"
#include "pty.h"
#include "variant.h"

#include <QtTest>

namespace {
// The slots log on every pulse-width change; keep those lines for the checks
// instead of flooding the test output.
QStringList debugLines;
QtMessageHandler defaultHandler = nullptr;
void collect(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (type == QtDebugMsg)
        debugLines << msg;
    else
        defaultHandler(type, context, msg);
}

struct Pair {
    QLineEdit *edit;
    QScrollBar *scroll;
};

Pair pair(MainWindowProbe &p, const QString &field)
{
    if (field == "current")
        return {p.ui().edit_current_in, p.ui().scroll_current};
    if (field == "pw")
        return {p.ui().edit_pw_in, p.ui().scroll_pw};
    return {p.ui().edit_ifreq_in, p.ui().scroll_ifreq};
}

double member(MainWindowProbe &p, const QString &field)
{
    if (field == "current")
        return p.currentSetting();
    if (field == "pw")
        return p.pwSetting();
    return p.ifreqSetting();
}

QString kHz(int steps)
{
    return QString::number(steps * variant::kFreqStepKHz);
}
} // namespace

class SetpointsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { defaultHandler = qInstallMessageHandler(collect); }
    void typing_data();
    void typing();
    void everyPositionRoundTrips();
    void debugLog();
    void sending_data();
    void sending();
    void sendAfterClose();
};

void SetpointsTest::typing_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<double>("value");

    // In range: the scroll bar snaps only when it moves.
    QTest::newRow("current 2.5 snaps") << "current" << 0 << "2.5" << "2.40" << 12 << 12.0;
    QTest::newRow("current 2.45 stays") << "current" << 12 << "2.45" << "2.45" << 12 << 12.25;
    QTest::newRow("current 8 to max") << "current" << 0 << "8" << "7.00" << 35 << 35.0;
    QTest::newRow("pw empty at 20") << "pw" << 20 << "" << "3.00" << 12 << 12.0;
    QTest::newRow("pw 3.3 snaps") << "pw" << 20 << "3.3" << "3.25" << 13 << 13.0;
    QTest::newRow("pw 3.3 stays") << "pw" << 13 << "3.3" << "3.3" << 13 << 13.2;
    const int f0 = variant::kFreqInitialSteps;
    const QString unsnapped = QString::number(f0 * variant::kFreqStepKHz + variant::kFreqStepKHz / 2);
    QTest::newRow("freq stays unsnapped") << "ifreq" << f0 << unsnapped << unsnapped << f0 << double(f0);
    QTest::newRow("freq too small at 3") << "ifreq" << 3 << "3" << kHz(1) << 1 << 1.0;

    // Out of range: the nearest bound, even when the scroll bar stays put.
    QTest::newRow("current 10 at max") << "current" << 35 << "10" << "7.00" << 35 << 35.0;
    QTest::newRow("current 7.001 at max") << "current" << 35 << "7.001" << "7.00" << 35 << 35.0;
    QTest::newRow("current -1") << "current" << 20 << "-1" << "0.00" << 0 << 0.0;
    QTest::newRow("current -1 at min") << "current" << 0 << "-1" << "0.00" << 0 << 0.0;
    QTest::newRow("current huge") << "current" << 35 << "1e308" << "7.00" << 35 << 35.0;
    QTest::newRow("current overflow") << "current" << 35 << "1e400" << "7.00" << 35 << 35.0;
    QTest::newRow("current inf") << "current" << 10 << "inf" << "7.00" << 35 << 35.0;
    QTest::newRow("current -inf") << "current" << 10 << "-inf" << "0.00" << 0 << 0.0;
    QTest::newRow("current nan") << "current" << 10 << "nan" << "0.00" << 0 << 0.0;
    QTest::newRow("pw empty at min") << "pw" << 12 << "" << "3.00" << 12 << 12.0;
    QTest::newRow("pw 2.99 at min") << "pw" << 12 << "2.99" << "3.00" << 12 << 12.0;
    QTest::newRow("pw 16 at max") << "pw" << 60 << "16" << "15.00" << 60 << 60.0;
    QTest::newRow("pw -0.5") << "pw" << 20 << "-0.5" << "3.00" << 12 << 12.0;
    QTest::newRow("freq 3 at min") << "ifreq" << 1 << "3" << kHz(1) << 1 << 1.0;
    QTest::newRow("freq empty at min") << "ifreq" << 1 << "" << kHz(1) << 1 << 1.0;
    QTest::newRow("freq decimal point") << "ifreq" << 1 << "300.5" << kHz(1) << 1 << 1.0;
    QTest::newRow("freq 1500") << "ifreq" << 2 << "1500" << "1000" << variant::kFreqMaxSteps << double(variant::kFreqMaxSteps);
    QTest::newRow("freq 1500 at max") << "ifreq" << variant::kFreqMaxSteps << "1500" << "1000" << variant::kFreqMaxSteps << double(variant::kFreqMaxSteps);
    QTest::newRow("freq overflow") << "ifreq" << 2 << "99999999999" << "1000" << variant::kFreqMaxSteps << double(variant::kFreqMaxSteps);
    QTest::newRow("freq negative overflow") << "ifreq" << 2 << "-99999999999" << kHz(1) << 1 << 1.0;
    QTest::newRow("freq negative") << "ifreq" << 2 << "-300" << kHz(1) << 1 << 1.0;
}

void SetpointsTest::typing()
{
    QFETCH(QString, field);
    QFETCH(int, before);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(double, value);

    MainWindow w;
    MainWindowProbe p(w);
    const Pair c = pair(p, field);
    c.scroll->setValue(before);
    QCOMPARE(c.scroll->value(), before);
    c.edit->setText(typed);
    QCOMPARE(c.edit->text(), text);
    QCOMPARE(c.scroll->value(), position);
    QCOMPARE(member(p, field), value);
}

void SetpointsTest::everyPositionRoundTrips()
{
    // A scroll bar's canonical text must parse back to the same position, or the
    // two slots would walk the scroll bar away.
    MainWindow w;
    MainWindowProbe p(w);
    for (const QString field : {"current", "pw", "ifreq"}) {
        const Pair c = pair(p, field);
        for (int pos = c.scroll->maximum(); pos >= c.scroll->minimum(); --pos) {
            c.scroll->setValue(pos);
            QCOMPARE(c.scroll->value(), pos);
            QCOMPARE(member(p, field), double(pos));
            c.edit->setText(c.edit->text() + " ");   // re-parse the canonical text
            QCOMPARE(c.scroll->value(), pos);
        }
    }
}

void SetpointsTest::debugLog()
{
    MainWindow w;
    MainWindowProbe p(w);
    debugLines.clear();
    p.ui().scroll_pw->setValue(13);
    const QStringList afterScroll = debugLines;

    debugLines.clear();
    p.ui().scroll_pw->setValue(20);
    p.ui().scroll_current->setValue(12);
    p.ui().edit_current_in->setText("2.45");
    QMetaObject::invokeMethod(&w, "on_button_current_in_clicked");
    const QStringList afterSend = debugLines;

    QCOMPARE(afterScroll, QStringList{"13.000000"});
    QCOMPARE(afterSend.last(), QStringLiteral("pw_in 20 ifreq_in %1 temperature_in 34 current_in 12.25")
                                   .arg(variant::kFreqInitialSteps));
}

void SetpointsTest::sending_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QByteArray>("frame");

    QByteArray initial = QByteArray::fromHex("a55a00002200001400 0000fafb");
    initial[8] = static_cast<char>(variant::kFreqInitialSteps);
    QByteArray external = initial;
    external[2] = 1;
    QByteArray set = initial;
    set[3] = 12;
    set[7] = 13;
    set[8] = 2;
    QByteArray clamped = initial;
    clamped[3] = 35;
    clamped[7] = 12;

    QTest::newRow("send initial") << "send" << QStringList{} << initial;
    QTest::newRow("change mode initial") << "mode" << QStringList{} << initial;
    QTest::newRow("change mode external") << "mode" << QStringList{"external"} << external;
    QTest::newRow("send external") << "send" << QStringList{"external"} << external;
    QTest::newRow("back to internal") << "send" << QStringList{"external", "internal"} << initial;
    QTest::newRow("send unsnapped values") << "send" << QStringList{"current 2.45", "pw 3.3", "ifreq 2"} << set;
    QTest::newRow("change mode clamped") << "mode" << QStringList{"current 10", "pw -1"}
                                         << clamped;
}

void SetpointsTest::sending()
{
    QFETCH(QString, button);
    QFETCH(QStringList, setup);
    QFETCH(QByteArray, frame);

    Pty pty;
    MainWindow w;
    MainWindowProbe p(w);
    p.ui().portnun_edit->setText(pty.slaveName());
    p.ui().portopen_button->click();
    for (const QString &step : setup) {
        if (step == "external" || step == "internal") {
            p.ui().comboBox_button_touchOff->setCurrentIndex(step == "external" ? 1 : 0);
        } else {
            const QStringList parts = step.split(' ');
            const Pair c = pair(p, parts[0]);
            if (parts[0] == "ifreq") {
                c.scroll->setValue(parts[1].toInt());
            } else {
                // Put the scroll bar where the typed value will not move it.
                c.scroll->setValue(int(parts[1].toDouble() * (parts[0] == "pw" ? 4 : 5)));
                c.edit->setText(parts[1]);
            }
        }
    }
    QVERIFY(pty.readAvailable().isEmpty());   // choosing values sends nothing
    (button == "send" ? p.ui().button_current_in : p.ui().button_touchOff)->click();
    QCOMPARE(p.ui().edit_message->text(), QStringLiteral("数据写入成功"));
    QCOMPARE(pty.readAtLeast(13).toHex(' '), frame.toHex(' '));
}

void SetpointsTest::sendAfterClose()
{
    Pty pty;
    MainWindow w;
    MainWindowProbe p(w);
    p.ui().portnun_edit->setText(pty.slaveName());
    p.ui().portopen_button->click();
    p.ui().button_close->click();
    p.ui().button_touchOff->click();
    QCOMPARE(p.ui().edit_message->text(), QStringLiteral("数据写入失败"));
    QMetaObject::invokeMethod(&w, "on_button_current_in_clicked");
    QCOMPARE(p.ui().edit_message->text(), QStringLiteral("数据写入失败"));
}

QTEST_MAIN(SetpointsTest)
#include "tst_setpoints.moc"
