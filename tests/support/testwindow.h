#pragma once

#include "app/mainwindow.h"
#include "app/settings.h"
#include "scripteddialogs.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <memory>

// A main window for a test: scripted dialogs, a settings file of its own in a temporary
// folder, a random draw that never visits the web site, and the program's own folder.
struct TestWindow
{
    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    std::unique_ptr<SettingsStore> settings;
    double randomFraction = 0.5;
    QString desktop;
    std::unique_ptr<MainWindow> form;

    TestWindow();
    // The folder that holds the program's own files: the test program's folder, or the one
    // named by TUNEPRESS_TEST_PROGRAM_DIR (an installed copy, for the installation test).
    static QString ProgramFolder();

    // Creates the window; call startUp() yourself or use load().
    MainWindow& create(const QString& programFolder = ProgramFolder());
    MainWindow& load(const QString& programFolder = ProgramFolder());
    QString settingsFile() const;
};
