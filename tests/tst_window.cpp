// The window as it stands after construction.
#include "firmware.h"
#include "panelicon.h"
#include "probe.h"
#include "variant.h"

#include <QAbstractItemModel>
#include <QClipboard>
#include <QCompleter>
#include <QSerialPortInfo>
#include <QtTest>

#include <tuple>

class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    // Building the form binds every on_<object>_<signal> slot by name, and a slot that names
    // no such object or signal is only reported; a slot run while the form is built would log
    // (the pulse-width slot does). The scroll bars span laserctl's ranges. Only Open is
    // enabled, and Open without editing the port field tries COM1.
    void initialState()
    {
        static QStringList messages;
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
            if (type == QtDebugMsg || type == QtWarningMsg)
                messages << msg;
        });
        MainWindow w;
        qInstallMessageHandler(previous);
        QCOMPARE(messages, QStringList());

        MainWindowProbe p(w);
        const laser::Variant &v = laser::buildVariant();
        auto range = [](QScrollBar *s) { return QVector<int>{s->minimum(), s->maximum(), s->value()}; };
        QCOMPARE(range(p.ui().scroll_current), (QVector<int>{laser::kCurrentMinSteps, laser::kCurrentMaxSteps, 0}));
        QCOMPARE(range(p.ui().scroll_pw), (QVector<int>{laser::kPulseMinSteps, laser::kPulseMaxSteps, laser::kPulseInitialSteps}));
        QCOMPARE(range(p.ui().scroll_ifreq), (QVector<int>{laser::kFreqMinSteps, v.maxSteps, v.initialSteps}));
        QCOMPARE(std::make_tuple(w.windowTitle(), p.ui().edit_message->text(), p.buttons()),
                 std::make_tuple(QString::fromUtf8(variant::kTitle), QString("Message"), QString("100000")));
        p.ui().portopen_button->click();
        QCOMPARE(p.serialPort() ? p.serialPort()->portName() : QStringLiteral("none"), QStringLiteral("COM1"));
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开失败"));
    }

    // The ports are listed once the operator uses the field, before the completer
    // looks: a key (Down shows the list) or a paste by the mouse.
    void portFieldOffersSerialPorts_data()
    {
        QTest::addColumn<QString>("use");
        for (const char *use : {"down", "type", "paste"})
            QTest::newRow(use) << use;
    }
    void portFieldOffersSerialPorts()
    {
        QFETCH(QString, use);
        MainWindow w;
        MainWindowProbe p(w);
        QLineEdit *edit = p.ui().portnun_edit;
        QCompleter *completer = edit->completer();
        QVERIFY(completer);
        if (use == "down") {
            QTest::keyClick(edit, Qt::Key_Down);
        } else if (use == "type") {
            QTest::keyClicks(edit, "tty");
        } else {
            QGuiApplication::clipboard()->setText("/dev/tty");
            edit->paste();
        }
        QStringList offered, present;
        for (int row = 0; row < completer->model()->rowCount(); ++row)
            offered << completer->model()->index(row, 0).data().toString();
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            present << info.systemLocation();
        present.sort();
        QCOMPARE(offered, present);
        // Still free text: any name reaches the next Open.
        edit->setText(QStringLiteral(" /dev/ttyUSB9 "));
        QCOMPARE(p.portName(), QStringLiteral(" /dev/ttyUSB9 "));
    }

    // The icon the build renders: every size it embeds, and one between them scaled down.
    void icon()
    {
        const QIcon icon = panelIcon();
        QCOMPARE(icon.availableSizes(), (QList<QSize>{{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}}));
        for (const QSize &size : icon.availableSizes() + QList<QSize>{{20, 20}, {512, 512}}) {
            const QImage image = icon.pixmap(size).toImage();
            QCOMPARE(image.size(), size.boundedTo({128, 128}));
            QVERIFY(image.pixelColor(size.width() / 2, size.height() / 2).alpha() == 255);
        }
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
