// LangList_test: scanning language files, remembering the choice, switching, the reference file
// and flags.
#include "localisation/FlagBitmap.h"
#include "localisation/ui/C_LangPack.h"
#include "localisation/ui/C_LangRecord.h"
#include "support/versioninfo/C_VersionInfo.h"
#include "tests/localisation_ui/LangTestEnv.h"

#include <QEvent>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

using namespace langtest;

namespace {

QStringList Texts(const TLangList& list) {
    QStringList texts;
    for (const auto& e : list.Languages())
        texts << e.Text;
    return texts;
}

std::vector<uint32_t> Codes(const TLangList& list) {
    std::vector<uint32_t> codes;
    for (const auto& e : list.Languages())
        codes.push_back(static_cast<uint32_t>(e.Code));
    return codes;
}

// Sets the default locale for one test.
class LocaleGuard {
public:
    explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(QLocale::system()); }
};

} // namespace

TEST(LangListScan, FollowsTheTableOrderThenVariants) {
    LangEnv env;
    // Alphabetical order of the names would be Deutsch, English, Français.
    env.WriteLanguage(0x0407, "Deutsch", "Sprache");
    env.WriteLanguage(0x040C, "Francais", "Langue");
    env.WriteLanguage(0x0409, "English", "Language");
    env.WriteLanguage(0x00010409, "English 2", "Language");
    TLangList* list = env.MakeList();
    ASSERT_TRUE(list->ScanLanguages());
    EXPECT_EQ(Codes(*list), (std::vector<uint32_t>{0x0409, 0x00010409, 0x040C, 0x0407}));
    EXPECT_EQ(list->GetLanguageCode(2), 0x040C);
    EXPECT_EQ(list->GetLanguageCode(4), 0);
    EXPECT_EQ(list->GetLanguageCode(-1), 0);
    EXPECT_EQ(list->LanguageIndex(), 0); // a scan switches nothing
    EXPECT_EQ(list->GetLanguageName(), "");
}

TEST(LangListScan, AMissingVariantEndsTheLanguageButABrokenOneDoesNot) {
    LangEnv env;
    env.WriteLanguage(0x040C, "Francais", "Langue");
    env.WriteLanguage(0x0002040C, "Francais 3", "Langue");
    env.WriteLanguage(0x0407, "Deutsch", "Sprache");
    ASSERT_TRUE(WriteWrongSignature(env.File(0x00010407)));
    env.WriteLanguage(0x00020407, "Deutsch 3", "Sprache");
    TLangList* list = env.MakeList();
    list->ScanLanguages();
    EXPECT_EQ(Codes(*list), (std::vector<uint32_t>{0x040C, 0x0407, 0x00020407}));
}

TEST(LangListScan, NoFilesOrOnlyBrokenOnes) {
    LangEnv env;
    TLangList* list = env.MakeList();
    EXPECT_FALSE(list->ScanLanguages());
    EXPECT_TRUE(list->Languages().isEmpty());
    ASSERT_TRUE(WriteWrongSignature(env.File(0x0409)));
    EXPECT_FALSE(list->ScanLanguages());
    list->SetLanguageIndex(0);
    EXPECT_EQ(env.label->text(), kDesignText);
}

TEST(LangListScan, DisplayTextsWithAndWithoutVersion) {
    LangEnv env;
    LangFileContent v4;
    v4.langId = 0x040C;
    v4.langName = "Francais";
    v4.remark = "Jean";
    v4.appVersion = 0x01020C05;
    ASSERT_TRUE(WriteLangFile(env.File(0x040C), v4));
    LangFileContent v0;
    v0.langId = 0x0407;
    v0.revision = 0;
    v0.langName = "Deutsch";
    v0.remark = "Hans";
    ASSERT_TRUE(WriteLangFile(env.File(0x0407), v0));
    // A revision-1 file has no extra fields before its character set; Central European 0xC8
    // is a C with caron, not the Western E with grave.
    LangFileContent v1;
    v1.langId = 0x0405;
    v1.revision = 1;
    v1.langName = "\xC8"
                  "esky";
    v1.remark = "Jan";
    v1.appVersion = 0x0300040A;
    v1.charset = 238;
    ASSERT_TRUE(WriteLangFile(env.File(0x0405), v1));
    // Revision 2 to 4 files hold three extra fields before it.
    LangFileContent cyr;
    cyr.langId = 0x0419;
    cyr.langName = "\xD0\xF3\xF1\xF1\xEA\xE8\xE9"; // "Русский" in code page 1251
    cyr.remark = "Ivan";
    cyr.charset = 204;
    ASSERT_TRUE(WriteLangFile(env.File(0x0419), cyr));

    TLangList* list = env.MakeList();
    list->ScanLanguages();
    EXPECT_EQ(Texts(*list), (QStringList{QString::fromUtf8("\xC4\x8C"
                                                           "esky [3.0.1.10] - Jan"),
                                         "Francais [1.2.3.5] - Jean", "Deutsch - Hans",
                                         QString::fromUtf8("Русский [0.0.0.0] - Ivan")}));
}

