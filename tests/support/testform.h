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
    // Creates the window; call Form_Load() yourself or use load().
    Form1& create(const QString& programFolder = QCoreApplication::applicationDirPath());
    Form1& load(const QString& programFolder = QCoreApplication::applicationDirPath());
    QString settingsFile() const;
};
