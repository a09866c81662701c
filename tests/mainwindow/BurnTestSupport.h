// BurnTestSupport: a private settings store, data and runtime folders and PATH for the burn and
// hand-off tests, launches seen through the shell hook, and stand-in programs that record how
// they were started.
#pragma once

#include "mainwindow/dialogs/U_MsgDlg.h"
#include "tests/mainwindow/MainWindowTestSupport.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

class TC2CDDlg;

namespace burntest {

// A shell script that appends its arguments (one per line, then "--") to Record, keeps running
// while Hold exists, and creates Ended when it ends.
struct TStandIn {
    std::string Path;
    std::string Record;
    std::string Hold;
    std::string Ended;
    // The argument lists of its runs so far.
    std::vector<std::vector<std::string>> Calls() const;
    // Waits until it has been started Count times.
    bool WaitForCalls(size_t Count) const;
};
// Makes the script at Path (executable unless Executable is false).
TStandIn MakeStandIn(const std::string& Path, bool Executable = true);

struct TLaunch {
    TShellTarget Kind;
    QString Target;
    QString Parameters;
};

class BurnTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a string value of HKEY_CURRENT_USER "Software\XOL".
    void SetXolValue(const std::string& Name, const std::string& Value);
    // A file standing for the current AVI file (the hand-off never reads it).
    std::string MakeCurrentFile(const std::string& Name);
    // Where the project file of the burn goes, spelt out independently of the code.
    std::string ProjectFile(const std::string& Name) const;
    // Runs Dlg, calling OnTick after each of its timer ticks with the tick's number (from 1).
    // Stops the dialog with a failure should it still run after a great many ticks.
    bool RunCounted(TC2CDDlg& Dlg, const std::function<void(int Tick)>& OnTick);
    // Stops recording launches, so that they reach the desktop (started programs for real).
    void LaunchForReal();
    // A program of this machine, searched on the PATH the tests were started with.
    QString SystemTool(const char* Name) const;

    std::string dir;
    std::string bin; // the only folder on PATH
    mwtest::TBoxes boxes;
    std::vector<TLaunch> launches;
    bool launchesTaken = true; // what the desktop answers to each launch
    TC2CDDlg* dlg = nullptr;

private:
    QByteArray oldPath;
    QByteArray oldData;
    QByteArray oldRuntime;
    TShellHook oldShellHook;
};

} // namespace burntest
