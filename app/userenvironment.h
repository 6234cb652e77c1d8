#pragma once

#include "app/mainwindow.h"

// The desktop folder for the default output folder: the user's desktop, or the home folder on
// desktops that have no desktop folder; "" when neither can be found.
QString DesktopFolder();

// What the main window is given when a person runs the program.
MainWindowEnvironment UserEnvironment(tp::Dialogs& dialogs, SettingsStore& settings);