TEST(LangListDir, InstalledFolderOrBesideTheExecutable) {
    const std::string root = testmedia::TempDir() + "/installed";
    std::filesystem::create_directories(root + "/bin");
    EXPECT_EQ(InstalledLanguageSubDir(QString::fromStdString(root + "/bin")), "");
    std::filesystem::create_directories(root + "/share/clipvane/languages");
    EXPECT_EQ(InstalledLanguageSubDir(QString::fromStdString(root + "/bin")),
              "../share/clipvane/languages");
    EXPECT_EQ(InstalledLanguageSubDir(QString::fromStdString(root + "/bin/")),
              "../share/clipvane/languages");

    LangEnv env;
    TLangList* list = env.MakeList();
    EXPECT_EQ(QFileInfo(list->GetLanguageDir()).canonicalFilePath(),
              QFileInfo(QString::fromStdString(env.langDir)).canonicalFilePath());
    EXPECT_TRUE(list->GetLanguageDir().endsWith('/'));
    list->SubDir.clear();
    EXPECT_EQ(list->GetLanguageDir(), QCoreApplication::applicationDirPath() + "/");
    // A folder that exists nowhere is looked for in the working directory.
    list->SubDir = "no-such-folder-here";
    EXPECT_EQ(list->GetLanguageDir(), QDir::currentPath() + "/no-such-folder-here/");
}

TEST(LangListSwitch, SwitchingAppliesRemembersAndTells) {
    LangEnv env;
    env.WriteLanguage(0x0409, "English", "Language", "Hello");
    env.WriteLanguage(0x040C, "Francais", "Langue", "Bonjour");
    TLangList* list = env.MakeList();
    std::vector<std::pair<int32_t, int32_t>> asked;
    int told = 0;
    QObject* toldSender = nullptr;
    list->BeforeLanguageSwitch = [&](QObject*, int32_t oldCode, int32_t newCode, bool&) {
        asked.emplace_back(oldCode, newCode);
    };
    list->AfterLanguageSwitch = [&](QObject* sender) {
        ++told;
        toldSender = sender;
    };
    list->ScanLanguages();
    list->SetLanguageIndex(1);
    EXPECT_EQ(list->LanguageIndex(), 1);
    EXPECT_EQ(env.label->text(), "Bonjour");
    EXPECT_EQ(list->GetLanguageName(), "Francais");
    EXPECT_EQ(list->GetLocalCaption(), "Langue");
    EXPECT_EQ(told, 1);
    EXPECT_EQ(toldSender, list);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], std::make_pair(int32_t{0x0409}, int32_t{0x040C}));
    reg::RegValue stored;
    ASSERT_TRUE(env.StoredCode(stored));
    EXPECT_EQ(stored, reg::RegValue::Dword(0x040C));

    // The active language again: loaded and applied again, told again.
    env.label->setText("changed meanwhile");
    list->SetLanguageIndex(1);
    EXPECT_EQ(env.label->text(), "Bonjour");
    EXPECT_EQ(told, 2);

    // Outside the list: nothing asked, nothing changes.
    list->SetLanguageIndex(2);
    list->SetLanguageIndex(-1);
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(list->LanguageIndex(), 1);
}

TEST(LangListSwitch, ARefusedSwitchChangesNothing) {
    LangEnv env;
    env.WriteLanguage(0x0409, "English", "Language", "Hello");
    env.WriteLanguage(0x040C, "Francais", "Langue", "Bonjour");
    TLangList* list = env.MakeList();
    int told = 0;
    list->AfterLanguageSwitch = [&](QObject*) { ++told; };
    list->BeforeLanguageSwitch = [](QObject*, int32_t, int32_t, bool& canChange) {
        canChange = false;
    };
    list->ScanLanguages();
    list->SetLanguageIndex(1);
    EXPECT_EQ(list->LanguageIndex(), 0);
    EXPECT_EQ(env.label->text(), kDesignText);
    EXPECT_EQ(told, 0);
    reg::RegValue stored;
    EXPECT_FALSE(env.StoredCode(stored));
}

