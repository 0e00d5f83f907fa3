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
    for (const char *folder : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS"})
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

// The limits files an administrator and the user write; empty text: none,
// "folder": a folder in the file's place. Returns the administrator's.
inline QString writeLimits(const QString &system, const QString &user = QString())
{
    const auto write = [](const char *folder, const QString &text) {
        const QString path = qEnvironmentVariable(folder) + "/laserpanel/limits.conf";
        QDir(path).removeRecursively();
        QFile::remove(path);
        QDir().mkpath(text == "folder" ? path : path.section('/', 0, -2));
        QFile file(path);
        if (!text.isEmpty() && text != "folder" && file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
        return path;
    };
    write("XDG_CONFIG_HOME", user);
    return write("XDG_CONFIG_DIRS", system);
}
