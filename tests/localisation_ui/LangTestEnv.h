// LangTestEnv: a language folder, a private registry and a small translatable form for the
// language list and chooser tests.
#pragma once

#include "localisation/ui/C_LangPack.h"
#include "localisation/ui/ComponentModel.h"
#include "support/settings/SettingsStore.h"
#include "tests/common/TestMedia.h"
#include "tests/localisation_ui/LangFileWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QWidget>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace langtest {

inline constexpr const char* kRegKey = "Software\\Quorlen\\Clipvane";
inline constexpr const char* kListName = "Langue";
inline constexpr const char* kDesignText = "Design text";

// One per test: everything it makes is gone when it is destroyed.
class LangEnv {
public:
    LangEnv() {
        static int counter = 0;
        root_ = testmedia::TempDir() + "/langui" + std::to_string(++counter);
        langDir = root_ + "/lang";
        std::filesystem::create_directories(langDir);
        reg::SetDefaultSettingsStore(
            reg::CreateHiveFileStore({root_ + "/user.reg", root_ + "/machine.reg", {}}));
        form = std::make_unique<QWidget>();
        form->setObjectName("TestDlg");
        comp::Own(comp::Application(), form.get());
        label = new QLabel(kDesignText, form.get());
        label->setObjectName("title_lbl");
        comp::Own(form.get(), label);
    }
    ~LangEnv() {
        form.reset();
        reg::SetDefaultSettingsStore(nullptr);
    }
    LangEnv(const LangEnv&) = delete;
    LangEnv& operator=(const LangEnv&) = delete;

    // The list as the main window sets it up; the form owns it.
    TLangList* MakeList(bool loaded = true) const {
        auto* list = new TLangList(form.get(), kListName);
        list->FilePrefix = "AVI_";
        list->RegKey = kRegKey;
        // The language folder is found through SubDir, relative to the executable's folder.
        list->SubDir = QDir(QCoreApplication::applicationDirPath())
                           .relativeFilePath(QString::fromStdString(langDir));
        if (loaded)
            list->Loaded();
        return list;
    }

    std::string File(uint32_t code) const {
        char name[32];
        std::snprintf(name, sizeof name, "/AVI_%08X.SPK", code);
        return langDir + name;
    }

    // A language file whose LocalCaption is caption and which translates the form's label to
    // labelText.
    void WriteLanguage(uint32_t code, const std::string& name, const std::string& caption,
                       const std::string& labelText = "") const {
        LangFileContent content;
        content.langId = static_cast<uint16_t>(code & 0xFFFF);
        content.langName = name;
        content.localCaption = caption;
        content.remark = "by tests";
        content.appVersion = 0x01020C05;
        content.fontName = form->font().family().toStdString();
        EntryContent entry;
        entry.path = "TestDlg.title_lbl";
        entry.text = labelText.empty() ? name : labelText;
        content.entries.push_back(entry);
        ASSERT_TRUE(WriteLangFile(File(code), content));
    }

    bool StoredCode(reg::RegValue& value) const {
        reg::RegKey key(reg::RegRoot::CurrentUser);
        return key.Open(kRegKey, reg::access::kRead, false) == reg::RegStatus::Success &&
               key.Read(kListName, value) == reg::RegStatus::Success;
    }
    void StoreValue(const reg::RegValue& value) const {
        reg::RegKey key(reg::RegRoot::CurrentUser);
        ASSERT_EQ(key.Open(kRegKey, reg::access::kAllAccess, true), reg::RegStatus::Success);
        ASSERT_EQ(key.Write(kListName, value), reg::RegStatus::Success);
    }

    std::string langDir;
    std::unique_ptr<QWidget> form;
    QLabel* label = nullptr;

private:
    std::string root_;
};

} // namespace langtest
