// LanguageSwitch_test: what a language switch changes in the main window - dialog filters,
// message box captions, the association's caption - and the language restored before start-up.
#include "tests/mainwindow/StartUpTestSupport.h"

#include "localisation/ui/C_LangPack.h"
#include "mainwindow/U_MainDlg.h"
#include "mainwindow/U_about.h"
#include "mainwindow/dialogs/C_WideDialogs.h"
#include "mainwindow/dialogs/U_MsgDlg.h"
#include "support/log/U_Log.h"
#include "support/platform/ShellAssociation.h"
#include "support/settings/SettingsStore.h"
#include "tests/localisation_ui/LangFileWriter.h"

#include <QAction>
#include <QApplication>
#include <QApplicationStateChangeEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;
using startup::IndexOf;

namespace {

constexpr uint16_t kFrench = 0x040C;
// Not beside the test program, so the list falls back to the current folder (the test's own).
constexpr const char* kSubDir = "clipvane-test-languages";

const std::map<std::string, std::string>& French() {
    static const std::map<std::string, std::string> texts = {
        {"Invalid file type", "Type de fichier invalide"},
        {"%s cannot be opened: %s", "Impossible d'ouvrir %s : %s"},
        {"AVI Files", "Fichiers AVI"},
        {"MP3 Files", "Fichiers MP3"},
        {"Bitmap Files", "Images BMP"},
        {"JPEG Files", "Images JPEG"},
        {"File already exists. Overwrite ?", "Le fichier existe. Ecraser ?"},
        {"Open with Clipvane", "Ouvrir avec Clipvane"},
        {"Message", "Message FR"},
        {"Warning", "Avertissement"},
        {"Error", "Erreur"},
        {"Question", "Demande"},
        {"Information", "Renseignement"},
        {"Yes", "Oui"},
        {"No", "Non"},
    };
    return texts;
}

// A French language file translating Ts_Main's lines of French(), the others kept in English.
void WriteFrenchFile(const std::string& Folder) {
    std::string lines;
    for (const std::string& english : MainMessageTexts()) {
        const auto found = French().find(english);
        lines += (found == French().end() ? english : found->second) + "\r\n";
    }
    langtest::LangFileContent content;
    content.langId = kFrench;
    content.langName = "Francais";
    content.localCaption = "Langue";
    content.charset = 0;
    langtest::EntryContent table;
    table.path = "MainDlg.Ts_Main";
    table.textTag = 0;
    table.listTag = 0x23;
    table.list = lines;
    content.entries.push_back(table);
    fs::create_directories(Folder);
    ASSERT_TRUE(langtest::WriteLangFile(Folder + "/AVI_0000040C.SPK", content));
}

std::string ReadFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class LanguageSwitch : public startup::StartUpTest {
protected:
    void SetUp() override {
        StartUpTest::SetUp();
        WriteFrenchFile(dir + "/" + kSubDir);
    }
    void TearDown() override {
        StartUpTest::TearDown();
        // The captions belong to the whole program: later tests expect them in English.
        CaptionMessage = QStringLiteral("Message");
        CaptionWarning = QStringLiteral("Warning");
        CaptionError = QStringLiteral("Error");
        CaptionQuestion = QStringLiteral("Question");
        CaptionInformation = QStringLiteral("Information");
        ButtonYes = QStringLiteral("Yes");
        ButtonNo = QStringLiteral("No");
        ButtonOk = QStringLiteral("OK");
        ButtonCancel = QStringLiteral("Cancel");
    }
    void UseTestLanguages() { dlg->Langue->SubDir = QString::fromLatin1(kSubDir); }
    void SwitchToFrench() {
        ASSERT_TRUE(dlg->Langue->ScanLanguages());
        int index = -1;
        for (int i = 0; i < dlg->Langue->Languages().size(); ++i) {
            if (dlg->Langue->GetLanguageCode(i) == kFrench)
                index = i;
        }
        ASSERT_GE(index, 0);
        dlg->Langue->SetLanguageIndex(index);
    }
};

} // namespace

TEST_F(LanguageSwitch, FiltersCaptionsAndAssociationFollowTheLanguage) {
    Start();
    UseTestLanguages();
    dlg->Enable1->trigger();
    const std::string entry = AssociationEntryPath();
    ASSERT_NE(ReadFile(entry).find("Name=Open with Clipvane"), std::string::npos);

    SwitchToFrench();
    EXPECT_GE(IndexOf(LogMessages(), "Language : Francais"), 0);
    // Translated names, untranslated patterns.
    EXPECT_EQ(dlg->JSDAvi->Filter, QStringLiteral("Fichiers AVI (*.avi)|*.avi"));
    EXPECT_EQ(dlg->WOD->Filter, QStringLiteral("Fichiers AVI (*.avi)|*.avi"));
    EXPECT_EQ(dlg->JSDSound->Filter, QStringLiteral("Fichiers MP3 (*.mp3)|*.mp3"));
    EXPECT_EQ(dlg->JSDPic->Filter,
              QStringLiteral("Images BMP (*.bmp)|*.bmp|Images JPEG (*.jpg, *.jpeg)|*.jpg;*.jpeg"));
    EXPECT_EQ(MsgBoxCaption(kKindMessage), QStringLiteral("Message FR"));
    EXPECT_EQ(MsgBoxCaption(kKindWarning), QStringLiteral("Avertissement"));
    EXPECT_EQ(MsgBoxCaption(kKindError), QStringLiteral("Erreur"));
    EXPECT_EQ(MsgBoxCaption(kKindQuestion), QStringLiteral("Demande"));
    EXPECT_EQ(MsgBoxCaption(kKindInformation), QStringLiteral("Renseignement"));
    // The desktop's entry speaks the new language.
    const std::string text = ReadFile(entry);
    EXPECT_NE(text.find("Name=Ouvrir avec Clipvane"), std::string::npos) << text;
    EXPECT_FALSE(dlg->Enable1->isEnabled());
}

