// U_MainDlgForm: the main window's form - controls, menu and non-visual components, with the
// names and the ownership order the language files address them by.
#include "mainwindow/U_MainDlg.h"

#include "localisation/Ts_MainTexts.h"
#include "localisation/ui/C_LangPack.h"
#include "localisation/ui/C_TextStorageComponent.h"
#include "localisation/ui/ComponentModel.h"
#include "mainwindow/FrameImage.h"
#include "mainwindow/SeekBar.h"
#include "mainwindow/dialogs/C_WideDialogs.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

namespace {

// One line of the main menu. Level 0 is a menu of the bar, 1 an item of it (or a sub-menu when
// Submenu), 2 an item of the last sub-menu. A caption "-" is a separator.
struct TMenuLine {
    int Level;
    const char* Name;
    const char* Caption;
    const char* Shortcut;
    QAction* TMainDlg::*Field;
    void (TMainDlg::*Handler)();
    bool Submenu;
};

template <typename W> W* Named(W* Widget, const char* Name) {
    Widget->setObjectName(QString::fromLatin1(Name));
    return Widget;
}

// At least 84 pixels wide, and never narrower than its caption in the language in use: a
// minimum width of its own would let a layout cut a long translation.
class TCommandButton : public QPushButton {
public:
    using QPushButton::QPushButton;
    QSize sizeHint() const override {
        const QSize hint = QPushButton::sizeHint();
        return {std::max(hint.width(), 84), hint.height()};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

QPushButton* MakeButton(const char* Name, const char* Caption, QWidget* Parent) {
    return Named(new TCommandButton(QString::fromUtf8(Caption), Parent), Name);
}

} // namespace

std::vector<std::string> MainMessageTexts() {
    return Ts_MainTexts();
}

void TMainDlg::CreateControls() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(CreateHeader());

    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 8, 8, 6);
    body->setSpacing(6);
    body->addWidget(CreateImageArea(), 1);
    body->addWidget(CreateTransport());
    body->addWidget(CreateReadout());
    body->addWidget(CreateCommandRow());
    pb = Named(new QProgressBar(central), "pb");
    pb->setRange(0, 100);
    pb->setValue(0);
    pb->setTextVisible(false);
    pb->setFixedHeight(14);
    body->addWidget(pb);
    column->addLayout(body, 1);
    setCentralWidget(central);
    CreateStatusBar();
}

QWidget* TMainDlg::CreateHeader() {
    top_pnl = Named(new QFrame(this), "top_pnl");
    top_pnl->setFixedHeight(40);
    top_pnl->setAutoFillBackground(true);
    QPalette dark = top_pnl->palette();
    dark.setColor(QPalette::Window, QColor(0x23, 0x2a, 0x33));
    top_pnl->setPalette(dark);

    title_lbl = Named(new QLabel(QStringLiteral("Clipvane"), top_pnl), "title_lbl");
    QFont titleFont = title_lbl->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.35);
    title_lbl->setFont(titleFont);
    title_lbl->setStyleSheet(QStringLiteral("color: #c0c0c0;"));
    subtitle_lbl =
        Named(new QLabel(QStringLiteral("Easy movie splitter"), top_pnl), "subtitle_lbl");
    subtitle_lbl->setStyleSheet(QStringLiteral("color: #ffffff;"));

    logo_btn = Named(new QToolButton(top_pnl), "logo_btn");
    logo_btn->setAutoRaise(true);
    logo_btn->setIcon(QIcon(QStringLiteral(":/assets/quorlen-logo.svg")));
    logo_btn->setIconSize(QSize(88, 28));
    logo_btn->setCursor(Qt::PointingHandCursor);
    logo_btn->setFocusPolicy(Qt::NoFocus);

    auto* row = new QHBoxLayout(top_pnl);
    row->setContentsMargins(10, 0, 4, 0);
    row->setSpacing(10);
    row->addWidget(title_lbl, 0, Qt::AlignVCenter);
    row->addWidget(subtitle_lbl, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(logo_btn, 0, Qt::AlignVCenter);
    return top_pnl;
}

