// Setpoint fields, scroll bars and the two send buttons.
#include "probe.h"
#include "variant.h"

#include <QtTest>

namespace {
// The slots log on every pulse-width change; keep those lines for the checks
// instead of flooding the test output.
QStringList debugLines;
QtMessageHandler defaultHandler = nullptr;
void collect(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    type == QtDebugMsg ? debugLines.append(msg) : defaultHandler(type, context, msg);
}

// Frequency in scroll steps: initial and maximum; the lowest frequency as shown,
// and one between two steps.
const int f0 = variant::kFreqInitialSteps, fMax = variant::kFreqMaxSteps;
const QString fMin = QString::number(variant::kFreqStepKHz), unsnapped = QString::number(f0 * variant::kFreqStepKHz + variant::kFreqStepKHz / 2);

// A setpoint ("current", "pw" or "ifreq") as the user sees it, and the setting the window keeps for it.
QLineEdit *edit(MainWindow &w, const QString &name) { return w.findChild<QLineEdit *>("edit_" + name + "_in"); }
QScrollBar *scroll(MainWindow &w, const QString &name) { return w.findChild<QScrollBar *>("scroll_" + name); }
double setting(const MainWindowProbe &p, const QString &name)
{
    return name == "current" ? p.currentSetting() : name == "pw" ? p.pwSetting() : p.ifreqSetting();
}
} // namespace

class SetpointsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { defaultHandler = qInstallMessageHandler(collect); }

    void typing_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QVariantList>("shown");   // text, scroll position, setting

        // In range: the scroll bar snaps only when it moves.
        QTest::newRow("current 2.5 snaps") << "current" << 0 << "2.5" << QVariantList{"2.40", 12, 12.0};
        QTest::newRow("current 2.45 stays") << "current" << 12 << "2.45" << QVariantList{"2.45", 12, 12.25};
        QTest::newRow("current 8 to max") << "current" << 0 << "8" << QVariantList{"7.00", 35, 35.0};
        QTest::newRow("pw 3.3 snaps") << "pw" << 20 << "3.3" << QVariantList{"3.25", 13, 13.0};
        QTest::newRow("pw 3.3 stays") << "pw" << 13 << "3.3" << QVariantList{"3.3", 13, 13.2};
        QTest::newRow("freq stays unsnapped") << "ifreq" << f0 << unsnapped << QVariantList{unsnapped, f0, double(f0)};

        // Out of range: the nearest bound, even when the scroll bar stays put.
        QTest::newRow("current 10 at max") << "current" << 35 << "10" << QVariantList{"7.00", 35, 35.0};
        QTest::newRow("current 7.001 at max") << "current" << 35 << "7.001" << QVariantList{"7.00", 35, 35.0};
        QTest::newRow("current -1") << "current" << 20 << "-1" << QVariantList{"0.00", 0, 0.0};
        QTest::newRow("current -1 at min") << "current" << 0 << "-1" << QVariantList{"0.00", 0, 0.0};
        QTest::newRow("current huge") << "current" << 35 << "1e308" << QVariantList{"7.00", 35, 35.0};
        QTest::newRow("current overflow") << "current" << 35 << "1e400" << QVariantList{"7.00", 35, 35.0};
        QTest::newRow("current inf") << "current" << 10 << "inf" << QVariantList{"7.00", 35, 35.0};
        QTest::newRow("current -inf") << "current" << 10 << "-inf" << QVariantList{"0.00", 0, 0.0};
        QTest::newRow("current nan at min") << "current" << 0 << "nan" << QVariantList{"0.00", 0, 0.0};
        QTest::newRow("pw empty at 20") << "pw" << 20 << "" << QVariantList{"3.00", 12, 12.0};
        QTest::newRow("pw empty at min") << "pw" << 12 << "" << QVariantList{"3.00", 12, 12.0};
        QTest::newRow("pw 2.99 at min") << "pw" << 12 << "2.99" << QVariantList{"3.00", 12, 12.0};
        QTest::newRow("pw 16 at max") << "pw" << 60 << "16" << QVariantList{"15.00", 60, 60.0};
        QTest::newRow("pw -0.5") << "pw" << 20 << "-0.5" << QVariantList{"3.00", 12, 12.0};
        QTest::newRow("pw nan at min") << "pw" << 12 << "nan" << QVariantList{"3.00", 12, 12.0};
        QTest::newRow("freq too small at 3") << "ifreq" << 3 << "3" << QVariantList{fMin, 1, 1.0};
        QTest::newRow("freq 3 at min") << "ifreq" << 1 << "3" << QVariantList{fMin, 1, 1.0};
        QTest::newRow("freq empty at min") << "ifreq" << 1 << "" << QVariantList{fMin, 1, 1.0};
        QTest::newRow("freq decimal point") << "ifreq" << 1 << "300.5" << QVariantList{fMin, 1, 1.0};
        QTest::newRow("freq 1500") << "ifreq" << 2 << "1500" << QVariantList{"1000", fMax, double(fMax)};
        QTest::newRow("freq 1500 at max") << "ifreq" << fMax << "1500" << QVariantList{"1000", fMax, double(fMax)};
        QTest::newRow("freq overflow") << "ifreq" << 2 << "99999999999" << QVariantList{"1000", fMax, double(fMax)};
        QTest::newRow("freq negative overflow") << "ifreq" << 2 << "-99999999999" << QVariantList{fMin, 1, 1.0};
        QTest::newRow("freq negative") << "ifreq" << 2 << "-300" << QVariantList{fMin, 1, 1.0};
    }
    void typing()
    {
        QFETCH(QString, field);
        QFETCH(int, before);
        QFETCH(QString, typed);
        QFETCH(QVariantList, shown);
        MainWindow w;
        scroll(w, field)->setValue(before);
        edit(w, field)->setText(typed);
        QCOMPARE((QVariantList{edit(w, field)->text(), scroll(w, field)->value(), setting(MainWindowProbe(w), field)}), shown);
    }

    void everyPositionRoundTrips()
    {
        // A scroll bar's canonical text must parse back to the same position, or the
        // two slots would walk the scroll bar away.
        MainWindow w;
        for (const QString name : {"current", "pw", "ifreq"})
            for (int pos = scroll(w, name)->maximum(); pos >= scroll(w, name)->minimum(); --pos) {
                scroll(w, name)->setValue(pos);
                QCOMPARE(setting(MainWindowProbe(w), name), double(pos));
                edit(w, name)->setText(edit(w, name)->text() + " ");   // re-parse the canonical text
                QCOMPARE(scroll(w, name)->value(), pos);
            }
    }

    void debugLog()
    {
        MainWindow w;
        debugLines.clear();
        scroll(w, "pw")->setValue(13);
        QCOMPARE(debugLines, QStringList{"13.000000"});
        scroll(w, "current")->setValue(12);
        edit(w, "current")->setText("2.45");
        QMetaObject::invokeMethod(&w, "on_button_current_in_clicked");
        QCOMPARE(debugLines.last(), QString("pw_in 13 ifreq_in %1 temperature_in 34 current_in 12.25").arg(f0));
    }

    // Steps in turn: "trigger <index>", "<field> <scroll position> <text>" or "close". The
    // slots are run directly: after Close, Send is disabled but must still fail safely.
    void sending_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArray>("frame");   // empty: the write fails
        auto frame = [](int ext, int amps, int pw, int freq) { return QByteArray::fromHex(QString::asprintf("a55a%02x%02x220000%02x%02x0000fafb", ext, amps, pw, freq).toLatin1()); };
        const QString ifreq2 = "ifreq 2 " + QString::number(2 * variant::kFreqStepKHz);
        QTest::newRow("change mode external") << "mode" << QStringList{"trigger 1"} << frame(1, 0, 20, f0);
        QTest::newRow("send external") << "send" << QStringList{"trigger 1"} << frame(1, 0, 20, f0);
        QTest::newRow("back to internal") << "send" << QStringList{"trigger 1", "trigger 0"} << frame(0, 0, 20, f0);
        QTest::newRow("send unsnapped values") << "send" << QStringList{"current 12 2.55", "pw 13 3.4", ifreq2} << frame(0, 12, 13, 2);
        QTest::newRow("change mode clamped") << "mode" << QStringList{"current 35 10", "pw 12 -1"} << frame(0, 35, 12, f0);
        QTest::newRow("change mode after close") << "mode" << QStringList{"close"} << QByteArray();
        QTest::newRow("send after close") << "send" << QStringList{"close"} << QByteArray();
    }
    void sending()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, steps);
        QFETCH(QByteArray, frame);
        OpenWindow o;
        for (const QString &step : steps) {
            const QStringList s = step.split(' ');
            if (s[0] == "trigger") {
                o.p.ui().comboBox_button_touchOff->setCurrentIndex(s[1].toInt());
            } else if (s[0] == "close") {
                o.p.ui().button_close->click();
            } else {
                scroll(o.w, s[0])->setValue(s[1].toInt());
                edit(o.w, s[0])->setText(s[2]);
            }
        }
        QVERIFY(o.pty.readAvailable().isEmpty());   // choosing values sends nothing
        QVERIFY(QMetaObject::invokeMethod(&o.w, button == "send" ? "on_button_current_in_clicked" : "on_button_touchOff_clicked"));
        QCOMPARE(o.p.ui().edit_message->text(), frame.isEmpty() ? QStringLiteral("数据写入失败") : QStringLiteral("数据写入成功"));
        QCOMPARE(o.pty.readAtLeast(frame.size()).toHex(' '), frame.toHex(' '));
    }
};

QTEST_MAIN(SetpointsTest)
#include "tst_setpoints.moc"
