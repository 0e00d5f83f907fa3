// Setpoint fields, scroll bars and the two send buttons.
#include "probe.h"
#include "variant.h"

#include <QtTest>

#include <functional>

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

// A setpoint as the user sees it, and the setting the window keeps for it.
struct Setpoint {
    QLineEdit *edit;
    QScrollBar *scroll;
    std::function<double()> setting;
};

Setpoint setpoint(MainWindowProbe &p, const QString &name)
{
    return name == "current" ? Setpoint{p.ui().edit_current_in, p.ui().scroll_current, [&p] { return p.currentSetting(); }}
           : name == "pw"    ? Setpoint{p.ui().edit_pw_in, p.ui().scroll_pw, [&p] { return p.pwSetting(); }}
                             : Setpoint{p.ui().edit_ifreq_in, p.ui().scroll_ifreq, [&p] { return double(p.ifreqSetting()); }};
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
        MainWindowProbe p(w);
        const Setpoint f = setpoint(p, field);
        f.scroll->setValue(before);
        f.edit->setText(typed);
        QCOMPARE((QVariantList{f.edit->text(), f.scroll->value(), f.setting()}), shown);
    }

    void everyPositionRoundTrips()
    {
        // A scroll bar's canonical text must parse back to the same position, or the
        // two slots would walk the scroll bar away.
        MainWindow w;
        MainWindowProbe p(w);
        for (const QString name : {"current", "pw", "ifreq"}) {
            const Setpoint f = setpoint(p, name);
            for (int pos = f.scroll->maximum(); pos >= f.scroll->minimum(); --pos) {
                f.scroll->setValue(pos);
                QCOMPARE(f.setting(), double(pos));
                f.edit->setText(f.edit->text() + " ");   // re-parse the canonical text
                QCOMPARE(f.scroll->value(), pos);
            }
        }
    }

    void debugLog()
    {
        MainWindow w;
        MainWindowProbe p(w);
        debugLines.clear();
        p.ui().scroll_pw->setValue(13);
        QCOMPARE(debugLines, QStringList{"13.000000"});
        p.ui().scroll_current->setValue(12);
        p.ui().edit_current_in->setText("2.45");
        QMetaObject::invokeMethod(&w, "on_button_current_in_clicked");
        QCOMPARE(debugLines.last(), QString("pw_in 13 ifreq_in %1 temperature_in 34 current_in 12.25").arg(f0));
    }

    void sending_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("triggers");      // trigger mode indices chosen in turn
        QTest::addColumn<QStringList>("typed");     // field, scroll position, text
        QTest::addColumn<QByteArray>("frame");
        auto frame = [](int ext, int amps, int pw, int freq) { return QByteArray::fromHex(QString::asprintf("a55a%02x%02x220000%02x%02x0000fafb", ext, amps, pw, freq).toLatin1()); };
        QTest::newRow("change mode external") << "mode" << "1" << QStringList{} << frame(1, 0, 20, f0);
        QTest::newRow("send external") << "send" << "1" << QStringList{} << frame(1, 0, 20, f0);
        QTest::newRow("back to internal") << "send" << "10" << QStringList{} << frame(0, 0, 20, f0);
        QTest::newRow("send unsnapped values") << "send" << "" << QStringList{"current 12 2.55", "pw 13 3.4", "ifreq 2 " + QString::number(2 * variant::kFreqStepKHz)} << frame(0, 12, 13, 2);
        QTest::newRow("change mode clamped") << "mode" << "" << QStringList{"current 35 10", "pw 12 -1"} << frame(0, 35, 12, f0);
    }
    void sending()
    {
        QFETCH(QString, button);
        QFETCH(QString, triggers);
        QFETCH(QStringList, typed);
        QFETCH(QByteArray, frame);
        OpenWindow o;
        for (QChar index : triggers)
            o.p.ui().comboBox_button_touchOff->setCurrentIndex(index.digitValue());
        for (const QString &step : typed) {
            const QStringList s = step.split(' ');
            setpoint(o.p, s[0]).scroll->setValue(s[1].toInt());
            setpoint(o.p, s[0]).edit->setText(s[2]);
        }
        QVERIFY(o.pty.readAvailable().isEmpty());   // choosing values sends nothing
        (button == "send" ? o.p.ui().button_current_in : o.p.ui().button_touchOff)->click();
        QCOMPARE(o.p.ui().edit_message->text(), QStringLiteral("数据写入成功"));
        QCOMPARE(o.pty.readAtLeast(13).toHex(' '), frame.toHex(' '));
    }

    void sendAfterClose()
    {
        OpenWindow o;
        o.p.ui().button_close->click();
        o.p.ui().button_touchOff->click();
        QCOMPARE(o.p.ui().edit_message->text(), QStringLiteral("数据写入失败"));
        QMetaObject::invokeMethod(&o.w, "on_button_current_in_clicked");
        QCOMPARE(o.p.ui().edit_message->text(), QStringLiteral("数据写入失败"));
    }
};

QTEST_MAIN(SetpointsTest)
#include "tst_setpoints.moc"