TEST(LangListSwitch, AFileThatFailsToLoadStillMovesTheChoice) {
    LangEnv env;
    env.WriteLanguage(0x0409, "English", "Language", "Hello");
    LangFileContent shortFile; // five records: listed, but not a loadable language
    shortFile.langId = 0x040C;
    shortFile.langName = "Court";
    shortFile.maxRecords = 5;
    ASSERT_TRUE(WriteLangFile(env.File(0x040C), shortFile));
    TLangList* list = env.MakeList();
    int told = 0;
    list->AfterLanguageSwitch = [&](QObject*) { ++told; };
    list->ScanLanguages();
    ASSERT_EQ(list->Languages().size(), 2);
    list->SetLanguageIndex(0);
    EXPECT_EQ(told, 1);
    list->SetLanguageIndex(1);
    EXPECT_EQ(list->LanguageIndex(), 1);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(list->GetLanguageName(), "");
    EXPECT_EQ(list->GetLocalCaption(), "");
    EXPECT_EQ(env.label->text(), "Hello");
    reg::RegValue stored;
    ASSERT_TRUE(env.StoredCode(stored));
    EXPECT_EQ(stored, reg::RegValue::Dword(0x040C));

    // A file replaced by one with another signature after the scan fails the same way.
    ASSERT_TRUE(WriteWrongSignature(env.File(0x0409)));
    list->SetLanguageIndex(0);
    EXPECT_EQ(list->LanguageIndex(), 0);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(list->GetLanguageName(), "");
}

TEST(LangListSwitch, AnUnsupportedRevisionReachesTheCaller) {
    LangEnv env;
    LangFileContent future;
    future.langId = 0x040C;
    future.revision = 5;
    future.langName = "Futur";
    ASSERT_TRUE(WriteLangFile(env.File(0x040C), future));
    TLangList* list = env.MakeList();
    int told = 0;
    list->AfterLanguageSwitch = [&](QObject*) { ++told; };
    list->ScanLanguages();
    ASSERT_EQ(list->Languages().size(), 1);
    EXPECT_THROW(list->SetLanguageIndex(0), ELanguageFileError);
    EXPECT_EQ(told, 0);
}

TEST(LangListChoice, RememberedCodeThenSameLanguageThenPrimaryLanguage) {
    struct Case {
        uint32_t stored;
        std::vector<uint32_t> files;
        int32_t selected; // -1: none
    };
    const Case cases[] = {
        {0x0001040C, {0x040C, 0x0001040C}, 0x0001040C}, // exact code
        {0x0001040C, {0x040C}, 0x040C},                 // same LANGID
        {0x0C0C, {0x0407, 0x040C}, 0x040C},             // French (Canadian) -> French
        {0x0C0C, {0x0407}, -1},                         // nothing French
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        LangEnv env;
        for (uint32_t code : c.files)
            env.WriteLanguage(code, "L" + std::to_string(code), "C" + std::to_string(code));
        env.StoreValue(reg::RegValue::Dword(c.stored));
        TLangList* list = env.MakeList();
        int told = 0;
        list->AfterLanguageSwitch = [&](QObject*) { ++told; };
        list->ScanLanguages();
        EXPECT_EQ(list->RestoreChoice(), c.selected >= 0);
        if (c.selected >= 0) {
            EXPECT_EQ(list->GetLanguageCode(list->LanguageIndex()), c.selected);
            EXPECT_EQ(told, 1);
        } else {
            EXPECT_EQ(told, 0);
            EXPECT_EQ(list->GetLanguageName(), "");
        }
    }
}

TEST(LangListChoice, SystemLanguageWhenNothingIsRemembered) {
    LangEnv env;
    env.WriteLanguage(0x0409, "English", "Language");
    env.WriteLanguage(0x0407, "Deutsch", "Sprache", "Hallo");
    LocaleGuard swiss(QLocale(QLocale::German, QLocale::Switzerland)); // 0x0807
    TLangList* list = env.MakeList();
    list->FirstActivateWith({});
    EXPECT_TRUE(list->Initialized());
    EXPECT_EQ(list->GetLanguageCode(list->LanguageIndex()), 0x0407);
    EXPECT_EQ(env.label->text(), "Hallo");
    reg::RegValue stored;
    ASSERT_TRUE(env.StoredCode(stored));
    EXPECT_EQ(stored, reg::RegValue::Dword(0x0407));
}

