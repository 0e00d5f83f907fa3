#pragma once

#include "storedb.h"
#include "workingpointstore.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <unistd.h>

// Tests never touch the user's settings nor data: under CTest each has
// folders of its own, and run by hand it gets them in the temporary folder.
inline const bool kTestHome = [] {
    const QByteArray home = QFile::encodeName(QDir::tempPath()) + "/laserpanel-test-" + QByteArray::number(::getpid());
    for (const char *folder : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"})
        if (!qEnvironmentVariableIsSet(folder))
            qputenv(folder, home + '/' + folder);
    return true;
}();

// Pseudo-terminal names come round again: no working point from an earlier case.
inline void forgetWorkingPoints()
{
    laser::store::closeConnection();
    const QString db = laser::WorkingPointStore::defaultPath();
    for (const QString &file : {db, db + "-wal", db + "-shm", laser::WorkingPointStore::iniPath()})
        QFile::remove(file);
}
