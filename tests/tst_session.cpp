// The port session on real pseudo-terminals: what it refuses, what it reports
// when commands cannot leave, the alarms and silences it reports.
#include "csvrecord.h"
#include "portsession.h"
#include "ptypair.h"
#include "commandframe.h"

#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <termios.h>
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
        int opened = 0, refused = 0, leftOpen = 0;
        PortSession session;
        // Until both ways have come up often, however the two threads are scheduled.
        for (QDeadlineTimer deadline(30000); (opened < 20 || refused < 20) && !deadline.hasExpired();) {
            laser::PortFailure failure;
            if (!session.open(QString::fromLocal8Bit(link), QIODevice::ReadWrite, &failure)) {
                refused += failure.kind == laser::PortFailure::NotSerial;
                leftOpen += session.isOpen();
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
        QVERIFY2(opened > 0 && refused > 0 && leftOpen == 0,
                 qPrintable(QStringLiteral("%1 opened, %2 refused, %3 left open").arg(opened).arg(refused).arg(leftOpen)));
        QCOMPARE(own.readAvailable(), QByteArray());
        QCOMPARE(laser.readAvailable().size(), opened * laser::kFrameSize);
    }

    // The far end takes nothing: Send stops queueing at the backlog limit,
    // Close returns within its drain bound, and what it cannot deliver is
    // counted, a frame the line took only part of too, and reported once.
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
        QVERIFY(waiting > 0 && waiting <= 10);
        // The tail of a frame whose head went out, as a line that takes part of a write leaves it.
        session.port()->write(laser::encodeCommandFrame(laser::WorkingPoint{}).right(6));
        QElapsedTimer closing;
        closing.start();
        const int dropped = session.close();
        QVERIFY2(closing.elapsed() < 1500, qPrintable(QString("Close took %1 ms").arg(closing.elapsed())));
        QCOMPARE(dropped, waiting + 1);
        QCOMPARE(events.at(events.size() - 2).at(2).toString(), QStringLiteral("%1 commands not delivered").arg(dropped));
        QCOMPARE(events.last().at(1).value<LinkEvent>(), LinkEvent::Close);
        QByteArray received;
        for (QByteArray more; !(more = pty.readAvailable(100)).isEmpty();)
            received += more;
        QCOMPARE(received.size(), (sent.size() - waiting) * laser::kFrameSize);
    }

    // A line whose output is stopped takes nothing: ten commands queue, an
    // eleventh is refused, and Close reports those queued as not delivered.
    void commandsLeftAtClose_data()
    {
        QTest::addColumn<int>("sends");
        QTest::newRow("one") << 1;
        QTest::newRow("ten") << 10;
        QTest::newRow("eleven") << 11;
    }
    void commandsLeftAtClose()
    {
        QFETCH(int, sends);
        Pty pty;
        PortSession session;
        QSignalSpy events(&session, &PortSession::linkEvent);
        QVERIFY(session.open(pty.slaveName(), QIODevice::ReadWrite, nullptr));
        QCOMPARE(::tcflow(int(session.port()->handle()), TCOOFF), 0);
        for (int i = 1; i <= sends; ++i)
            QCOMPARE(session.send(laser::WorkingPoint{}), i <= 10 ? PortSession::Sent::Ok : PortSession::Sent::Backlog);
        QCOMPARE(session.close(), std::min(sends, 10));
        QCOMPARE(events.at(events.size() - 2).at(2).toString(), QStringLiteral("%1 commands not delivered").arg(std::min(sends, 10)));
    }

    // What the session reports, step by step: frames ("flags" or
    // "flags:temperature code"; supply flag bit 0, TEC lock bit 1), silence
    // ("+ms"), and an open over the open port.
    void events_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("supply fault and back") << QStringList{"03", "02", "02", "03"}
                                               << QStringList{"alarm pump_supply", "alarm_cleared pump_supply"};
        QTest::newRow("unlocked while warming up") << QStringList{"01", "01", "03"} << QStringList{};
        QTest::newRow("lock lost after locked") << QStringList{"01", "03", "01", "03"}
                                                << QStringList{"alarm tec_lock", "alarm_cleared tec_lock"};
        QTest::newRow("three in one frame") << QStringList{"03", "00:05a4", "03"}
            << QStringList{"alarm pump_supply", "alarm tec_lock", "alarm pump_temperature",
                           "alarm_cleared pump_supply", "alarm_cleared tec_lock", "alarm_cleared pump_temperature"};
        QTest::newRow("silence, then frames") << QStringList{"03", "+2100", "03", "03"}
            << QStringList{"stale no status for 2.1 s", "recovered status again after 2.1 s"};
        QTest::newRow("silence again after a reopen") << QStringList{"03", "+2100", "reopen", "+2100"}
            << QStringList{"stale no status for 2.1 s", "stale no status for 2.1 s"};
    }
    void events()
    {
        QFETCH(QStringList, steps);
        Pty pty;
        PortSession session;
        qint64 t = 0;
        session.setClock([&] { return t; });
        QStringList seen;
        connect(&session, &PortSession::linkEvent, this, [&](const QDateTime &, LinkEvent e, const QString &detail) {
            if (e != LinkEvent::Open)
                seen << laser::csv::eventKind(e) + ' ' + detail;
        });
        QSignalSpy decoded(&session, &PortSession::statusDecoded);
        for (const QString &step : QStringList{"reopen"} + steps) {
            if (step == "reopen") {
                QVERIFY(session.open(pty.slaveName(), QIODevice::ReadOnly, nullptr));
            } else if (step.startsWith('+')) {
                t += step.mid(1).toInt();
                session.checkStale();
            } else {
                const QString temperature = step.section(':', 1, 1).isEmpty() ? "0465" : step.section(':', 1, 1);
                pty.write(QByteArray::fromHex(("a55a 0030 00 00 " + temperature + " 0000 " + step.left(2) + " eeff").toLatin1()));
                QVERIFY(decoded.wait(2000));
            }
        }
        QTEST(seen, "events");
    }
};

QTEST_GUILESS_MAIN(SessionTest)
#include "tst_session.moc"
