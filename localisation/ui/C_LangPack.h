// C_LangPack: TLangList - finding the language files, remembering the choice, switching language.
#pragma once

#include <QImage>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>

class TLanguageRecord;

// A remembered language stored with another type than a 32-bit integer.
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A flag record that holds something other than a bitmap file.
class EInvalidGraphic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The LANGIDs the scan looks for, in the order it looks (and so the order of Languages).
std::span<const uint16_t> ScannedLangIds();

// The LANGID of a locale among ScannedLangIds: language, territory and script where they tell
// variants apart, else the language's main entry; 0 for a language none of them covers. The C
// locale counts as U.S. English, the language its texts are in.
uint16_t LangIdOfLocale(const QLocale& locale);

// Where an installed program keeps its language files, relative to the executable's folder:
// "../share/clipvane/languages" when <appDir>/../share/clipvane/languages exists (the layout an
// install prefix gives), else "" - a portable copy keeps them beside the executable.
QString InstalledLanguageSubDir(const QString& appDir);
// The same for the running executable; what the program puts into SubDir.
QString InstalledLanguageSubDir();

// Language code: the LANGID in the low 16 bits, the variant number (0 for a language's first
// file) in the high 16 bits; it names the file and is the value remembered in the registry.
class TLangList : public QObject {
    Q_OBJECT
public:
    struct TLanguageEntry {
        QString Text; // as shown in the chooser
        int32_t Code = 0;
    };
    using TBeforeChangeEvent =
        std::function<void(QObject* Sender, int32_t OldCode, int32_t NewCode, bool& CanChange)>;
    using TNotifyEvent = std::function<void(QObject* Sender)>;

    static constexpr const char* kSignature = "XOL LANGUAGE FILE";
    static constexpr const char* kDefaultRegKey = "Software\\XOL\\Localization";

    // owner owns the list (comp::Own) and is the root of translation until Loaded().
    explicit TLangList(QObject* owner, const QString& name = QString());
    ~TLangList() override;

    // Published properties. The owner sets them, then calls Loaded().
    const QStringList& ExcludedComps() const { return excludedComps_; }
    // Replaces the list, sorted without case, duplicates dropped; a null list changes nothing.
    void SetExcludedComps(const QStringList* Value);
    void SetExcludedComps(const QStringList& Value) { SetExcludedComps(&Value); }
    int LanguageIndex() const { return languageIndex_; }
    // Switches language: asks BeforeLanguageSwitch, remembers the choice (Autoload), loads the
    // file and tells AfterLanguageSwitch. An index outside Languages does nothing. A file that
    // fails to load (ELanguageFileError) is taken out of Languages and left out for the rest of
    // the run, the language in use stays, and the error reaches the caller naming the file.
    void SetLanguageIndex(int Value);
    bool CplCompatibility = false;
    QString FilePrefix;
    QString SubDir;
    QString RegKey = kDefaultRegKey;
    bool Autoload = true;
    TBeforeChangeEvent BeforeLanguageSwitch;
    TNotifyEvent AfterLanguageSwitch;

    // End of loading: fixes the root of translation, makes the two records and the activation
    // hook (an application event filter that runs FirstActivate when the application is first
    // activated).
    void Loaded();

    // With a trailing separator.
    QString GetLanguageDir() const;
    // True when at least one language file opened. A file whose flag picture is damaged, or
    // that failed to load earlier in this run, is left out (see LeftOutFiles).
    bool ScanLanguages();
    // Language files that cannot be used, with the reason, in the order they were found.
    struct TLeftOutFile {
        int32_t Code = 0;
        QString File;
        QString Reason;
    };
    const QList<TLeftOutFile>& LeftOutFiles() const { return leftOut_; }
    const QList<TLanguageEntry>& Languages() const { return languages_; }
    QString GetLanguageName() const;
    QString GetLocalCaption() const;
    // 0 when n is outside Languages.
    int32_t GetLanguageCode(int n) const;
    // The flag of the variant-0 file of Code's LANGID. False (and Bitmap empty) when that file is
    // missing or is not a language file; raises EInvalidGraphic when its flag is not a bitmap.
    bool ReadFlag(int32_t Code, QImage& Bitmap) const;

    void SaveChoice();
    bool RestoreChoice();
    // Back to the program's own (English) texts, whatever language is in use: asks
    // BeforeLanguageSwitch, remembers the choice (code 0) and tells AfterLanguageSwitch. The
    // texts are those the components had before the first language file was applied.
    void SelectOriginal();
    // A language file is in use; false for the program's own texts.
    bool LanguageLoaded() const { return languageLoaded_; }
    bool SelectByCode(int32_t Code);
    bool SelectSystemLanguage();
    void WriteReference();

    // Run by the activation hook: writes the reference file when a parameter starting with "-co"
    // (or "/co") asks for it, scans and restores the remembered language; only the first call
    // counts, also when it fails. A remembered language whose file is damaged raises
    // ELanguageFileError naming the file, once the language that can be used is in place.
    void FirstActivate();
    // FirstActivate with these command-line parameters (the program's name left out).
    void FirstActivateWith(const QStringList& Params);
    bool Initialized() const { return initialized_; }

    // The record that writes the reference file; nullptr before Loaded().
    TLanguageRecord* Reference() const { return reference_.get(); }

protected:
    virtual void DoBeforeLanguageSwitch(int32_t OldCode, int32_t NewCode, bool& CanChange);
    virtual void DoAfterLanguageSwitch();

private:
    QString LanguageFileName(int32_t code) const;
    const TLeftOutFile* LeftOut(int32_t Code) const;
    void ActivationEvent(QEvent* event);

    class ActivationHook;

    QObject* root_ = nullptr;
    std::unique_ptr<TLanguageRecord> reference_;
    std::unique_ptr<TLanguageRecord> current_;
    QList<TLanguageEntry> languages_;
    QList<TLeftOutFile> leftOut_;
    // The translatable properties of every component as the program made them: what
    // SelectOriginal puts back.
    struct TDesignValue {
        QPointer<QObject> Component;
        QString Property;
        QVariant Value;
    };
    QList<TDesignValue> design_;
    void KeepDesignTexts();
    QStringList excludedComps_;
    QString appDir_;
    bool languageLoaded_ = false;
    int16_t revision_ = 4;
    ActivationHook* hook_ = nullptr;
    bool initialized_ = false;
    int languageIndex_ = 0;
};
