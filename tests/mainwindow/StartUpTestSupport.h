// StartUpTestSupport: a settings store, per-user folders and an update host of the tests' own for
// runs of the program's start-up and shutdown, and the forms started the way activation starts
// them.
#pragma once

#include "mainwindow/AppForms.h"
#include "tests/mainwindow/MainWindowTestSupport.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace startup {

// What the installed program's uninstall entry is named in the tests' hive.
inline constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Clipvane";

// Writes or removes the uninstall entry that makes the program count as installed.
void SetInstalled(bool Installed);
// HKEY_CURRENT_USER values of the program key and the maker key.
void WriteAppString(const std::string& Name, const std::string& Value);
void WriteAppDword(const std::string& Name, uint32_t Value);
bool AppKeyExists();
// "" when missing.
std::string MakerValue(const std::string& Name);

// The message of each log line, oldest first (level and time stamp left out).
std::vector<std::string> Messages(const std::vector<std::string>& Lines);
long IndexOf(const std::vector<std::string>& Messages, const std::string& Start);

// Every test gets its own settings hive, XDG folders and current folder, made before any form;
// the program counts as installed and the start-up check is off unless a test changes that. The
// update host is a loopback port where nothing listens, so a check fails at once.
class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the forms (the portable import included) with CommandLine as the arguments.
    void Create(const QStringList& CommandLine = {});
    // The application's first activation: language list, then the start-up sequence.
    void Activate();
    // Create and Activate.
    void Start(const QStringList& CommandLine = {});
    // Deletes the forms (safe when there are none).
    void Destroy();
    std::vector<std::string> LogMessages() const;

    TAppForms forms;
    TMainDlg* dlg = nullptr;
    mwtest::TBoxes boxes;
    std::string dir;
    QString previousCurrent;
};

} // namespace startup
