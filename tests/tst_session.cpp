// The port session on real pseudo-terminals: what it refuses, what it reports
// when commands cannot leave, the alarms it raises.
#include "portsession.h"
#include "ptypair.h"
#include "commandframe.h"

#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

using laser::LinkEvent;
using laser::PortSession;

class SessionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<laser::LinkEvent>(); }

    // A name swapped between the check and the open, from the laser's line
    // to this program's own terminal, never gets a command written to it.
    void refusalFollowsTheHandle()
    {
        Pty own, laser;
        const int saved = ::dup(0), fd = ::open(QFile::encodeName(own.slaveName()).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(saved >= 0 && fd >= 0 && ::dup2(fd, 0) == 0);   // now our standard input: a terminal of our own
        ::close(fd);
        QTemporaryDir dir;
        const QByteArray link = QFile::encodeName(dir.filePath("link"));
        const QByteArray spare = QFile::encodeName(dir.filePath("spare"));
        const QByteArray targets[] = {QFile::encodeName(own.slaveName()), QFile::encodeName(laser.slaveName())};
        QVERIFY(::symlink(targets[1].constData(), link.constData()) == 0);
        std::atomic<bool> done{false};
        std::thread swapper([&] {
            for (unsigned i = 0; !done; ++i) {
                ::unlink(spare.constData());
                if (::symlink(targets[i % 2].constData(), spare.constData()) == 0)
                    ::rename(spare.constData(), link.constData());
                std::this_thread::yield();
            }
        });
        int opened = 0, refused = 0;
        PortSession session;
        // Until both ways have come up often, however the two threads are scheduled.
        for (QDeadlineTimer deadline(30000); (opened < 20 || refused < 20) && !deadline.hasExpired();) {
            laser::OpenFailure failure;
            if (!session.open(QString::fromLocal8Bit(link), QIODevice::ReadWrite, &failure)) {
                refused += failure.kind == laser::OpenFailure::Refused;
                continue;
            }
            ++opened;
            session.send(laser::WorkingPoint{false, 1, 34, 20, 30});
            session.close();
        }
        done = true;
        swapper.join();
        ::dup2(saved, 0);
        ::close(saved);
        QVERIFY2(opened > 0 && refused > 0, qPrintable(QStringLiteral("%1 opened, %2 refused").arg(opened).arg(refused)));
        QCOMPARE(own.readAvailable(), QByteArray());
        QCOMPARE(laser.readAvailable().size(), opened * laser::kFrameSize);
    }

    // The far end takes nothing: Send stops queueing at the backlog limit,
    // Close returns within its drain bound, and what it cannot deliver is
    // counted, reported once, and is exactly what the far end never got.
    void undeliveredCommandsAtClose()
    {
        Pty pty;
        PortSession session;
        QSignalSpy sent(&session, &PortSession::commandSent);
        QSignalSpy events(&session, &PortSession::linkEvent);
        QVERIFY(session.open(pty.slaveName(), QIODevice::ReadWrite, nullptr));
        PortSession::Sent result = PortSession::Sent::Ok;
        for (QDeadlineTimer deadline(20000); result == PortSession::Sent::Ok && !deadline.hasExpired();) {
            result = session.send(laser::WorkingPoint{false, 1, 34, 20, 30});
            QCoreApplication::processEvents();
        }
        QCOMPARE(result, PortSession::Sent::Backlog);
        const int waiting = session.waitingCommands();
        QVERIFY(waiting > 0 && waiting <= 11);   // one frame past the limit at most
        QElapsedTimer closing;
        closing.start();
        const int dropped = session.close();
        QVERIFY2(closing.elapsed() < 1500, qPrintable(QString("Close took %1 ms").arg(closing.elapsed())));
        QCOMPARE(dropped, waiting);
        QCOMPARE(events.at(events.size() - 2).at(2).toString(), QStringLiteral("%1 commands not delivered").arg(dropped));
        QCOMPARE(events.last().at(1).value<LinkEvent>(), LinkEvent::Close);
        QByteArray received;
        for (QByteArray more; !(more = pty.readAvailable(100)).isEmpty();)
            received += more;
        QCOMPARE(received.size(), (sent.size() - dropped) * laser::kFrameSize);
    }

    // Faults as the laser reports them, frame by frame: supply flag (bit 0),
    // TEC lock (bit 1), temperature code.
    void alarms_data()
    {
        QTest::addColumn<QStringList>("frames");   // "flags" or "flags:temperature code"
        QTest::addColumn<QStringList>("events");
        QTest::newRow("supply fault and back") << QStringList{"03", "02", "02", "03"}
                                               << QStringList{"alarm pump_supply", "alarm_cleared pump_supply"};
        QTest::newRow("unlocked while warming up") << QStringList{"01", "01", "03"} << QStringList{};
        QTest::newRow("lock lost after locked") << QStringList{"01", "03", "01", "03"}
                                                << QStringList{"alarm tec_lock", "alarm_cleared tec_lock"};
        QTest::newRow("three in one frame") << QStringList{"03", "00:05a4", "03"}
            << QStringList{"alarm pump_supply", "alarm tec_lock", "alarm pump_temperature",
                           "alarm_cleared pump_supply", "alarm_cleared tec_lock", "alarm_cleared pump_temperature"};
    }
    void alarms()
    {
        QFETCH(QStringList, frames);
        Pty pty;
        PortSession session;
        QStringList seen;
        connect(&session, &PortSession::linkEvent, this, [&](const QDateTime &, LinkEvent e, const QString &detail) {
            if (e == LinkEvent::Alarm || e == LinkEvent::AlarmCleared)
                seen << (e == LinkEvent::Alarm ? "alarm " : "alarm_cleared ") + detail;
        });
        QSignalSpy decoded(&session, &PortSession::statusDecoded);
        QVERIFY(session.open(pty.slaveName(), QIODevice::ReadOnly, nullptr));
        for (const QString &f : frames) {
            const QString temperature = f.section(':', 1, 1).isEmpty() ? "0465" : f.section(':', 1, 1);
            pty.write(QByteArray::fromHex(("a55a 0030 00 00 " + temperature + " 0000 " + f.left(2) + " eeff").toLatin1()));
            QVERIFY(decoded.wait(2000));
        }
        QTEST(seen, "events");
    }
};

QTEST_GUILESS_MAIN(SessionTest)
#include "tst_session.moc"
