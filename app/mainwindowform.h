#pragma once

#include "ui_mainwindow.h"

// uic names the class and the translation context after <class>MainWindow</class>.
using MainWindowForm = Ui::MainWindow;
