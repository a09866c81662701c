// C2CD: the burn dialog and the burner's project files.
#include "mainwindow/handoff/C2CD.h"

#include "localisation/ui/ComponentModel.h"
#include "mainwindow/handoff/XolPrograms.h"
#include "support/platform/U_SystemFacts.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int kClientWidth = 201;
constexpr int kClientHeight = 91;
constexpr int kBannerHeight = 40;

// The banner: a disc on a dark band, drawn here rather than shipped as a picture.
QPixmap BannerPicture() {
    QPixmap picture(kClientWidth, kBannerHeight);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, kClientWidth, 0);
    band.setColorAt(0, QColor(0x20, 0x2a, 0x3a));
    band.setColorAt(1, QColor(0x44, 0x5a, 0x7a));
    painter.fillRect(picture.rect(), band);
    const QRectF disc(8, 4, 32, 32);
    QLinearGradient shine(disc.topLeft(), disc.bottomRight());
    shine.setColorAt(0, QColor(0xe8, 0xe8, 0xf0));
    shine.setColorAt(0.5, QColor(0xa8, 0xc0, 0xe0));
    shine.setColorAt(1, QColor(0xd8, 0xc8, 0xe8));
    painter.setPen(QPen(QColor(0x90, 0x90, 0xa0), 1));
    painter.setBrush(shine);
    painter.drawEllipse(disc);
    painter.setBrush(QColor(0x20, 0x2a, 0x3a));
    painter.drawEllipse(disc.center(), 4, 4);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(15);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(48, 0, kClientWidth - 52, kBannerHeight), Qt::AlignVCenter,
                     QStringLiteral("Burn"));
    return picture;
}

} // namespace

QString BurnDataFolder() {
    const std::string exe = QCoreApplication::applicationFilePath().toStdString();
    const std::string title = QCoreApplication::applicationName().toStdString();
    return QString::fromStdString(UserDataFolder(exe, title));
}

QString ProjectFilePath(const QString& Prefix, int Index) {
    return BurnDataFolder() + Prefix + QLatin1Char('_') + QString::number(Index) +
           QStringLiteral(".c2c");
}

bool WriteProjectFile(const QString& FileName, const QStringList& Files) {
    QByteArray text;
    for (const QString& path : Files)
        text += QFile::encodeName(path) + "\r\n";
    QFile file(FileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = file.write(text) == text.size();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

TC2CDDlg::TC2CDDlg(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("C2CDDlg"));
    setWindowTitle(QStringLiteral("Burn"));
    setFixedSize(kClientWidth, kClientHeight);

    banner_img = new QLabel(this);
    banner_img->setObjectName(QStringLiteral("banner_img"));
    banner_img->setGeometry(0, 0, kClientWidth, kBannerHeight);
    banner_img->setPixmap(BannerPicture());

    prog = new QProgressBar(this);
    prog->setObjectName(QStringLiteral("prog"));
    prog->setGeometry(8, 48, kClientWidth - 16, 12);
    prog->setTextVisible(false);
    prog->setRange(0, 1);
    prog->setValue(0);

    cancel_btn = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_btn->setObjectName(QStringLiteral("cancel_btn"));
    cancel_btn->setGeometry((kClientWidth - 75) / 2, 64, 75, 24);
    connect(cancel_btn, &QPushButton::clicked, this, &QDialog::reject);

    tmr = new QTimer(this);
    tmr->setObjectName(QStringLiteral("tmr"));
    tmr->setInterval(1000);
    connect(tmr, &QTimer::timeout, this, [this] { tmrTimer(); });

    // Language files address these by name, in this order.
    for (QObject* component : {static_cast<QObject*>(banner_img), static_cast<QObject*>(prog),
                               static_cast<QObject*>(cancel_btn), static_cast<QObject*>(tmr)})
        comp::Own(this, component);
}

bool TC2CDDlg::Run() {
    if (FindBurner().isEmpty() || ProjectCount < 1 || ProjectPrefix.isEmpty())
        return false;
    prog->setRange(0, ProjectCount);
    prog->setValue(0);
    StartedCount = 0;
    running_ = true;
    tmr->start();
    const int result = exec();
    tmr->stop();
    running_ = false;
    Launching = false;
    return result == QDialog::Accepted;
}

bool TC2CDDlg::BurnerRunning() const {
    // A burner that keeps no lock (or a runtime folder that is missing) still holds the queue
    // for as long as the process we started runs.
    return LockFileHeld(BurnerLockFile()) || ProcessRunning(burner_);
}

void TC2CDDlg::tmrTimer() {
    if (BurnerRunning() || Launching)
        return;
    if (StartedCount == ProjectCount) {
        done(QDialog::Accepted);
        return;
    }
    ++StartedCount;
    prog->setValue(StartedCount);
    // Set before the launch is queued, so that no tick in between can take the queue for done.
    Launching = true;
    const int n = StartedCount;
    QMetaObject::invokeMethod(
        this,
        [this, n] {
            // A launch still queued when the user cancelled starts nothing.
            if (running_)
                LaunchNext(n);
            else
                Launching = false;
        },
        Qt::QueuedConnection);
}

void TC2CDDlg::LaunchNext(int N) {
    Launching = true;
    // Failures are not reported: the next tick finds the queue done and closes the dialog.
    burner_ = StartProgram(FindBurner(), BurnerArguments(N));
    Launching = false;
}

QStringList TC2CDDlg::BurnerArguments(int N) const {
    return {QStringLiteral("/datafl"), ProjectFilePath(ProjectPrefix, N - 1)};
}
