// C2CD: TC2CDDlg, the modal "Burn" dialog that hands project files to the external burner one
// after the other and waits while a burner runs, and the burner's project files.
#pragma once

#include "mainwindow/handoff/BurnerWatch.h"

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// The program's per-user data folder with a trailing "/", where the project files go:
// UserDataFolder of the running executable and the application title.
QString BurnDataFolder();
// The project file number Index (from 0): the data folder, Prefix, "_", Index, ".c2c".
QString ProjectFilePath(const QString& Prefix, int Index);
// Writes the list of files to burn, one full path per line, each line ended by CR LF, replacing
// FileName. Paths are written as the system spells file names. False when it cannot be written.
bool WriteProjectFile(const QString& FileName, const QStringList& Files);

class TC2CDDlg : public QDialog {
    Q_OBJECT
public:
    explicit TC2CDDlg(QWidget* Parent = nullptr);

    int ProjectCount = 0; // project files to hand over, one after the other
    int StartedCount = 0; // projects started so far
    bool Launching = false;
    QString ProjectPrefix;

    // Shows the dialog modally until every project was handed over (true) or the user cancelled
    // (false). Without a burner, a project or a prefix it returns false at once, showing nothing.
    bool Run();
    // The burner's lock is held, or the burner this dialog started last still runs.
    bool BurnerRunning() const;
    // Starts the burner for project N (from 1) and returns once it has started.
    void LaunchNext(int N);
    void tmrTimer();

    // What the burner gets for project N: the switch "/datafl" and the project file's path.
    QStringList BurnerArguments(int N) const;

    QLabel* banner_img;
    QProgressBar* prog;
    QPushButton* cancel_btn;
    QTimer* tmr;

private:
    TStartedProcess burner_;
    bool running_ = false;
};