TEST(LangListChoice, SystemLanguageWithoutAFileLeavesTheDesignTexts) {
    LangEnv env;
    env.WriteLanguage(0x0409, "English", "Language");
    LocaleGuard japanese(QLocale(QLocale::Japanese, QLocale::Japan));
    TLangList* list = env.MakeList();
    list->ScanLanguages();
    EXPECT_FALSE(list->SelectSystemLanguage());
    EXPECT_EQ(env.label->text(), kDesignText);
}

TEST(LangListChoice, LocalesMapOntoScannedIdentifiers) {
    EXPECT_EQ(ScannedLangIds().size(), 145u);
    EXPECT_EQ(LangIdOfLocale(QLocale(QLocale::French, QLocale::France)), 0x040C);
    EXPECT_EQ(LangIdOfLocale(QLocale(QLocale::French, QLocale::Canada)), 0x0C0C);
    EXPECT_EQ(LangIdOfLocale(QLocale(QLocale::Spanish, QLocale::Spain)), 0x0C0A);
    EXPECT_EQ(LangIdOfLocale(QLocale(QLocale::Portuguese, QLocale::Portugal)), 0x0816);
    EXPECT_EQ(LangIdOfLocale(QLocale(QLocale::Chinese, QLocale::Taiwan)), 0x0404);
    EXPECT_EQ(LangIdOfLocale(QLocale(QLocale::Serbian, QLocale::LatinScript, QLocale::Serbia)),
              0x081A);
    EXPECT_EQ(LangIdOfLocale(QLocale(QLocale::Serbian, QLocale::CyrillicScript, QLocale::Serbia)),
              0x0C1A);
    // A territory without an identifier of its own falls back to the language's first.
    EXPECT_EQ(LangIdOfLocale(QLocale(QLocale::German, QLocale::Belgium)), 0x0407);
    EXPECT_EQ(LangIdOfLocale(QLocale(QLocale::Arabic, QLocale::Sudan)), 0x0401);
    EXPECT_EQ(LangIdOfLocale(QLocale::c()), 0x0409);
    EXPECT_EQ(LangIdOfLocale(QLocale(QLocale::Welsh, QLocale::UnitedKingdom)), 0);
}

TEST(LangListChoice, ARememberedValueOfAnotherTypeIsAnError) {
    LangEnv env;
    env.WriteLanguage(0x040C, "Francais", "Langue");
    env.StoreValue(reg::RegValue::String("1036"));
    TLangList* list = env.MakeList();
    list->ScanLanguages();
    EXPECT_THROW(list->RestoreChoice(), ERegistryException);
}

TEST(LangListChoice, AutoloadOffNeitherReadsNorWrites) {
    LangEnv env;
    env.WriteLanguage(0x0409, "English", "Language", "Hello");
    env.WriteLanguage(0x040C, "Francais", "Langue", "Bonjour");
    env.StoreValue(reg::RegValue::Dword(0x040C));
    TLangList* list = env.MakeList();
    list->Autoload = false;
    int told = 0;
    list->AfterLanguageSwitch = [&](QObject*) { ++told; };
    list->FirstActivateWith({});
    EXPECT_TRUE(list->Initialized());
    EXPECT_EQ(list->Languages().size(), 2);
    EXPECT_EQ(told, 0);
    EXPECT_EQ(env.label->text(), kDesignText);
    list->SetLanguageIndex(0);
    EXPECT_EQ(env.label->text(), "Hello");
    reg::RegValue stored;
    ASSERT_TRUE(env.StoredCode(stored));
    EXPECT_EQ(stored, reg::RegValue::Dword(0x040C));
}

TEST(LangListChoice, AnEmptyRegKeyDisablesRememberingAndTheSystemLanguage) {
    LangEnv env;
    env.WriteLanguage(0x0407, "Deutsch", "Sprache", "Hallo");
    LocaleGuard german(QLocale(QLocale::German, QLocale::Germany));
    TLangList* list = env.MakeList();
    list->RegKey.clear();
    list->ScanLanguages();
    EXPECT_FALSE(list->RestoreChoice());
    EXPECT_EQ(env.label->text(), kDesignText);
    list->SetLanguageIndex(0);
    EXPECT_EQ(env.label->text(), "Hallo");
    reg::RegValue stored;
    EXPECT_FALSE(env.StoredCode(stored));
}

