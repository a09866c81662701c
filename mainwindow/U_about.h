// U_about: TAboutDlg, the About box - the program's name and version and the maker's web links.
#pragma once

#include <QDialog>
#include <QString>

#include <string>
#include <vector>

class QGroupBox;
class QLabel;
class QPushButton;
class QShowEvent;
class TTextStorageComponent;

// TS_about's design-time texts, in order (a language file replaces them by position).
const std::vector<std::string>& AboutTexts();

// Client area 389 x 285, fixed. Its components, owned in this order (language files address
// them by these names): banner_img, app_grp, appname_lbl, version_lbl, maker_grp, email_btn,
// web_btn, forum_btn, ok_btn, TS_about. Whoever creates it has the application object own it.
class TAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit TAboutDlg(QWidget* Parent = nullptr);

    // Shows the box modally, centred over its owner (the main form when it has none); the
    // texts are filled on showing. Returns the dialog's result (Accepted for "Ok").
    int Execute();

    // Caption "About <Title>", "Application Name : <Title>" and "Version : <file version of
    // ExePath>", each label text translated through TS_about. Showing the box fills it for the
    // running program.
    void FillTexts(const QString& Title, const QString& ExePath);

    void email_btnClick();
    void web_btnClick();
    void forum_btnClick();

    QWidget* banner_img;
    QLabel* subtitle_lbl; // over the banner, so that it is translated
    QGroupBox* app_grp;
    QLabel* appname_lbl;
    QLabel* version_lbl;
    QGroupBox* maker_grp;
    QPushButton* email_btn;
    QPushButton* web_btn;
    QPushButton* forum_btn;
    QPushButton* ok_btn;
    TTextStorageComponent* TS_about;

protected:
    void showEvent(QShowEvent* Event) override;
};
