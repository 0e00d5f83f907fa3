// Setpoint fields, scroll bars and the two send buttons.
#include "probe.h"
#include "variant.h"

#include <QtTest>

namespace {
// Frequency in scroll steps: initial and maximum; the lowest frequency as shown,
// and one between two steps.
const int f0 = variant::kFreqInitialSteps;
const QString fMin = QString::number(variant::kFreqStepKHz), unsnapped = QString::number(f0 * variant::kFreqStepKHz + variant::kFreqStepKHz / 2);

// A setpoint ("current", "pw" or "ifreq") as the user sees it, and the setting the window keeps for it.
QLineEdit *edit(MainWindow &w, const QString &name) { return w.findChild<QLineEdit *>("edit_" + name + "_in"); }
QScrollBar *scroll(MainWindow &w, const QString &name) { return w.findChild<QScrollBar *>("scroll_" + name); }
double setting(const MainWindowProbe &p, const QString &name)
{
    return name == "current" ? p.currentSetting() : name == "pw" ? p.pwSetting() : p.ifreqSetting();
}
// Keyboard focus as a click would give it; the window must be active for that.
void focus(MainWindow &w, QWidget *widget)
{
    if (!w.isVisible()) {
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }
    widget->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(widget->hasFocus());
}
} // namespace

class SetpointsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { dropDebugMessages(); }

    // Real keystrokes: select all, type, end the edit. The text is never
    // rewritten under the cursor; the end shows what the next command carries.
    // Text the program sets shows it at once.
    void typing_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("end");          // return, tab, a click on Send, or set: setText instead of typing
        QTest::addColumn<QVariantList>("shown");   // text, scroll position, setting

        const QString f500 = QString::number(500 / variant::kFreqStepKHz);
        // The arithmetic has its own table; these are what only the window shows.
        QTest::newRow("current 3.3") << "current" << 0 << "3.3" << "send" << QVariantList{"3.20", 16, 16.0};
        QTest::newRow("current 2.45 between steps") << "current" << 12 << "2.45" << "tab" << QVariantList{"2.40", 12, 12.0};
        QTest::newRow("current 2.5 set") << "current" << 0 << "2.5" << "set" << QVariantList{"2.40", 12, 12.0};
        QTest::newRow("current 10 set") << "current" << 0 << "10" << "set" << QVariantList{"7.00", 35, 35.0};
        QTest::newRow("current -1") << "current" << 20 << "-1" << "return" << QVariantList{"0.00", 0, 0.0};
        QTest::newRow("freq 500") << "ifreq" << f0 << "500" << "tab" << QVariantList{"500", f500.toInt(), f500.toDouble()};
        QTest::newRow("freq unsnapped") << "ifreq" << 1 << unsnapped << "return" << QVariantList{QString::number(f0 * variant::kFreqStepKHz), f0, double(f0)};
        QTest::newRow("freq 3 set") << "ifreq" << f0 << "3" << "set" << QVariantList{fMin, 1, 1.0};
        QTest::newRow("pw 3.3") << "pw" << 20 << "3.3" << "send" << QVariantList{"3.25", 13, 13.0};
        QTest::newRow("pw x") << "pw" << 20 << "x" << "tab" << QVariantList{"3.00", 12, 12.0};
    }
    void typing()
    {
        QFETCH(QString, field);
        QFETCH(int, before);
        QFETCH(QString, typed);
        QFETCH(QString, end);
        QFETCH(QVariantList, shown);
        OpenWindow o;
        scroll(o.w, field)->setValue(before);
        QLineEdit *e = edit(o.w, field);
        if (end == "set") {
            e->setText(typed);
            QCOMPARE((QVariantList{e->text(), scroll(o.w, field)->value(), setting(o.p, field)}), shown);
        } else {
            focus(o.w, e);
            QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(e, Qt::Key_Delete);
            QCOMPARE(e->text(), QString());
            for (int i = 0; i < typed.size(); ++i) {
                QTest::keyClick(e, typed.at(i).toLatin1());
                QCOMPARE(e->text(), typed.left(i + 1));   // never rewritten while typing
            }
            QCOMPARE(scroll(o.w, field)->value(), shown[1].toInt());   // but the scroll bar follows
        }
        if (end == "return" || end == "tab") {
            QTest::keyClick(e, end == "tab" ? Qt::Key_Tab : Qt::Key_Return);
            QCOMPARE(e->text(), shown[0].toString());
            QVERIFY(o.pty.readAvailable().isEmpty());   // ending an edit sends nothing
        }
        // A click on Send ends an edit still open; what the field shows is what Send carries.
        QTest::mouseClick(o.p.ui().button_current_in, Qt::LeftButton);
        QCOMPARE((QVariantList{e->text(), scroll(o.w, field)->value(), setting(o.p, field)}), shown);
        const QByteArray frame = o.pty.readAtLeast(13);
        QCOMPARE(int(quint8(frame.at(field == "current" ? 3 : field == "pw" ? 7 : 8))), shown[1].toInt());
        QCOMPARE(o.p.ui().edit_message->text(), QStringLiteral("数据写入成功"));
    }

    void scrollBarDuringAnEditRewritesAtOnce()
    {
        MainWindow w;
        QLineEdit *e = edit(w, "current");
        focus(w, e);
        QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(e, "2.4");
        scroll(w, "current")->triggerAction(QAbstractSlider::SliderSingleStepAdd);   // as an arrow key or the wheel does
        QCOMPARE(e->text(), QStringLiteral("2.60"));
        QCOMPARE(MainWindowProbe(w).currentSetting(), 13.0);
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

    // Steps in turn: "trigger <index>", "<field> <scroll position> <text>" or "close". The
    // slots are run directly: after Close, Send is disabled but must still fail safely.
    void sending_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArray>("frame");   // empty: the write fails
        const QString ifreq2 = "ifreq 2 " + QString::number(2 * variant::kFreqStepKHz);
        QTest::newRow("change mode external") << "mode" << QStringList{"trigger 1"} << commandFrame(1, 0, 20, f0);
        QTest::newRow("back to internal") << "send" << QStringList{"trigger 1", "trigger 0"} << commandFrame(0, 0, 20, f0);
        QTest::newRow("send unsnapped values") << "send" << QStringList{"current 12 2.55", "pw 13 3.4", ifreq2} << commandFrame(0, 12, 13, 2);
        QTest::newRow("change mode clamped") << "mode" << QStringList{"current 35 10", "pw 12 -1"} << commandFrame(0, 35, 12, f0);
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