TEST(LangListActivate, TheFirstActivationRestoresOnce) {
    LangEnv env;
    env.WriteLanguage(0x0409, "English", "Language", "Hello");
    env.WriteLanguage(0x040C, "Francais", "Langue", "Bonjour");
    env.StoreValue(reg::RegValue::Dword(0x040C));
    TLangList* list = env.MakeList();
    int told = 0;
    list->AfterLanguageSwitch = [&](QObject*) { ++told; };
    EXPECT_FALSE(list->Initialized());
    QEvent activate(QEvent::ApplicationActivate);
    QCoreApplication::sendEvent(qApp, &activate);
    EXPECT_TRUE(list->Initialized());
    EXPECT_EQ(env.label->text(), "Bonjour");
    EXPECT_EQ(told, 1);
    QCoreApplication::sendEvent(qApp, &activate);
    list->FirstActivateWith({"-co"});
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(env.langDir + "/AVI_ORIGINAL.SPK")));
}

TEST(LangListActivate, ARememberedFileWithAForgedFlagIsSaidOnceAndLeftOut) {
    LangEnv env;
    env.WriteLanguage(0x0407, "Deutsch", "Sprache", "Hallo");
    LangFileContent fr;
    fr.langId = 0x040C;
    fr.langName = "Francais";
    fr.flag = SolidBmp(24, 16, QColor(200, 10, 20));
    // A width the record cannot hold: nothing may be allocated for it.
    for (const int32_t width : {0x7FFFFFFF, -0x7FFFFFFF, 0}) {
        std::vector<uint8_t> forged = fr.flag;
        for (int i = 0; i < 4; ++i)
            forged[18 + static_cast<size_t>(i)] = static_cast<uint8_t>(width >> (8 * i));
        EXPECT_FALSE(FlagBitmapValid(forged)) << width;
    }
    EXPECT_TRUE(FlagBitmapValid(fr.flag));
    for (int i = 0; i < 4; ++i)
        fr.flag[18 + static_cast<size_t>(i)] = 0xFF >> (i == 3 ? 1 : 0);
    ASSERT_TRUE(WriteLangFile(env.File(0x040C), fr));
    env.StoreValue(reg::RegValue::Dword(0x040C));
    TLangList* list = env.MakeList();

    // Said once, naming the file; the next activation (the box closing) says nothing more.
    try {
        list->FirstActivateWith({});
        ADD_FAILURE() << "the damaged file was not reported";
    } catch (const ELanguageFileError& e) {
        EXPECT_NE(std::string(e.what()).find("AVI_0000040C.SPK"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(list->Initialized());
    EXPECT_NO_THROW(list->FirstActivateWith({}));
    // Left out of the list, the program goes on with what it has.
    EXPECT_EQ(Codes(*list), std::vector<uint32_t>{0x0407});
    ASSERT_EQ(list->LeftOutFiles().size(), 1);
    EXPECT_EQ(list->LeftOutFiles()[0].Code, 0x040C);
    EXPECT_EQ(env.label->text(), kDesignText);
    list->ScanLanguages();
    EXPECT_EQ(Codes(*list), std::vector<uint32_t>{0x0407});
}

TEST(LangListActivate, WithoutLoadedThereIsNoHook) {
    LangEnv env;
    env.WriteLanguage(0x040C, "Francais", "Langue", "Bonjour");
    env.StoreValue(reg::RegValue::Dword(0x040C));
    TLangList* list = env.MakeList(false);
    QEvent activate(QEvent::ApplicationActivate);
    QCoreApplication::sendEvent(qApp, &activate);
    EXPECT_FALSE(list->Initialized());
    EXPECT_EQ(env.label->text(), kDesignText);
}

TEST(LangListActivate, ParametersThatAskForTheReferenceFile) {
    const struct {
        QStringList params;
        bool writes;
    } cases[] = {
        {{"/CO"}, true},      {{"-co"}, true}, {{"-config"}, true},
        {{"x", "/Co"}, true}, {{"co"}, false}, {{"x-co"}, false},
        {{"x/co"}, false},    {{}, false},     {{"--co"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.params.join(' ').toStdString());
        LangEnv env;
        TLangList* list = env.MakeList();
        list->FirstActivateWith(c.params);
        EXPECT_EQ(QFileInfo::exists(QString::fromStdString(env.langDir + "/AVI_ORIGINAL.SPK")),
                  c.writes);
    }
}

TEST(LangListActivate, TheReferenceFileHoldsTheDesignTexts) {
    LangEnv env;
    env.WriteLanguage(0x040C, "Francais", "Langue", "Bonjour");
    env.StoreValue(reg::RegValue::Dword(0x040C));
    TLangList* list = env.MakeList();
    list->FirstActivateWith({"-co"});
    // The reference is written before the remembered language is applied.
    EXPECT_EQ(env.label->text(), "Bonjour");

    TStorefile store;
    store.SetSignature(kSignature);
    store.SetReadOnly(true);
    store.SetFilename(env.langDir + "/AVI_ORIGINAL.SPK");
    store.Open();
    ASSERT_TRUE(store.Opened());
    std::vector<std::string> strings;
    int32_t word = -1;
    store.ReadInteger(word);
    EXPECT_EQ(word, 0x00040000);
    for (int i = 0; i < 5; ++i) { // LangName, LocalCaption, Remark, Notes, Flag
        std::string s;
        store.ReadString(s);
        EXPECT_EQ(s, "") << i;
    }
    int32_t appVersion = -1;
    store.ReadInteger(appVersion);
    TCustomversion_Info own;
    EXPECT_EQ(appVersion, own.FileVersionInt());
    for (int i = 0; i < 4; ++i) // ExtraFlag, ExtraText1, ExtraText2, ImeName
        store.Next();
    std::string fontName;
    store.ReadString(fontName);
    EXPECT_EQ(QString::fromStdString(fontName), comp::MainForm()->font().family());
    store.Next(); // Charset
    int32_t minFontSize = 0;
    store.ReadInteger(minFontSize);
    EXPECT_EQ(minFontSize, 8);
    bool found = false;
    while (!store.Eof()) {
        std::string path;
        store.ReadString(path);
        if (path != "TestDlg.title_lbl")
            continue;
        found = true;
        store.Next(); // alignment
        std::string text;
        EXPECT_EQ(store.ReadString(text), 1); // untranslated
        EXPECT_EQ(text, kDesignText);
        break;
    }
    EXPECT_TRUE(found);
}

TEST(LangListFlag, ReadsTheVariantZeroFlag) {
    LangEnv env;
    LangFileContent fr;
    fr.langId = 0x040C;
    fr.flag = SolidBmp(24, 16, QColor(200, 10, 20));
    ASSERT_TRUE(WriteLangFile(env.File(0x040C), fr));
    LangFileContent fr2;
    fr2.langId = 0x040C;
    fr2.flag = SolidBmp(8, 8, Qt::green);
    ASSERT_TRUE(WriteLangFile(env.File(0x0001040C), fr2));
    TLangList* list = env.MakeList();

    QImage flag;
    ASSERT_TRUE(list->ReadFlag(0x0001040C, flag));
    EXPECT_EQ(flag.size(), QSize(24, 16));
    EXPECT_EQ(flag.pixelColor(5, 5), QColor(200, 10, 20));

    // No file: false, an empty image, and no file made.
    EXPECT_FALSE(list->ReadFlag(0x0407, flag));
    EXPECT_TRUE(flag.isNull());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(env.File(0x0407))));

    ASSERT_TRUE(WriteWrongSignature(env.File(0x0409)));
    EXPECT_FALSE(list->ReadFlag(0x0409, flag));

    LangFileContent noFlag;
    noFlag.langId = 0x0410;
    ASSERT_TRUE(WriteLangFile(env.File(0x0410), noFlag));
    EXPECT_TRUE(list->ReadFlag(0x0410, flag));
    EXPECT_TRUE(flag.isNull());

    LangFileContent badFlag;
    badFlag.langId = 0x0413;
    badFlag.flag = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
    ASSERT_TRUE(WriteLangFile(env.File(0x0413), badFlag));
    EXPECT_THROW(list->ReadFlag(0x0413, flag), EInvalidGraphic);
}

TEST(LangListProperties, ExcludedCompsAreSortedWithoutDuplicates) {
    LangEnv env;
    TLangList* list = env.MakeList();
    list->SetExcludedComps(QStringList{"Ts_Main", "MainDlg.x", "ts_main", "A"});
    EXPECT_EQ(list->ExcludedComps(), (QStringList{"A", "MainDlg.x", "Ts_Main"}));
    list->SetExcludedComps(nullptr);
    EXPECT_EQ(list->ExcludedComps().size(), 3);

    // The records see the list: an excluded label keeps its text.
    env.WriteLanguage(0x040C, "Francais", "Langue", "Bonjour");
    list->SetExcludedComps(QStringList{"title_lbl"});
    list->ScanLanguages();
    list->SetLanguageIndex(0);
    EXPECT_EQ(list->GetLanguageName(), "Francais");
    EXPECT_EQ(env.label->text(), kDesignText);
}
