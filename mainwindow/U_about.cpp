// U_about: TAboutDlg, the About box, and the links behind its buttons.
#include "mainwindow/U_about.h"

#include "localisation/ui/C_TextStorageComponent.h"
#include "localisation/ui/ComponentModel.h"
#include "mainwindow/dialogs/U_MsgDlg.h"
#include "mainwindow/handoff/WebLinks.h"
#include "support/files/U_TobrelUtils.h"

#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

// The banner lives in this static library's resources, which a program only links when they are
// named.
static void InitAssets() {
    Q_INIT_RESOURCE(mainwindow);
}

namespace {

// The banner is drawn from its vector picture at the screen's pixel ratio, so it stays sharp
// on scaled screens.
class TBannerImage : public QWidget {
public:
    explicit TBannerImage(QWidget* Parent) : QWidget(Parent) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* /*Event*/) override {
        QPainter painter(this);
        picture_.paint(&painter, rect());
    }

private:
    QIcon picture_{QStringLiteral(":/assets/about-banner.svg")};
};

template <typename T> T* Named(T* Object, const char* Name) {
    Object->setObjectName(QString::fromLatin1(Name));
    return Object;
}

} // namespace

const std::vector<std::string>& AboutTexts() {
    static const std::vector<std::string> texts = {"About", "Application Name :", "Version :"};
    return texts;
}

TAboutDlg::TAboutDlg(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint) {
    InitAssets();
    setObjectName(QStringLiteral("AboutDlg"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(389, 285);

    banner_img = Named(new TBannerImage(this), "banner_img");
    banner_img->setGeometry(0, 0, 388, 96);
    subtitle_lbl =
        Named(new QLabel(QStringLiteral("Easy movie splitter"), banner_img), "subtitle_lbl");
    subtitle_lbl->setGeometry(164, 56, 220, 22);
    QFont subtitleFont(QStringLiteral("DejaVu Sans"));
    subtitleFont.setPixelSize(14);
    subtitle_lbl->setFont(subtitleFont);
    subtitle_lbl->setStyleSheet(QStringLiteral("color: #ffffff; background: transparent;"));

    app_grp = Named(new QGroupBox(QStringLiteral("Application"), this), "app_grp");
    app_grp->setGeometry(8, 102, 373, 72);
    appname_lbl = Named(new QLabel(QStringLiteral("Application Name :"), app_grp), "appname_lbl");
    appname_lbl->setGeometry(12, 22, 349, 18);
    version_lbl = Named(new QLabel(QStringLiteral("Version :"), app_grp), "version_lbl");
    version_lbl->setGeometry(12, 44, 349, 18);

    maker_grp = Named(new QGroupBox(QStringLiteral("Quorlen"), this), "maker_grp");
    maker_grp->setGeometry(8, 180, 373, 60);
    email_btn = Named(new QPushButton(QStringLiteral("Email"), maker_grp), "email_btn");
    email_btn->setGeometry(12, 24, 109, 26);
    web_btn = Named(new QPushButton(QStringLiteral("Web Site"), maker_grp), "web_btn");
    web_btn->setGeometry(132, 24, 109, 26);
    forum_btn = Named(new QPushButton(QStringLiteral("Forums"), maker_grp), "forum_btn");
    forum_btn->setGeometry(252, 24, 109, 26);

    ok_btn = Named(new QPushButton(QStringLiteral("Ok"), this), "ok_btn");
    ok_btn->setGeometry(153, 250, 83, 27);
    ok_btn->setDefault(true);

    TS_about = new TTextStorageComponent(QStringLiteral("TS_about"), AboutTexts(), this);

    for (QObject* component : std::initializer_list<QObject*>{
             banner_img, subtitle_lbl, app_grp, appname_lbl, version_lbl, maker_grp, email_btn,
             web_btn, forum_btn, ok_btn, TS_about})
        comp::Own(this, component);

    connect(email_btn, &QPushButton::clicked, this, [this] { email_btnClick(); });
    connect(web_btn, &QPushButton::clicked, this, [this] { web_btnClick(); });
    connect(forum_btn, &QPushButton::clicked, this, [this] { forum_btnClick(); });
    connect(ok_btn, &QPushButton::clicked, this, &QDialog::accept);
}

int TAboutDlg::Execute() {
    const QWidget* owner = parentWidget() ? parentWidget()->window() : comp::MainForm();
    if (owner && owner != this)
        move(owner->frameGeometry().center() - rect().center());
    return exec();
}

void TAboutDlg::FillTexts(const QString& Title, const QString& ExePath) {
    const QString version =
        QString::fromStdString(FileVersionText(QFile::encodeName(ExePath).toStdString()));
    setWindowTitle(TS_about->Translate(QStringLiteral("About")) + QLatin1Char(' ') + Title);
    appname_lbl->setText(TS_about->Translate(QStringLiteral("Application Name :")) +
                         QLatin1Char(' ') + Title);
    version_lbl->setText(TS_about->Translate(QStringLiteral("Version :")) + QLatin1Char(' ') +
                         version);
}

void TAboutDlg::showEvent(QShowEvent* Event) {
    FillTexts(QCoreApplication::applicationName(), QCoreApplication::applicationFilePath());
    QDialog::showEvent(Event);
}

void TAboutDlg::email_btnClick() {
    OpenWithShellOwned(this, ContactMailUrl());
}

void TAboutDlg::web_btnClick() {
    OpenWithShellOwned(this, SiteRootUrl());
}

void TAboutDlg::forum_btnClick() {
    OpenWithShellOwned(this, ForumUrl());
}
