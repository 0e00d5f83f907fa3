// laserpanel-store-wait [ROUNDS]: for each state of the store (healthy, a
// FIFO, a lock held by another process in an open write transaction, a
// read-only folder, random bytes), ROUNDS times with a fresh connection, how
// long remembered() at Open and send() hold the thread, and when the frame
// reached the pseudo-terminal after send() began. Worst and median in ms.
// The lock is held by python3's sqlite3; XDG_DATA_HOME should be a folder of
// the run's own.
#include "portsession.h"
#include "ptypair.h"
#include "storedb.h"
#include "testhome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
struct Figures {
    QVector<qint64> open, send, frame;
};

QString ms(QVector<qint64> v)
{
    std::sort(v.begin(), v.end());
    return QStringLiteral("%1 (median %2)").arg(v.last()).arg(v[v.size() / 2]);
}

void round(Figures &f)
{
    laser::store::closeConnection();
    Pty pty;
    laser::PortSession session;
    session.setVariant(laser::buildVariant());
    session.open(pty.slaveName(), QIODevice::ReadWrite, nullptr);
    QElapsedTimer clock;
    clock.start();
    laser::WorkingPoint p;
    session.remembered(p, nullptr, nullptr);
    f.open << clock.elapsed();
    qint64 frameAt = -1;
    std::thread line([&] { if (pty.readAtLeast(13, 2000).size() == 13) frameAt = clock.elapsed(); });
    clock.restart();
    session.send(laser::initialPoint(laser::buildVariant()));
    f.send << clock.elapsed();
    line.join();
    f.frame << frameAt;
}
} // namespace

int main(int argc, char **argv)
{
    // The store's warnings are what is measured here, not news.
    qputenv("QT_LOGGING_RULES", "default.warning=false");
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const QString store = laser::WorkingPointStore::defaultPath(), folder = QFileInfo(store).path();
    bool within = true;
    for (const QString kind : {"healthy", "FIFO", "locked", "read-only folder", "random bytes"}) {
        forgetWorkingPoints();
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        QProcess holder;
        if (kind == "FIFO") {
            mkfifo(QFile::encodeName(store), 0600);
        } else if (kind == "locked") {
            laser::WorkingPointStore().save("port:earlier", laser::initialPoint(laser::buildVariant()),
                                            QDateTime::currentDateTimeUtc(), "panel", nullptr);
            laser::store::closeConnection();
            holder.start("python3", {"-c", "import sqlite3, sys\nc = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                           "c.execute('BEGIN EXCLUSIVE')\nprint('held', flush=True)\nsys.stdin.read()",
                                     store});
            if (!holder.waitForReadyRead(10000))
                return std::fprintf(stderr, "no lock held (python3?)\n"), 2;
        } else if (kind == "read-only folder") {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            if (geteuid() == 0)   // root writes in read-only folders
                QProcess::execute("chattr", {"+i", folder});
        } else if (kind == "random bytes") {
            QByteArray bytes(1 << 16, '\0');
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
            QFile f(store);
            if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
                return std::fprintf(stderr, "cannot write %s\n", qPrintable(store)), 2;
        }
        Figures f;
        for (int i = 0; i < rounds; ++i)
            round(f);
        if (kind == "read-only folder" && geteuid() == 0)
            QProcess::execute("chattr", {"-i", folder});
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        holder.closeWriteChannel();
        holder.waitForFinished(5000);
        std::printf("%-17s Open %s ms, send %s ms, frame on the line %s ms after send began\n", qPrintable(kind),
                    qPrintable(ms(f.open)), qPrintable(ms(f.send)), qPrintable(ms(f.frame)));
        within = within && *std::max_element(f.open.begin(), f.open.end()) <= 250
            && *std::max_element(f.send.begin(), f.send.end()) <= 250 && !f.frame.contains(-1);
    }
    return within ? 0 : 1;
}