QWidget* TMainDlg::CreateImageArea() {
    auto* area = new QWidget(this);
    auto* stack = new QVBoxLayout(area);
    stack->setContentsMargins(0, 0, 0, 0);
    img = Named(new TFrameImage(area), "img");
    stack->addWidget(img, 1);

    // What lies beneath the image: shown in its place when a frame cannot be decoded.
    errorBox_ = new QWidget(area);
    auto* beneath = new QVBoxLayout(errorBox_);
    beneath->setSpacing(8);
    error_img = Named(new QLabel(errorBox_), "error_img");
    error_img->setPixmap(QIcon(QStringLiteral(":/assets/error-icon.svg")).pixmap(48, 48));
    error_img->setAlignment(Qt::AlignCenter);
    error_lbl =
        Named(new QLabel(QStringLiteral("Unable to extract frame"), errorBox_), "error_lbl");
    error_lbl->setAlignment(Qt::AlignCenter);
    errorReason_ = new QLabel(errorBox_);
    errorReason_->setAlignment(Qt::AlignCenter);
    errorReason_->setWordWrap(true);
    check_btn = MakeButton("check_btn", "Check Video Codecs", errorBox_);
    beneath->addStretch(1);
    beneath->addWidget(error_img, 0, Qt::AlignHCenter);
    beneath->addWidget(error_lbl, 0, Qt::AlignHCenter);
    beneath->addWidget(errorReason_);
    beneath->addWidget(check_btn, 0, Qt::AlignHCenter);
    beneath->addStretch(1);
    stack->addWidget(errorBox_, 1);
    errorBox_->setVisible(false);
    return area;
}

QWidget* TMainDlg::CreateReadout() {
    // Two lines: side by side they would not fit the narrow window of a small picture.
    auto* row = new QWidget(this);
    auto* line = new QVBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(2);
    pos_lbl = Named(new QLabel(row), "pos_lbl");
    range_lbl = Named(new QLabel(row), "range_lbl");
    for (QLabel* label : {pos_lbl, range_lbl}) {
        label->setTextFormat(Qt::PlainText);
        // Long texts are cut rather than widening the window.
        label->setMinimumWidth(1);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    // The range's line may run long in a window sized for a small picture: it wraps.
    range_lbl->setWordWrap(true);
    line->addWidget(pos_lbl);
    line->addWidget(range_lbl);
    return row;
}

QWidget* TMainDlg::CreateCommandRow() {
    auto* row = new QWidget(this);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(8);

    split_trim_grp = Named(new QGroupBox(QStringLiteral("Split / Trim"), row), "split_trim_grp");
    auto* group = new QHBoxLayout(split_trim_grp);
    group->setContentsMargins(8, 4, 8, 8);
    start_btn = MakeButton("start_btn", "Beginning", split_trim_grp);
    end_btn = MakeButton("end_btn", "End", split_trim_grp);
    commit_btn = MakeButton("commit_btn", "Save", split_trim_grp);
    group->addWidget(start_btn);
    group->addWidget(end_btn);
    group->addWidget(commit_btn);
    line->addWidget(split_trim_grp);
    line->addStretch(1);

    audio_btn = MakeButton("audio_btn", "Extract Audio", row);
    picture_btn = MakeButton("picture_btn", "Extract Picture", row);
    line->addWidget(audio_btn, 0, Qt::AlignBottom);
    line->addWidget(picture_btn, 0, Qt::AlignBottom);
    // The bottom of the buttons lines up with the buttons inside the group.
    line->addSpacing(0);
    return row;
}

void TMainDlg::CreateStatusBar() {
    statbar = Named(new QStatusBar(this), "statbar");
    // Widths from the font, so that what a panel holds fits at any scale: a file name, the
    // largest resolution, the longest time; the last panel (hints and messages) takes the rest.
    const QFontMetrics metrics(statbar->font());
    const int pad = metrics.horizontalAdvance(QLatin1Char('0')) * 2;
    const int widths[3] = {metrics.horizontalAdvance(QLatin1Char('0')) * 24,
                           metrics.horizontalAdvance(QStringLiteral("00000x00000")) + pad,
                           metrics.horizontalAdvance(QStringLiteral("000:00:00")) + pad};
    for (int i = 0; i < 4; ++i) {
        Panels[i] = new QLabel(statbar);
        Panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        Panels[i]->setTextFormat(Qt::PlainText);
        if (i < 3)
            Panels[i]->setFixedWidth(widths[i]);
        else
            Panels[i]->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("Begin/End")) +
                                       pad);
        statbar->addWidget(Panels[i], i < 3 ? 0 : 1);
    }
    setStatusBar(statbar);
}