TEST_F(LanguageSwitch, BoxesAfterTheSwitchCarryTheTranslatedCaption) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    Start({QString::fromStdString(sample.path)});
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return dlg->Extractor && dlg->audio_btn->isEnabled(); }, 10000));
    UseTestLanguages();
    SwitchToFrench();
    const std::string existing = dir + "/sound.mp3";
    std::ofstream(existing) << "old";
    mwtest::AcceptFileDialog(QString::fromStdString(existing));
    dlg->audio_btn->click();
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, QStringLiteral("Le fichier existe. Ecraser ?"));
    EXPECT_EQ(boxes.Shown[0].Caption, QStringLiteral("Avertissement"));
    EXPECT_EQ(boxes.Shown[0].Kind, kKindWarning);
}

TEST_F(LanguageSwitch, ButtonsSpeakTheLanguageAndUnsavedSettingsAreToldOnce) {
    Start();
    UseTestLanguages();
    SwitchToFrench();
    AskYesNo(dlg, QStringLiteral("?"));
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].ButtonTexts, (QStringList{"Oui", "Non"}));

    // A settings folder that cannot be made, whoever runs the test (root included).
    std::ofstream(dir + "/plain-file") << "x";
    const std::shared_ptr<reg::SettingsStore> saved = reg::DefaultSettingsStore();
    reg::SetDefaultSettingsStore(reg::CreateHiveFileStore(
        {dir + "/plain-file/registry/user.reg", dir + "/plain-file/registry/machine.reg", {}}));
    SwitchToFrench();
    SwitchToFrench();
    QTest::qWait(50);
    reg::SetDefaultSettingsStore(saved);
    ASSERT_EQ(boxes.Shown.size(), 2u);
    EXPECT_EQ(boxes.Shown[1].Kind, kKindWarning);
    EXPECT_NE(boxes.Shown[1].Text.indexOf(QStringLiteral("cannot be written")), -1)
        << boxes.Shown[1].Text.toStdString();
    EXPECT_GE(IndexOf(LogMessages(), "Settings: " + dir + "/plain-file/registry/user.reg"), 0);
}

TEST_F(LanguageSwitch, SavedLanguageIsAppliedBeforeTheStartUpSequence) {
    startup::WriteAppDword("Langue", kFrench);
    // An entry written in English by an earlier run.
    ASSERT_EQ(
        Associate("Open with Clipvane", QCoreApplication::applicationFilePath().toStdString()), "");
    const std::string notes = dir + "/notes.txt";
    std::ofstream(notes) << "text";
    Create({QString::fromStdString(notes)});
    UseTestLanguages();
    // The application's activation itself, so that the handlers run in the order it calls them.
    QApplicationStateChangeEvent activation(Qt::ApplicationActive);
    QCoreApplication::sendEvent(qApp, &activation);
    ASSERT_NE(dlg->Log, nullptr);
    EXPECT_EQ(dlg->Langue->GetLanguageName(), QStringLiteral("Francais"));
    // The message of the start-up sequence is already translated ...
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text,
              QStringLiteral("Impossible d'ouvrir notes.txt : Type de fichier invalide"));
    // ... the switch came before the log existed, so its line is lost ...
    EXPECT_EQ(IndexOf(LogMessages(), "Language : "), -1);
    // ... and the association caption was refreshed with it.
    const std::string text = ReadFile(AssociationEntryPath());
    EXPECT_NE(text.find("Name=Ouvrir avec Clipvane"), std::string::npos) << text;
    EXPECT_EQ(dlg->JSDAvi->Filter, QStringLiteral("Fichiers AVI (*.avi)|*.avi"));
}

TEST_F(LanguageSwitch, AboutBoxIsFilledEachTimeItShows) {
    Start();
    for (int round = 0; round < 2; ++round) {
        QString caption;
        QString version;
        mwtest::WhenModal([](QWidget* w) { return qobject_cast<TAboutDlg*>(w) != nullptr; },
                          [&](QWidget* w) {
                              auto* about = static_cast<TAboutDlg*>(w);
                              caption = about->windowTitle();
                              version = about->version_lbl->text();
                              about->ok_btn->click();
                          });
        dlg->About1->trigger();
        EXPECT_EQ(caption, QStringLiteral("About Clipvane"));
        EXPECT_TRUE(version.startsWith(QStringLiteral("Version : "))) << version.toStdString();
        // A stale text would survive into the next showing.
        forms.AboutDlg->version_lbl->setText(QString());
    }
}
