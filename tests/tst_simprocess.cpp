// laser-sim as a program: its options and its link.
#include "ptypair.h"
#include "simprocess.h"

#include <QtTest>

class TestSimProcess : public QObject
{
    Q_OBJECT
private slots:
    // A whole number where one is asked for, a decimal one in range elsewhere;
    // strtod alone took fractions, hex, blanks and "inf".
    void numbers_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        auto bad = [](const char *name, const QStringList &args) { QTest::newRow(name) << args << 2; };
        auto good = [](const char *name, const QStringList &args) { QTest::newRow(name) << args << 0; };
        bad("burst fraction", {"--burst", "2.9"});
        bad("burst 0", {"--burst", "0"});
        bad("count fraction", {"--count", "1.5"});
        bad("count negative", {"--count", "-1"});
        bad("count exponent", {"--count", "1e3"});
        bad("seed hex float", {"--seed", "0x1p3"});
        bad("seed over 32 bits", {"--seed", "4294967296"});
        bad("seed empty", {"--seed", ""});
        bad("rate hex", {"--rate", "0x10"});
        bad("rate inf", {"--rate", "inf"});
        bad("rate nan", {"--rate", "nan"});
        bad("rate leading blank", {"--rate", " 5"});
        bad("rate trailing blank", {"--rate", "5 "});
        bad("temp over 80", {"--temp", "80.5"});
        bad("tau exponent cut", {"--tau", "1e"});
        good("burst 100", {"--burst", "100"});
        good("seed top", {"--seed", "4294967295"});
        good("rate exponent", {"--rate", "1e2"});
        good("temp signs", {"--temp", "-20", "--ramp", "+2.5"});
        good("tau fraction only", {"--tau", ".5"});
        good("hangup 0", {"--hangup-after", "0"});
    }
    void numbers()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        QProcess p;
        // --count 0 ends a run that starts at once; the row's options come after it.
        p.start(LASER_SIM_PATH, QStringList{"--link", dir.path() + "/laser", "--count", "0"} + args);
        QVERIFY(p.waitForFinished(5000));
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QCOMPARE(p.exitCode(), exitCode);
        if (exitCode == 2)
            QVERIFY2(err.contains(args[0] + ": '" + args[1] + "' is not"), qPrintable(err));
        else
            QVERIFY2(err.isEmpty(), qPrintable(err));
    }

    // An existing link is taken over only when it is a leftover: dangling, or to
    // a pseudo-terminal. Anything else is refused and left as it was.
    void existingLink_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("taken");
        QTest::newRow("link to a file") << "file" << false;
        QTest::newRow("link to a folder") << "folder" << false;
        QTest::newRow("link to a device, not a pty") << "/dev/null" << false;
        QTest::newRow("plain file") << "plain" << false;
        QTest::newRow("dangling link") << "gone" << true;
        QTest::newRow("link to a pty") << "pty" << true;
    }
    void existingLink()
    {
        QFETCH(QString, kind);
        QFETCH(bool, taken);
        QTemporaryDir dir;
        const QString link = dir.path() + "/laser";
        Pty pty;
        QFile(dir.path() + "/file").open(QIODevice::WriteOnly);
        QDir(dir.path()).mkdir("folder");
        const QString target = kind == "pty" ? pty.slaveName() : kind.startsWith('/') ? kind : dir.path() + "/" + kind;
        if (kind == "plain")
            QVERIFY(QFile(link).open(QIODevice::WriteOnly));
        else
            QVERIFY(QFile::link(target, link));

        SimProcess sim(LASER_SIM_PATH, {}, link);
        QVERIFY(QTest::qWaitFor([&] { return sim.has("link: ") || !sim.running(); }, 5000));
        if (!taken) {
            QTRY_VERIFY(!sim.running());
            QCOMPARE(sim.process.exitCode(), 1);
            QVERIFY(!sim.has("port: "));
            QCOMPARE(QFileInfo(link).symLinkTarget(), kind == "plain" ? QString() : QFileInfo(target).absoluteFilePath());
            QVERIFY(QFileInfo(link).isSymLink() == (kind != "plain"));
            return;
        }
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.find("port: ").mid(6));
        sim.process.terminate();
        QVERIFY(sim.process.waitForFinished(5000));
        QVERIFY(!QFileInfo(link).isSymLink());
    }

};

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_simprocess.moc"
