#pragma once

#include "workingpointstore.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <unistd.h>

// Tests never touch the user's settings: under CTest each has a folder of its
// own, and run by hand it gets one in the temporary folder.
inline const bool kTestHome = [] {
    if (!qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(QDir::tempPath()) + "/laserpanel-test-" + QByteArray::number(::getpid()));
    return true;
}();

// Pseudo-terminal names come round again: no working point from an earlier case.
inline void forgetWorkingPoints()
{
    QFile::remove(laser::WorkingPointStore::defaultPath());
}
