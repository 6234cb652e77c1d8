#pragma once

#include "app/form1.h"
#include "app/settings.h"
#include "scripteddialogs.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <memory>

// A main window for a test: scripted dialogs, a settings file of its own in a temporary
// folder, a random draw that never visits the web site, and the program's own folder.
struct TestForm
{
    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    std::unique_ptr<SettingsStore> settings;
    double randomFraction = 0.5;
    QString desktop;
    std::unique_ptr<Form1> form;

    TestForm();
    // The folder that holds the program's own files: the test program's folder, or the one
    // named by TUNEPRESS_TEST_PROGRAM_DIR (an installed copy, for the installation test).
    static QString ProgramFolder();

    // Creates the window; call Form_Load() yourself or use load().
    Form1& create(const QString& programFolder = ProgramFolder());
    Form1& load(const QString& programFolder = ProgramFolder());
    QString settingsFile() const;
};
