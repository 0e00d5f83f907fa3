// The form as the window relies on it: every slot named after a widget finds
// that widget, and the scroll bars span the link's ranges.
#include "firmware.h"
#include "mainwindow.h"
#include "mainwindowform.h"
#include "variant.h"

#include <QtTest>

class FormTest : public QObject
{
    Q_OBJECT
    QMainWindow window;
    MainWindowForm form;

private slots:
    void initTestCase() { form.setupUi(&window); }

    // Slots bind by object name and signal: a renamed widget would leave its
    // slot silently unconnected.
    void everySlotFindsItsWidget()
    {
        const QMetaObject &mo = MainWindow::staticMetaObject;
        int named = 0;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
            const QString slot = QString::fromLatin1(mo.method(i).name());
            if (!slot.startsWith("on_"))
                continue;
            const QString name = slot.mid(3).section('_', 0, -2);
            QObject *widget = window.findChild<QObject *>(name);
            QVERIFY2(widget, qPrintable(slot));
            const QByteArray signal = slot.section('_', -1).toLatin1();
            bool has = false;
            for (int s = 0; s < widget->metaObject()->methodCount(); ++s)
                has = has || (widget->metaObject()->method(s).methodType() == QMetaMethod::Signal
                              && widget->metaObject()->method(s).name() == signal);
            QVERIFY2(has, qPrintable(slot));
            ++named;
        }
        QCOMPARE(named, 15);
    }

    // The form and laserctl take their ranges from the same constants.
    void scrollRanges()
    {
        const laser::Variant &v = laser::buildVariant();
        auto range = [](QScrollBar *s) { return QVector<int>{s->minimum(), s->maximum(), s->value()}; };
        QCOMPARE(range(form.scroll_current), (QVector<int>{laser::kCurrentMinSteps, laser::kCurrentMaxSteps, 0}));
        QCOMPARE(range(form.scroll_pw), (QVector<int>{laser::kPulseMinSteps, laser::kPulseMaxSteps, laser::kPulseInitialSteps}));
        QCOMPARE(range(form.scroll_ifreq), (QVector<int>{laser::kFreqMinSteps, v.maxSteps, v.initialSteps}));
        QCOMPARE(window.windowTitle(), QString::fromUtf8(variant::kTitle));
    }
};

QTEST_MAIN(FormTest)
#include "tst_form.moc"