void TMainDlg::CreateMenu() {
    using M = TMainDlg;
    static const TMenuLine kMenu[] = {
        {0, "File1", "File", "", nullptr, nullptr, false},
        {1, "Open1", "Load file...", "Ctrl+O", &M::Open1, &M::Open1Click, false},
        {1, "Properties1", "Properties", "", &M::Properties1, &M::Properties1Click, false},
        {1, "Exit1", "Exit", "Ctrl+Q", &M::Exit1, &M::Exit1Click, false},
        {0, "Navigation1", "Navigation", "", nullptr, nullptr, false},
        {1, "Beginning1", "Beginning", "Ctrl+Left", &M::Beginning1, &M::Beginning1Click, false},
        {1, "End1", "End", "Ctrl+Right", &M::End1, &M::End1Click, false},
        {1, "N1", "-", "", nullptr, nullptr, false},
        {1, "NextFrame1", "Next Frame", "Right", &M::NextFrame1, &M::NextFrame1Click, false},
        {1, "PreviousFrame1", "Previous Frame", "Left", &M::PreviousFrame1, &M::PreviousFrame1Click,
         false},
        {1, "N2", "-", "", nullptr, nullptr, false},
        {1, "N50FramesForward1", "50 Frames Forward", "Alt+Right", &M::N50FramesForward1,
         &M::N50FramesForward1Click, false},
        {1, "N50FramesBackward1", "50 Frames Backward", "Alt+Left", &M::N50FramesBackward1,
         &M::N50FramesBackward1Click, false},
        {1, "N3", "-", "", nullptr, nullptr, false},
        {1, "NextKeyFrame1", "Next Key Frame", "Shift+Right", &M::NextKeyFrame1,
         &M::NextKeyFrame1Click, false},
        {1, "PreviousKeyFrame1", "Previous Key Frame", "Shift+Left", &M::PreviousKeyFrame1,
         &M::PreviousKeyFrame1Click, false},
        {1, "N8", "-", "", nullptr, nullptr, false},
        {1, "GoTo1", "Go to...", "Ctrl+G", &M::GoTo1, &M::GoTo1Click, false},
        {1, "N9", "-", "", nullptr, nullptr, false},
        {1, "Play1", "Play/Pause", "Space", &M::Play1, &M::Play1Click, false},
        {1, "PlaySelection1", "Play selection", "Shift+Space", &M::PlaySelection1,
         &M::PlaySelection1Click, false},
        {1, "PlayBackwards1", "Play backwards", "J", &M::PlayBackwards1, &M::PlayBackwards1Click,
         false},
        {1, "Pause1", "Pause", "K", &M::Pause1, &M::Pause1Click, false},
        {1, "PlayForwards1", "Play forwards", "L", &M::PlayForwards1, &M::PlayForwards1Click,
         false},
        {1, "Mute1", "Mute", "M", &M::Mute1, &M::Mute1Click, false},
        {0, "BurnDVD1", "Burn / DVD", "", nullptr, nullptr, false},
        {1, "BurntoCD1", "Burn to CD", "", &M::BurntoCD1, &M::BurntoCD1Click, false},
        {1, "ConverttoDVD1", "Convert to DVD", "", &M::ConverttoDVD1, &M::ConverttoDVD1Click,
         false},
        {0, "Options1", "Options", "", nullptr, nullptr, false},
        {1, "Language1", "Language", "", &M::Language1, &M::Language1Click, false},
        {1, "Fileassociation1", "File association", "", nullptr, nullptr, true},
        {2, "Enable1", "Enable", "", &M::Enable1, &M::Enable1Click, false},
        {2, "Disable1", "Disable", "", &M::Disable1, &M::Disable1Click, false},
        {0, "N4", "?", "", nullptr, nullptr, false},
        {1, "Help1", "Help", "F1", &M::Help1, &M::Help1Click, false},
        {1, "Openlogfile1", "Open log file", "Ctrl+L", &M::Openlogfile1, &M::Openlogfile1Click,
         false},
        {1, "N5", "-", "", nullptr, nullptr, false},
        {1, "Checkforupdate1", "Check for update...", "Ctrl+U", &M::Checkforupdate1,
         &M::Checkforupdate1Click, false},
        {1, "N6", "-", "", nullptr, nullptr, false},
        {1, "BugreportFeaturerequestKnownissues1", "Bug report, Feature request, Known issues", "",
         &M::BugreportFeaturerequestKnownissues1, &M::BugreportFeaturerequestKnownissues1Click,
         false},
        {1, "ChangeLog1", "Change Log", "", &M::ChangeLog1, &M::ChangeLog1Click, false},
        {1, "N7", "-", "", nullptr, nullptr, false},
        {1, "About1", "About...", "Ctrl+B", &M::About1, &M::About1Click, false},
        {1, "Keys1", "Keyboard shortcuts...", "Ctrl+F1", &M::Keys1, &M::Keys1Click, false},
    };

    MainMenu1 = Named(new QMenuBar(this), "MainMenu1");
    setMenuBar(MainMenu1);
    comp::Own(this, MainMenu1);
    QMenu* menus[2] = {nullptr, nullptr};
    for (const TMenuLine& line : kMenu) {
        const QString caption = QString::fromUtf8(line.Caption);
        QObject* component = nullptr;
        if (line.Level == 0) {
            menus[0] = Named(MainMenu1->addMenu(caption), line.Name);
            component = menus[0];
        } else if (line.Submenu) {
            menus[1] = Named(menus[0]->addMenu(caption), line.Name);
            component = menus[1];
        } else {
            QMenu* into = menus[line.Level - 1];
            QAction* action =
                caption == QLatin1String("-") ? into->addSeparator() : into->addAction(caption);
            Named(action, line.Name);
            if (*line.Shortcut) {
                action->setShortcut(QKeySequence(QString::fromLatin1(line.Shortcut)));
                // The plain arrows, Space and the letter keys belong to the seek bar (and to
                // lists, fields and buttons): shown in the menu, but not taken from whatever
                // has the focus.
                if (std::strchr(line.Shortcut, '+') == nullptr ||
                    std::strcmp(line.Shortcut, "Shift+Space") == 0)
                    action->setShortcutContext(Qt::WidgetShortcut);
            }
            if (line.Field)
                this->*line.Field = action;
            if (line.Handler)
                connect(action, &QAction::triggered, this, line.Handler);
            component = action;
        }
        comp::Own(this, component);
    }
    Properties1->setEnabled(false);
}

