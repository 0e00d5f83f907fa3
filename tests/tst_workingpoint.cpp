// The working point outlives the panel: sent by one panel, put back by the
// next one on the same port without a byte sent, and kept by laserctl set. A
// store that cannot be used never holds a command up.
#include "portsession.h"
#include "probe.h"

#include <QProcess>
#include <QSerialPortInfo>
#include <QSettings>
#include <QSqlQuery>
#include <QtTest>

#include <sys/stat.h>
#include <thread>

namespace {
// Another program's view of the database.
QSqlDatabase other()
{
    QSqlDatabase db = QSqlDatabase::contains("other") ? QSqlDatabase::database("other", false)
                                                       : QSqlDatabase::addDatabase("QSQLITE", "other");
    db.close();   // the file may be another one since
    db.setDatabaseName(laser::WorkingPointStore::defaultPath());
    db.open();
    return db;
}

QStringList laserctl(const QStringList &args)
{
    QProcess p;
    p.start(LASERCTL_PATH, args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

using Loaded = laser::WorkingPointStore::Loaded;
} // namespace

Q_DECLARE_METATYPE(Loaded)

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
    void cleanup() { writeLimits(QString()); }
    void restored_data()
    {
        QTest::addColumn<QString>("kind");   // "edit SQL" changes the last row; "limits TEXT" the next panel's
        QTest::addColumn<QString>("setpoints");   // what the next panel shows after Open
        QTest::addColumn<QString>("message");   // and says; LIMITS stands for the limits file
        QTest::addColumn<QString>("tooltip");   // the current's scroll bar
        const QString defaults = QStringLiteral("0.00 5.00 %1 0").arg(variant::kFreqInitialSteps * variant::kFreqStepKHz);
        const QString opened = QStringLiteral("串口打开成功");
        const QString firmware = QStringLiteral("最大泵浦电流 7.00 A（固件范围） 一次命令最多升高 7.00 A（固件范围）");
        QTest::newRow("same port") << "same" << "2.40 12.50 1000 1" << opened << firmware;
        QTest::newRow("another port") << "another" << defaults << opened << firmware;
        QTest::newRow("damaged record") << "edit pulse_steps = 'banana'" << defaults << opened << firmware;
        QTest::newRow("current past the maximum") << "edit current_steps = 36" << defaults << opened << firmware;
        QTest::newRow("trigger neither word") << "edit external = 2" << defaults << opened << firmware;
        QTest::newRow("frequency between steps") << "edit freq_steps = 7, khz_per_step = 1" << defaults << opened << firmware;
        QTest::newRow("store is a folder") << "folder" << defaults << opened << firmware;
        QTest::newRow("beyond the limits") << "limits [all]\ncurrent_max = 2.1\npulse_max = 10\nfreq_max = 500" << "2.00 10.00 500 1"
            << QStringLiteral("上次的工作点超出限值，已限制在限值以内") << QStringLiteral("最大泵浦电流 2.00 A（LIMITS [all]） 一次命令最多升高 7.00 A（固件范围）");
        QTest::newRow("limits file damaged") << "limits [all]\ncurrent_max 2" << "2.40 12.50 1000 1"
            << QStringLiteral("限值文件无法读取，泵浦电流不能升高：LIMITS: line 2: neither [section] nor name = value") << firmware;
    }
    void restored()
    {
        QFETCH(QString, kind);
        QFETCH(QString, setpoints);
        QFETCH(QString, message);
        QFETCH(QString, tooltip);
        Pty first, second;
        sendFrom(first.slaveName());
        QVERIFY(first.readAtLeast(13).size() == 13);
        const QString limits = writeLimits(kind.startsWith("limits") ? kind.section(' ', 1) : QString());
        const QString store = laser::WorkingPointStore::defaultPath();
        if (kind.startsWith("edit")) {
            QSqlQuery q(other());
            QVERIFY(q.exec("UPDATE points SET " + kind.section(' ', 1)));
        } else if (kind == "folder") {
            forgetWorkingPoints();
            QVERIFY(QDir().mkpath(store));
        }
        QProcess panel;
        panel.start(PANEL_PROBE_PATH, {"--remembered", kind == "another" ? second.slaveName() : first.slaveName()});
        QByteArray out;
        QVERIFY(QTest::qWaitFor([&] { out += panel.readAllStandardOutput(); return out.count('\n') >= 2; }, 10000));
        const QStringList lines = QString::fromUtf8(out).split('\n');
        const QString shown = lines[1];
        QCOMPARE(lines[0], message.replace("LIMITS", limits));
        QCOMPARE(shown.section(" | ", 2), tooltip.replace("LIMITS", limits));
        QVERIFY2(shown.startsWith("setpoints " + setpoints + " |"), qPrintable(shown));
        QCOMPARE(shown.contains("上次发送："), kind == "same" || kind.startsWith("limits"));
        QCOMPARE(first.readAvailable(0) + second.readAvailable(0), QByteArray());   // nothing sent at Open
        panel.terminate();
        QVERIFY(panel.waitForFinished(5000));
        if (kind != "same" && kind != "another" && !kind.startsWith("limits"))
            QVERIFY2(panel.readAllStandardError().contains("working point not restored"), "no word of the damaged record");
        QDir(store).removeRecursively();
    }

    // Whatever is at the store's path, the frame is on the line before the
    // store is waited for, and the whole send keeps within 250 ms.
    void unusableStore_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<Loaded>("loaded");   // what remembered() finds
        QTest::addColumn<QString>("why");     // in the warning of the row not written
        QTest::newRow("FIFO") << "fifo" << Loaded::Unusable << "not a regular file \\(a FIFO\\)";
        QTest::newRow("lock held elsewhere") << "locked" << Loaded::Found << "database is locked";
        QTest::newRow("random bytes") << "random" << Loaded::Unusable << "file is not a database";
        QTest::newRow("read-only folder") << "readonly" << Loaded::None << "unable to open database file";
    }
    void unusableStore()
    {
        QFETCH(QString, kind);
        QFETCH(Loaded, loaded);
        QFETCH(QString, why);
        forgetWorkingPoints();
        const QString store = laser::WorkingPointStore::defaultPath(), folder = QFileInfo(store).path();
        QVERIFY(QDir().mkpath(folder));
        Pty pty;
        QSqlDatabase holder;
        if (kind == "fifo") {
            QVERIFY(mkfifo(QFile::encodeName(store), 0600) == 0);
        } else if (kind == "locked") {
            QVERIFY(laser::WorkingPointStore().save(laser::workingPointKey(pty.slaveName()), laser::initialPoint(laser::buildVariant()), QDateTime::currentDateTimeUtc(), "panel", nullptr));
            holder = other();
            QVERIFY(QSqlQuery(holder).exec("BEGIN EXCLUSIVE"));
        } else if (kind == "random") {
            QFile f(store);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(4096, '\x5a')) == 4096);
        } else {
            // The root user writes in read-only folders; not in immutable ones.
            QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            if (geteuid() == 0)
                QCOMPARE(QProcess::execute("chattr", {"+i", folder}), 0);
        }
        const auto restore = qScopeGuard([&] {
            if (kind == "readonly" && geteuid() == 0)
                QProcess::execute("chattr", {"-i", folder});
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        });
        laser::PortSession session;
        session.setVariant(laser::buildVariant());
        QVERIFY(session.open(pty.slaveName(), QIODevice::ReadWrite, nullptr));
        QElapsedTimer clock;
        clock.start();
        laser::WorkingPoint p;
        QString error;
        QCOMPARE(session.remembered(p, nullptr, &error), loaded);
        QVERIFY2(clock.elapsed() < 250, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(loaded != Loaded::Unusable || error.contains(QRegularExpression(why)), qPrintable(error));

        qint64 frameAt = -1;
        std::thread line([&] { if (pty.readAtLeast(13, 1000).size() == 13) frameAt = clock.elapsed(); });
        if (kind != "locked")
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("working point not remembered: .*" + why));
        clock.restart();
        QCOMPARE(session.send(laser::initialPoint(laser::buildVariant())), laser::PortSession::Sent::Ok);
        const qint64 sendMs = clock.elapsed();
        line.join();
        QVERIFY2(sendMs < 250, qPrintable(QString::number(sendMs)));
        QVERIFY2(frameAt >= 0 && frameAt < laser::store::kWaitMs / 2, qPrintable(QString::number(frameAt)));
        if (kind == "locked") {   // only busy: the row is written once the lock goes
            QSqlQuery(holder).exec("COMMIT");
            QVector<laser::WorkingPointStore::Entry> rows;
            QTRY_VERIFY(laser::WorkingPointStore().history(laser::workingPointKey(pty.slaveName()), 9, rows, nullptr) && rows.size() == 2);
        }
    }

    // Two laserctl set loops and the panel's sends at once, 500 ports in all:
    // every one is in the store.
    void concurrentWriters()
    {
        forgetWorkingPoints();
        QTemporaryDir links;
        Pty ptys[2];
        QProcess loops[2];
        for (int i = 0; i < 2; ++i)
            loops[i].start("sh", {"-c", QString("for i in $(seq 50); do ln -s %1 %2/%3-$i && %4 set -p %2/%3-$i --current 1 "
                                                 ">/dev/null || exit 1; echo; done")
                                            .arg(ptys[i].slaveName(), links.path(), QString::number(i), LASERCTL_PATH)});
        const laser::WorkingPoint point = laser::initialPoint(laser::buildVariant());
        for (int saved = 0; saved < 400; ++saved) {
            loops[saved % 2].waitForReadyRead(20);   // paced by the loops' commands
            QString why;
            // A long wait stands in for the session's tries again.
            QVERIFY2(laser::WorkingPointStore().save(QString("panel:%1").arg(saved), point, QDateTime::currentDateTimeUtc(), "panel", &why, 2000), qPrintable(why));
        }
        for (QProcess &loop : loops) {
            // Generous: under the sanitizers and a loaded machine each laserctl takes a while.
            QVERIFY(loop.state() == QProcess::NotRunning || loop.waitForFinished(120000));
            QCOMPARE(loop.exitCode(), 0);
        }
        QSqlQuery q(other());
        QVERIFY(q.exec("SELECT COUNT(DISTINCT key) FROM points") && q.next());
        QCOMPARE(q.value(0).toInt(), 500);
    }

    // workingpoints.ini of an earlier version is taken in once and listed
    // with what was sent since, newest first.
    void importAndHistory()
    {
        forgetWorkingPoints();
        const QString key = laser::workingPointKey("/dev/ttyX");
        {
            QSettings ini(laser::WorkingPointStore::iniPath(), QSettings::IniFormat);
            ini.beginGroup(QUrl::toPercentEncoding(key));
            for (const auto &[name, value] : {std::pair{"current_A", "2.40"}, {"pulse_ns", "12.50"}, {"freq_kHz", "1000"},
                                              {"trigger", "external"}, {"sent", "2026-01-02T03:04:05.006Z"}})
                ini.setValue(name, value);
        }
        const QStringList before = laserctl({"history", "-p", "/dev/ttyX"});
        QCOMPARE(laserctl({"history", "-p", "/dev/ttyX"}), before);
        QCOMPARE(before.size(), 1);
        QVERIFY2(before[0].endsWith("  current 2.40 A  pulse 12.50 ns  frequency 1000 kHz  trigger external  by workingpoints.ini"), qPrintable(before[0]));
        for (const char *sender : {"laserctl", "script 42"})
            QVERIFY(laser::WorkingPointStore().save(key, laser::initialPoint(laser::buildVariant()), QDateTime::currentDateTimeUtc(), sender, nullptr));
        const QStringList after = laserctl({"history", "-p", "/dev/ttyX", "-n", "2", "--json"});
        QCOMPARE(after.size(), 2);
        QVERIFY2(after[0].contains("\"sender\":\"script 42\"") && after[1].contains("\"sender\":\"laserctl\""), qPrintable(after.join('\n')));
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
        QVERIFY2(laserctl({"set", "-p", pty.slaveName(), "--current", "1"}).join('\n').contains("kept from the working point last sent"),
                 "no word of what was kept");
        QCOMPARE(pty.readAtLeast(13).toHex(' ').left(23), QByteArray("a5 5a 01 05 22 00 00 32"));
    }
};

QTEST_MAIN(WorkingPointTest)
#include "tst_workingpoint.moc"
