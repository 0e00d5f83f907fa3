// The working point outlives the panel: sent by one panel, put back by the
// next one on the same port without a byte sent, and kept by laserctl set.
#include "probe.h"

#include <QProcess>
#include <QSerialPortInfo>
#include <QtTest>

class WorkingPointTest : public QObject
{
    Q_OBJECT

    // 2.40 A, 12.50 ns, 1000 kHz, external.
    static void sendFrom(const QString &port)
    {
        MainWindow w;
        MainWindowProbe p(w);
        p.open(port);
        p.ui().scroll_current->setValue(12);
        p.ui().scroll_pw->setValue(50);
        p.ui().scroll_ifreq->setValue(p.ui().scroll_ifreq->maximum());
        p.ui().comboBox_button_touchOff->setCurrentIndex(1);
        p.ui().button_current_in->click();
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("数据写入成功"));
    }

private slots:
    void restored_data()
    {
        QTest::addColumn<QString>("kind");   // "edit FROM TO" changes the stored text
        QTest::addColumn<QString>("setpoints");   // what the next panel shows after Open
        const QString defaults = QStringLiteral("0.00 5.00 %1 0").arg(variant::kFreqInitialSteps * variant::kFreqStepKHz);
        QTest::newRow("same port") << "same" << "2.40 12.50 1000 1";
        QTest::newRow("another port") << "another" << defaults;
        QTest::newRow("damaged record") << "edit 12.50 banana" << defaults;
        QTest::newRow("current past the maximum") << "edit 2.40 7.20" << defaults;
        QTest::newRow("trigger neither word") << "edit external sideways" << defaults;
        QTest::newRow("store is a folder") << "folder" << defaults;
    }
    void restored()
    {
        QFETCH(QString, kind);
        QFETCH(QString, setpoints);
        Pty first, second;
        sendFrom(first.slaveName());
        QVERIFY(first.readAtLeast(13).size() == 13);
        const QString store = laser::WorkingPointStore::defaultPath();
        if (kind.startsWith("edit")) {
            QFile f(store);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const QByteArray text = f.readAll().replace(kind.section(' ', 1, 1).toLatin1(), kind.section(' ', 2, 2).toLatin1());
            f.resize(0);
            f.write(text);
        } else if (kind == "folder") {
            QVERIFY(QFile::remove(store) && QDir().mkpath(store));
        }
        QProcess panel;
        panel.start(PANEL_PROBE_PATH, {"--remembered", kind == "another" ? second.slaveName() : first.slaveName()});
        QByteArray out;
        QVERIFY(QTest::qWaitFor([&] { out += panel.readAllStandardOutput(); return out.count('\n') >= 2; }, 10000));
        const QStringList lines = QString::fromUtf8(out).split('\n');
        const QString message = lines[0], shown = lines[1];
        QCOMPARE(message, QStringLiteral("串口打开成功"));
        QVERIFY2(shown.startsWith("setpoints " + setpoints + " |"), qPrintable(shown));
        QCOMPARE(shown.contains("上次发送："), kind == "same");
        QCOMPARE(first.readAvailable(0) + second.readAvailable(0), QByteArray());   // nothing sent at Open
        panel.terminate();
        QVERIFY(panel.waitForFinished(5000));
        if (kind != "same" && kind != "another")
            QVERIFY2(panel.readAllStandardError().contains("working point not restored"), "no word of the damaged record");
        QDir(store).removeRecursively();
        QFile::remove(store);
    }

    // A port with no USB serial number is known by its name, not by that
    // empty number, which every such port would share.
    void keyWithoutSerialNumber()
    {
        const auto ports = QSerialPortInfo::availablePorts();
        const auto port = std::find_if(ports.begin(), ports.end(), [](const QSerialPortInfo &i) { return i.serialNumber().isEmpty(); });
        if (port == ports.end())
            QSKIP("no serial port without a serial number here");
        QCOMPARE(laser::workingPointKey(port->systemLocation()), "port:" + port->systemLocation());
    }

    // laserctl set of the current alone keeps what the panel sent.
    void laserctlKeepsThePanelsPoint()
    {
        Pty pty;
        sendFrom(pty.slaveName());
        QCOMPARE(pty.readAtLeast(13).toHex(' '), QByteArray("a5 5a 01 0c 22 00 00 32") + " " + QByteArray::number(variant::kFreqMaxSteps, 16).rightJustified(2, '0') + " 00 00 fa fb");
        QProcess ctl;
        ctl.start(LASERCTL_PATH, {"set", "-p", pty.slaveName(), "--current", "1"});
        QVERIFY(ctl.waitForFinished(10000));
        QCOMPARE(ctl.exitCode(), 0);
        QVERIFY2(ctl.readAllStandardOutput().contains("kept from the working point last sent"), "no word of what was kept");
        QCOMPARE(pty.readAtLeast(13).toHex(' ').left(23), QByteArray("a5 5a 01 05 22 00 00 32"));
    }
};

QTEST_MAIN(WorkingPointTest)
#include "tst_workingpoint.moc"
