#include "storedb.h"

#include "recordfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QSqlError>
#include <QThread>

#include <algorithm>

namespace laser::store {

namespace {
QMutex registryLock;
QSet<QString> &registry()
{
    static QSet<QString> names;
    return names;
}

QString connectionName()
{
    return QStringLiteral("laserpanel working points %1").arg(quintptr(QThread::currentThreadId()), 0, 16);
}

void forget(const QString &name)
{
    QSqlDatabase::removeDatabase(name);
    const QMutexLocker locked(&registryLock);
    registry().remove(name);
}

// At exit, so that SQLite folds its log back into the file.
void closeAll()
{
    const QMutexLocker locked(&registryLock);
    for (const QString &name : qAsConst(registry()))
        QSqlDatabase::removeDatabase(name);
    registry().clear();
}

void remember(const QString &name)
{
    const QMutexLocker locked(&registryLock);
    static bool routine = false;
    if (!routine && QCoreApplication::instance()) {
        qAddPostRoutine(closeAll);
        routine = true;
    }
    registry().insert(name);
}
} // namespace

void closeConnection()
{
    const QString name = connectionName();
    if (QSqlDatabase::contains(name))
        forget(name);
}

bool Use::open(bool create, QString *error)
{
    // SQLite would open a FIFO and wait on it for good: nothing but regular
    // files, its log and shared-memory files included.
    for (const QString &name : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")}) {
        const QString refusal = platform::notRegularFile(name);
        if (!refusal.isEmpty()) {
            *error = QStringLiteral("%1 is %2").arg(name, refusal);
            return false;
        }
    }
    const QString name = connectionName();
    const bool there = QFileInfo::exists(path);
    if (QSqlDatabase::contains(name)) {
        db = QSqlDatabase::database(name, false);
        // A file removed since is gone for good; a new one is opened afresh.
        if (db.databaseName() == path && db.isOpen() && there)
            return true;
        db = QSqlDatabase();
        forget(name);
    }
    // Reading makes the database only to take in an earlier version's file.
    if (!there && !create && !(QFileInfo::exists(iniPath) && platform::notRegularFile(iniPath).isEmpty()))
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    remember(name);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kWaitMs));
    QString why;
    if (!db.isValid())
        why = QStringLiteral("Qt's SQLite driver is missing; install libqt5sql5-sqlite");
    else if (!db.open())
        why = db.lastError().databaseText();
    else if (setUp(&why))
        return true;
    *error = QStringLiteral("%1 cannot be opened (%2)").arg(path, why);
    db = QSqlDatabase();
    forget(name);
    return false;
}

bool Use::setUp(QString *why)
{
    QSqlQuery q(db);
    // WAL: readers never wait for a writer. NORMAL: a commit does not wait
    // for the disk, and a crash loses at most the last commands.
    return run(q, QStringLiteral("PRAGMA journal_mode = WAL"), {}, why)
        && run(q, QStringLiteral("PRAGMA synchronous = NORMAL"), {}, why)
        && run(q,
               QStringLiteral("CREATE TABLE IF NOT EXISTS points (id INTEGER PRIMARY KEY, sent TEXT NOT NULL, "
                              "key TEXT NOT NULL, current_steps INTEGER NOT NULL, pulse_steps INTEGER NOT NULL, "
                              "freq_steps INTEGER NOT NULL, khz_per_step INTEGER NOT NULL, external INTEGER NOT NULL, "
                              "sender TEXT NOT NULL)"),
               {}, why)
        && run(q, QStringLiteral("CREATE INDEX IF NOT EXISTS points_by_key ON points (key, id)"), {}, why)
        && run(q, QStringLiteral("CREATE TABLE IF NOT EXISTS meta (name TEXT PRIMARY KEY, value TEXT NOT NULL)"), {}, why)
        && importIni(why);
}

bool Use::insert(const QString &key, const WorkingPoint &p, const QDateTime &sent, const QString &sender, QString *why)
{
    QSqlQuery q(db);
    return run(q,
               QStringLiteral("INSERT INTO points (sent, key, current_steps, pulse_steps, freq_steps, khz_per_step, "
                              "external, sender) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
               {sent.toUTC().toString(Qt::ISODateWithMs), key, p.currentSteps, p.pulseSteps, p.freqSteps, p.kHzPerStep,
                int(p.externalTrigger), sender},
               why);
}

bool Use::run(QSqlQuery &q, const QString &sql, const QVariantList &values, QString *why)
{
    // What this use waited already counts against the next statement.
    QSqlQuery(QStringLiteral("PRAGMA busy_timeout = %1").arg(std::max<qint64>(0, deadline.remainingTime())), db);
    if (q.prepare(sql)) {
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (q.exec())
            return true;
    }
    if (why)
        *why = q.lastError().databaseText();
    return false;
}

} // namespace laser::store