void TMainDlg::CreateComponents() {
    Tmr = Named(new QTimer(this), "Tmr");
    Tmr->setInterval(50);
    Ts_Main = new TTextStorageComponent(QStringLiteral("Ts_Main"), MainMessageTexts(), this);
    AppEvt = Named(new TApplicationEvents(this), "AppEvt");
    AppEvt->OnActivate = [this] { AppEvtActivate(); };
    // The language list's own activation hook is made by Loaded(), after AppEvt's: the hook
    // installed last runs first, so the saved language is applied before the start-up
    // sequence shows anything.
    Langue = new TLangList(this, QStringLiteral("Langue"));
    Langue->FilePrefix = QStringLiteral("AVI_");
    Langue->RegKey = QStringLiteral("Software\\Quorlen\\Clipvane");
    if (const QString sub = InstalledLanguageSubDir(); !sub.isEmpty())
        Langue->SubDir = sub;
    Langue->AfterLanguageSwitch = [this](QObject*) { LangueAfterLanguageSwitch(); };
    Langue->Loaded();
    WOD = Named(new TWideOpenDialog(this), "WOD");
    WOD->Filter = QStringLiteral("AVI files|*.avi");
    WOD->Options = ofHideReadOnly | ofPathMustExist | ofFileMustExist | ofEnableSizing;
    JSDAvi = Named(new TWideSaveDialog(this), "JSDAvi");
    JSDAvi->Filter = QStringLiteral("AVI Files|*.avi");
    JSDSound = Named(new TWideSaveDialog(this), "JSDSound");
    JSDSound->Filter = QStringLiteral("MP3 Files|*.mp3");
    JSDPic = Named(new TWideSaveDialog(this), "JSDPic");
    JSDPic->Filter = QStringLiteral("Bitmaps|*.bmp|JPEG|*.jpg");
}

void TMainDlg::OwnComponents() {
    // The order of the form's component list; the menu follows, owned as it is built.
    const QList<QObject*> order = {
        top_pnl,     title_lbl, subtitle_lbl,   logo_btn,  img,     error_img,  error_lbl,
        check_btn,   bar,       split_trim_grp, start_btn, end_btn, commit_btn, audio_btn,
        picture_btn, pb,        statbar,        Tmr,       Ts_Main, AppEvt,     WOD,
        JSDAvi,      JSDSound,  JSDPic,
    };
    for (QObject* component : order)
        comp::Own(this, component);
}

void TMainDlg::ConnectControls() {
    connect(bar, &QSlider::valueChanged, this, [this] { barChange(); });
    connect(Tmr, &QTimer::timeout, this, [this] { TmrTimer(); });
    bar->OnKeyDown = [this](QKeyEvent* e, bool& handled) { barKeyDown(e, handled); };
    bar->OnKeyUp = [this](QKeyEvent* e) { barKeyUp(e); };
    connect(start_btn, &QPushButton::clicked, this, [this] { start_btnClick(); });
    connect(end_btn, &QPushButton::clicked, this, [this] { end_btnClick(); });
    connect(commit_btn, &QPushButton::clicked, this, [this] { commit_btnClick(); });
    connect(audio_btn, &QPushButton::clicked, this, [this] { audio_btnClick(); });
    connect(picture_btn, &QPushButton::clicked, this, [this] { picture_btnClick(); });
    connect(logo_btn, &QToolButton::clicked, this, [this] { logo_btnClick(); });
    connect(check_btn, &QPushButton::clicked, this, [this] { check_btnClick(); });
}

void TMainDlg::SetPanel(int Index, const QString& Text) {
    Panels[Index]->setText(Text);
    // A long file name or message is cut at the panel's edge; its hint shows it whole.
    Panels[Index]->setToolTip(Text);
}

QString TMainDlg::StatusPanel(int Index) const {
    return Index >= 0 && Index < 4 ? Panels[Index]->text() : QString();
}
