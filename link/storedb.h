#pragma once

#include "workingpoint.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantList>

// The working-point database: one SQLite file shared by the panel and
// laserctl, one connection per thread, kept open between uses.
namespace laser::store {

// All that one use may wait for another program's lock: with the work itself,
// on a busy machine too, the GUI thread is held for less than 250 ms.
constexpr int kWaitMs = 150;

// One use of the database: this thread's connection and what is left of the wait.
class Use
{
public:
    Use(const QString &path, const QString &iniPath, int waitMs = kWaitMs)
        : path(path), iniPath(iniPath), deadline(waitMs) {}
    Q_DISABLE_COPY(Use)
    // False with the reason in `error`. For reading (`create` false), a
    // database that is not there is left so: false with no reason.
    bool open(bool create, QString *error);
    // `sql` with `values` bound in order; false with SQLite's reason in `why`.
    bool run(QSqlQuery &query, const QString &sql, const QVariantList &values = {}, QString *why = nullptr);
    // One command sent, as a row of its own.
    bool insert(const QString &key, const WorkingPoint &point, const QDateTime &sent, const QString &sender, QString *why);
    QSqlDatabase db;

private:
    bool setUp(QString *why);
    bool importIni(QString *why);
    QString path, iniPath;
    QDeadlineTimer deadline;
};

// Closes this thread's connection; the next use opens it again.
void closeConnection();

} // namespace laser::store
