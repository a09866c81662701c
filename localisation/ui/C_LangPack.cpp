// C_LangPack: TLangList - finding the language files, remembering the choice, switching language.
#include "localisation/ui/C_LangPack.h"

#include "localisation/CodePage.h"
#include "localisation/FlagBitmap.h"
#include "localisation/Lang_Storageobj.h"
#include "localisation/ui/C_LangRecord.h"
#include "localisation/ui/ComponentModel.h"
#include "support/settings/SettingsStore.h"
#include "support/versioninfo/C_VersionInfo.h"

#include <QApplication>
#include <QApplicationStateChangeEvent>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>

#include <algorithm>
#include <array>
#include <vector>

namespace {

struct LangIdEntry {
    uint16_t langId;
    QLocale::Language language; // AnyLanguage: no locale names this one
    QLocale::Territory territory;
    QLocale::Script script = QLocale::AnyScript; // only where the script tells variants apart
};

using L = QLocale;

// Scan order first; the locale columns map the user's locale onto these identifiers.
constexpr std::array<LangIdEntry, 145> kLangIds = {{
    {0x0400, L::AnyLanguage, L::AnyTerritory}, // process default
    {0x0436, L::Afrikaans, L::SouthAfrica},
    {0x041C, L::Albanian, L::Albania},
    {0x0401, L::Arabic, L::SaudiArabia},
    {0x0801, L::Arabic, L::Iraq},
    {0x0C01, L::Arabic, L::Egypt},
    {0x1001, L::Arabic, L::Libya},
    {0x1401, L::Arabic, L::Algeria},
    {0x1801, L::Arabic, L::Morocco},
    {0x1C01, L::Arabic, L::Tunisia},
    {0x2001, L::Arabic, L::Oman},
    {0x2401, L::Arabic, L::Yemen},
    {0x2801, L::Arabic, L::Syria},
    {0x2C01, L::Arabic, L::Jordan},
    {0x3001, L::Arabic, L::Lebanon},
    {0x3401, L::Arabic, L::Kuwait},
    {0x3801, L::Arabic, L::UnitedArabEmirates},
    {0x3C01, L::Arabic, L::Bahrain},
    {0x4001, L::Arabic, L::Qatar},
    {0x042B, L::Armenian, L::Armenia},
    {0x044D, L::Assamese, L::India},
    {0x042C, L::Azerbaijani, L::Azerbaijan, L::LatinScript},
    {0x082C, L::Azerbaijani, L::Azerbaijan, L::CyrillicScript},
    {0x042D, L::Basque, L::Spain},
    {0x0423, L::Belarusian, L::Belarus},
    {0x0445, L::Bangla, L::India},
    {0x0402, L::Bulgarian, L::Bulgaria},
    {0x0455, L::Burmese, L::Myanmar},
    {0x0403, L::Catalan, L::Spain},
    {0x0404, L::Chinese, L::Taiwan},
    {0x0804, L::Chinese, L::China},
    {0x0C04, L::Chinese, L::HongKong},
    {0x1004, L::Chinese, L::Singapore},
    {0x1404, L::Chinese, L::Macao},
    {0x041A, L::Croatian, L::Croatia},
    {0x0405, L::Czech, L::Czechia},
    {0x0406, L::Danish, L::Denmark},
    {0x0413, L::Dutch, L::Netherlands},
    {0x0813, L::Dutch, L::Belgium},
    {0x0409, L::English, L::UnitedStates},
    {0x0809, L::English, L::UnitedKingdom},
    {0x0C09, L::English, L::Australia},
    {0x1009, L::English, L::Canada},
    {0x1409, L::English, L::NewZealand},
    {0x1809, L::English, L::Ireland},
    {0x1C09, L::English, L::SouthAfrica},
    {0x2009, L::English, L::Jamaica},
    {0x2409, L::AnyLanguage, L::AnyTerritory}, // English (Caribbean): no single territory
    {0x2809, L::English, L::Belize},
    {0x2C09, L::English, L::TrinidadAndTobago},
    {0x3009, L::English, L::Zimbabwe},
    {0x3409, L::English, L::Philippines},
    {0x0425, L::Estonian, L::Estonia},
    {0x0438, L::Faroese, L::FaroeIslands},
    {0x0429, L::Persian, L::Iran},
    {0x040B, L::Finnish, L::Finland},
    {0x040C, L::French, L::France},
    {0x080C, L::French, L::Belgium},
    {0x0C0C, L::French, L::Canada},
    {0x100C, L::French, L::Switzerland},
    {0x140C, L::French, L::Luxembourg},
    {0x180C, L::French, L::Monaco},
    {0x0456, L::Galician, L::Spain},
    {0x0437, L::Georgian, L::Georgia},
    {0x0407, L::German, L::Germany},
    {0x0807, L::German, L::Switzerland},
    {0x0C07, L::German, L::Austria},
    {0x1007, L::German, L::Luxembourg},
    {0x1407, L::German, L::Liechtenstein},
    {0x0408, L::Greek, L::Greece},
    {0x0447, L::Gujarati, L::India},
    {0x040D, L::Hebrew, L::Israel},
    {0x0439, L::Hindi, L::India},
    {0x040E, L::Hungarian, L::Hungary},
    {0x040F, L::Icelandic, L::Iceland},
    {0x0421, L::Indonesian, L::Indonesia},
    {0x0410, L::Italian, L::Italy},
    {0x0810, L::Italian, L::Switzerland},
    {0x0411, L::Japanese, L::Japan},
    {0x044B, L::Kannada, L::India},
    {0x0860, L::Kashmiri, L::India},
    {0x043F, L::Kazakh, L::Kazakhstan},
    {0x0457, L::Konkani, L::India},
    {0x0412, L::Korean, L::SouthKorea},
    {0x0812, L::AnyLanguage, L::AnyTerritory}, // Korean (Johab): an encoding, not a locale
    {0x0426, L::Latvian, L::Latvia},
    {0x0427, L::Lithuanian, L::Lithuania},
    {0x0827, L::AnyLanguage, L::AnyTerritory}, // Lithuanian (Classic): a sort order
    {0x042F, L::Macedonian, L::Macedonia},
    {0x043E, L::Malay, L::Malaysia},
    {0x083E, L::Malay, L::Brunei},
    {0x044C, L::Malayalam, L::India},
    {0x0458, L::Manipuri, L::India},
    {0x044E, L::Marathi, L::India},
    {0x0861, L::Nepali, L::India},
    {0x0414, L::NorwegianBokmal, L::Norway},
    {0x0814, L::NorwegianNynorsk, L::Norway},
    {0x0448, L::Odia, L::India},
    {0x0415, L::Polish, L::Poland},
    {0x0416, L::Portuguese, L::Brazil},
    {0x0816, L::Portuguese, L::Portugal},
    {0x0446, L::Punjabi, L::India},
    {0x0418, L::Romanian, L::Romania},
    {0x0419, L::Russian, L::Russia},
    {0x044F, L::Sanskrit, L::India},
    {0x0C1A, L::Serbian, L::Serbia, L::CyrillicScript},
    {0x081A, L::Serbian, L::Serbia, L::LatinScript},
    {0x0459, L::Sindhi, L::India},
    {0x041B, L::Slovak, L::Slovakia},
    {0x0424, L::Slovenian, L::Slovenia},
    {0x040A, L::AnyLanguage, L::AnyTerritory}, // Spanish (Traditional Sort): Spain is 0x0C0A
    {0x080A, L::Spanish, L::Mexico},
    {0x0C0A, L::Spanish, L::Spain},
    {0x100A, L::Spanish, L::Guatemala},
    {0x140A, L::Spanish, L::CostaRica},
    {0x180A, L::Spanish, L::Panama},
    {0x1C0A, L::Spanish, L::DominicanRepublic},
    {0x200A, L::Spanish, L::Venezuela},
    {0x240A, L::Spanish, L::Colombia},
    {0x280A, L::Spanish, L::Peru},
    {0x2C0A, L::Spanish, L::Argentina},
    {0x300A, L::Spanish, L::Ecuador},
    {0x340A, L::Spanish, L::Chile},
    {0x380A, L::Spanish, L::Uruguay},
    {0x3C0A, L::Spanish, L::Paraguay},
    {0x400A, L::Spanish, L::Bolivia},
    {0x440A, L::Spanish, L::ElSalvador},
    {0x480A, L::Spanish, L::Honduras},
    {0x4C0A, L::Spanish, L::Nicaragua},
    {0x500A, L::Spanish, L::PuertoRico},
    {0x0430, L::SouthernSotho, L::SouthAfrica},
    {0x0441, L::Swahili, L::Kenya},
    {0x041D, L::Swedish, L::Sweden},
    {0x081D, L::Swedish, L::Finland},
    {0x0449, L::Tamil, L::India},
    {0x0444, L::Tatar, L::Russia},
    {0x044A, L::Telugu, L::India},
    {0x041E, L::Thai, L::Thailand},
    {0x041F, L::Turkish, L::Turkey},
    {0x0422, L::Ukrainian, L::Ukraine},
    {0x0420, L::Urdu, L::Pakistan},
    {0x0820, L::Urdu, L::India},
    {0x0443, L::Uzbek, L::Uzbekistan, L::LatinScript},
    {0x0843, L::Uzbek, L::Uzbekistan, L::CyrillicScript},
    {0x042A, L::Vietnamese, L::Vietnam},
}};

constexpr std::array<uint16_t, kLangIds.size()> MakeIdList() {
    std::array<uint16_t, kLangIds.size()> ids{};
    for (size_t i = 0; i < kLangIds.size(); ++i)
        ids[i] = kLangIds[i].langId;
    return ids;
}
constexpr std::array<uint16_t, kLangIds.size()> kScanOrder = MakeIdList();

constexpr uint16_t kPrimaryMask = 0x03FF;
constexpr int kFlagRecord = 5;

QString DecodeLanguageText(const std::string& bytes, int charset) {
    return QString::fromStdString(DecodeCharsetText(bytes, charset));
}

QString Hex(uint32_t value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QString WithSeparator(const QString& dir) {
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The version packed as major 8, minor 8, release 6 and build 10 bits.
QString VersionText(uint32_t packed) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(packed >> 24)
        .arg((packed >> 16) & 0xFF)
        .arg((packed >> 10) & 0x3F)
        .arg(packed & 0x3FF);
}

// What the scan shows of one language file; false when it does not open as one.
// False for a file that is no language file (problem empty) or one whose flag picture is
// damaged (problem says so: such a file could not be loaded).
bool DescribeLanguageFile(const QString& path, QString& text, QString& problem) {
    problem.clear();
    TStorefile store;
    store.SetSignature(TLangList::kSignature);
    store.SetReadOnly(true);
    store.SetFilename(LocalPath(path));
    store.Open();
    if (!store.Opened())
        return false;
    int32_t word = 0;
    store.ReadInteger(word);
    std::string langName, localCaption, remark;
    store.ReadString(langName);
    store.ReadString(localCaption);
    store.ReadString(remark);
    const auto revision = static_cast<uint32_t>(word) >> 16;
    int32_t appVersion = 0;
    int32_t charset = 1; // a revision-0 file has no character set of its own
    store.Next();        // Notes
    std::vector<uint8_t> flag;
    store.ReadData(flag);
    if (!flag.empty() && !FlagBitmapValid(flag)) {
        store.Close();
        problem = QStringLiteral("Bitmap image is not valid");
        return false;
    }
    if (revision >= 1) {
        store.ReadInteger(appVersion);
        // The character set comes further on, but the names are in its code page.
        if (revision <= 4) {
            const int skip = revision >= 2 ? 5 : 2; // Extra fields, ImeName, FontName
            for (int i = 0; i < skip; ++i)
                store.Next();
            store.ReadInteger(charset);
            charset &= 0xFF;
        }
    }
    store.Close();
    const QString name = DecodeLanguageText(langName, charset);
    const QString note = DecodeLanguageText(remark, charset);
    if (revision >= 1)
        text = name + QStringLiteral(" [") + VersionText(static_cast<uint32_t>(appVersion)) +
               QStringLiteral("] - ") + note;
    else
        text = name + QStringLiteral(" - ") + note;
    return true;
}

void ShowError(const std::exception& error) {
    QMessageBox::critical(comp::MainForm(), QGuiApplication::applicationDisplayName(),
                          QString::fromUtf8(error.what()));
}

} // namespace

std::span<const uint16_t> ScannedLangIds() {
    return kScanOrder;
}

uint16_t LangIdOfLocale(const QLocale& locale) {
    if (locale.language() == QLocale::C)
        return 0x0409;
    const LangIdEntry* sameLanguage = nullptr;
    for (const LangIdEntry& e : kLangIds) {
        if (e.language != locale.language())
            continue;
        if (e.territory == locale.territory() &&
            (e.script == QLocale::AnyScript || e.script == locale.script()))
            return e.langId;
        // The main entry of a language is its first sub-language (SUBLANG 1), else its first.
        if (!sameLanguage || ((e.langId >> 10) == 1 && (sameLanguage->langId >> 10) != 1))
            sameLanguage = &e;
    }
    return sameLanguage ? sameLanguage->langId : 0;
}

QString InstalledLanguageSubDir(const QString& appDir) {
    const QString relative = QStringLiteral("../share/clipvane/languages");
    if (QFileInfo(WithSeparator(appDir) + relative).isDir())
        return relative;
    return QString();
}

QString InstalledLanguageSubDir() {
    return InstalledLanguageSubDir(QCoreApplication::applicationDirPath());
}

// Application event filters run newest first, so a hook made after the main window's own runs
// before it, which is the order the start-up needs.
class TLangList::ActivationHook : public QObject {
public:
    explicit ActivationHook(TLangList* list) : QObject(list), list_(list) {
        qApp->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == qApp)
            list_->ActivationEvent(event);
        return false;
    }

private:
    TLangList* list_;
};

TLangList::TLangList(QObject* owner, const QString& name)
    : QObject(owner), root_(owner), appDir_(WithSeparator(QCoreApplication::applicationDirPath())) {
    setObjectName(name);
    if (owner)
        comp::Own(owner, this);
}

TLangList::~TLangList() = default;

void TLangList::SetExcludedComps(const QStringList* Value) {
    if (!Value)
        return;
    QStringList sorted = *Value;
    std::stable_sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    excludedComps_.clear();
    for (const QString& s : sorted)
        if (excludedComps_.isEmpty() ||
            QString::compare(excludedComps_.last(), s, Qt::CaseInsensitive) != 0)
            excludedComps_.append(s);
}

void TLangList::Loaded() {
    if (!CplCompatibility)
        root_ = comp::Application();
    if (!reference_)
        reference_ = std::make_unique<TLanguageRecord>(revision_, root_, &excludedComps_);
    if (!current_)
        current_ = std::make_unique<TLanguageRecord>(revision_, root_, &excludedComps_);
    if (!hook_)
        hook_ = new ActivationHook(this);
}

QString TLangList::GetLanguageDir() const {
    const auto existing = [](QString dir) {
        if (dir.endsWith(QLatin1Char('/')))
            dir.chop(1);
        return QFileInfo(dir).isDir() ? dir + QLatin1Char('/') : QString();
    };
    QString dir = existing(appDir_ + SubDir);
    if (dir.isEmpty())
        dir = existing(appDir_ + QStringLiteral("system/") + SubDir);
    if (dir.isEmpty())
        dir = WithSeparator(QDir::currentPath() + QLatin1Char('/') + SubDir);
    return dir;
}

QString TLangList::LanguageFileName(int32_t code) const {
    return GetLanguageDir() + FilePrefix + Hex(static_cast<uint32_t>(code), 8) +
           QStringLiteral(".SPK");
}

bool TLangList::ScanLanguages() {
    languages_.clear();
    bool found = false;
    const QString dir = GetLanguageDir();
    for (const uint16_t langId : kScanOrder) {
        // Variants are numbered without gaps: the first missing one ends the language.
        for (uint32_t variant = 0; variant <= 0xFFFF; ++variant) {
            const uint32_t code = variant << 16 | langId;
            const QString path = dir + FilePrefix + Hex(code, 8) + QStringLiteral(".SPK");
            if (!QFileInfo::exists(path))
                break;
            QString text;
            QString problem;
            if (LeftOut(static_cast<int32_t>(code)))
                continue;
            if (DescribeLanguageFile(path, text, problem)) {
                found = true;
                languages_.append({text, static_cast<int32_t>(code)});
            } else if (!problem.isEmpty()) {
                leftOut_.append({static_cast<int32_t>(code), path, problem});
            }
        }
    }
    return found;
}

void TLangList::SetLanguageIndex(int Value) {
    if (Value < 0 || Value >= languages_.size())
        return;
    bool canChange = true;
    DoBeforeLanguageSwitch(GetLanguageCode(languageIndex_), GetLanguageCode(Value), canChange);
    if (!canChange)
        return;
    const int previous = languageIndex_;
    KeepDesignTexts();
    languageIndex_ = Value;
    if (Autoload)
        SaveChoice();
    const int32_t code = GetLanguageCode(Value);
    const QString file = LanguageFileName(code);
    try {
        languageLoaded_ = current_ && current_->LoadAndApply(file);
    } catch (const ELanguageFileError& error) {
        // The file is left out for the rest of the run, and the language in use stays.
        leftOut_.append({code, file, QString::fromUtf8(error.what())});
        languages_.removeAt(Value);
        languageIndex_ = previous > Value ? previous - 1 : previous == Value ? 0 : previous;
        throw ELanguageFileError(file.toStdString() + ": " + error.what(), file);
    }
    if (languageLoaded_)
        DoAfterLanguageSwitch();
}

const TLangList::TLeftOutFile* TLangList::LeftOut(int32_t Code) const {
    for (const TLeftOutFile& f : leftOut_)
        if (f.Code == Code)
            return &f;
    return nullptr;
}

void TLangList::DoBeforeLanguageSwitch(int32_t OldCode, int32_t NewCode, bool& CanChange) {
    if (BeforeLanguageSwitch)
        BeforeLanguageSwitch(this, OldCode, NewCode, CanChange);
}

void TLangList::DoAfterLanguageSwitch() {
    if (AfterLanguageSwitch)
        AfterLanguageSwitch(this);
}

QString TLangList::GetLanguageName() const {
    return languageLoaded_ && current_ ? current_->LangName : QString();
}

QString TLangList::GetLocalCaption() const {
    return languageLoaded_ && current_ ? current_->LocalCaption : QString();
}

int32_t TLangList::GetLanguageCode(int n) const {
    return n >= 0 && n < languages_.size() ? languages_[n].Code : 0;
}

bool TLangList::ReadFlag(int32_t Code, QImage& Bitmap) const {
    Bitmap = QImage();
    const QString path = GetLanguageDir() + FilePrefix + QStringLiteral("0000") +
                         Hex(static_cast<uint32_t>(Code) & 0xFFFF, 4) + QStringLiteral(".SPK");
    // Opening a missing store would create it.
    if (!QFileInfo(path).isFile())
        return false;
    TStorefile store;
    store.SetSignature(kSignature);
    store.SetReadOnly(true);
    store.SetFilename(LocalPath(path));
    store.Open();
    if (!store.Opened())
        return false;
    std::vector<uint8_t> data;
    if (store.GoTo(kFlagRecord) && !store.Eof())
        store.ReadData(data, false);
    store.Close();
    if (data.empty())
        return true;
    const QImage image =
        FlagBitmapValid(data)
            ? QImage::fromData(QByteArrayView(data.data(), static_cast<qsizetype>(data.size())),
                               "BMP")
            : QImage();
    if (image.isNull())
        throw EInvalidGraphic("Bitmap image is not valid");
    Bitmap = image;
    return true;
}

void TLangList::SaveChoice() {
    if (RegKey.isEmpty())
        return;
    reg::RegKey key(reg::RegRoot::CurrentUser);
    if (key.Open(RegKey.toStdString(), reg::access::kAllAccess, true) == reg::RegStatus::Success &&
        languageIndex_ >= 0)
        key.WriteDword(objectName().toStdString(),
                       static_cast<uint32_t>(GetLanguageCode(languageIndex_)));
}

void TLangList::KeepDesignTexts() {
    if (!design_.isEmpty() || languageLoaded_ || !root_)
        return;
    TLanguageRecord::ComponentList list;
    TLanguageRecord::CollectComponents(QString(), list, &excludedComps_, root_);
    for (const auto& [path, component] : list) {
        for (const auto property : {u"Caption", u"Text", u"Hint", u"Items", u"Lines", u"Font"}) {
            if (comp::HasProperty(component, property))
                design_.append({component, QString::fromUtf16(property),
                                comp::GetProperty(component, property)});
        }
    }
}

void TLangList::SelectOriginal() {
    bool canChange = true;
    DoBeforeLanguageSwitch(languageLoaded_ ? GetLanguageCode(languageIndex_) : 0, 0, canChange);
    if (!canChange)
        return;
    for (const TDesignValue& v : design_) {
        if (v.Component)
            comp::SetProperty(v.Component, v.Property, v.Value);
    }
    languageLoaded_ = false;
    if (Autoload && !RegKey.isEmpty()) {
        reg::RegKey key(reg::RegRoot::CurrentUser);
        if (key.Open(RegKey.toStdString(), reg::access::kAllAccess, true) ==
            reg::RegStatus::Success)
            key.WriteDword(objectName().toStdString(), 0);
    }
    DoAfterLanguageSwitch();
}

bool TLangList::RestoreChoice() {
    if (RegKey.isEmpty())
        return false;
    reg::RegKey key(reg::RegRoot::CurrentUser);
    const std::string name = objectName().toStdString();
    if (key.Open(RegKey.toStdString(), reg::access::kRead, false) == reg::RegStatus::Success &&
        key.ValueExists(name)) {
        uint32_t code = 0;
        if (key.ReadDword(name, code) != reg::RegStatus::Success)
            throw ERegistryException("Invalid data type for '" + name + "'");
        // 0 is the program's own texts, chosen as such.
        if (code == 0)
            return true;
        const bool selected = SelectByCode(static_cast<int32_t>(code));
        // The remembered language's file was found damaged by the scan: said once, after the
        // language that could be used is in place.
        if (const TLeftOutFile* broken = LeftOut(static_cast<int32_t>(code)))
            throw ELanguageFileError(
                broken->File.toStdString() + ": " + broken->Reason.toStdString(), broken->File);
        return selected;
    }
    return SelectSystemLanguage();
}

bool TLangList::SelectByCode(int32_t Code) {
    const auto select = [this](auto matches) {
        for (int i = 0; i < languages_.size(); ++i)
            if (matches(static_cast<uint32_t>(languages_[i].Code))) {
                SetLanguageIndex(i);
                return true;
            }
        return false;
    };
    const auto code = static_cast<uint32_t>(Code);
    return select([code](uint32_t c) { return c == code; }) ||
           select([code](uint32_t c) { return (c & 0xFFFF) == (code & 0xFFFF); }) ||
           select([code](uint32_t c) { return (c & kPrimaryMask) == (code & kPrimaryMask); });
}

bool TLangList::SelectSystemLanguage() {
    // The default locale is the system's unless the program chose another.
    const uint16_t langId = LangIdOfLocale(QLocale());
    const auto select = [this](auto matches) {
        for (int i = 0; i < languages_.size(); ++i)
            if (matches(static_cast<uint16_t>(languages_[i].Code & 0xFFFF))) {
                SetLanguageIndex(i);
                return true;
            }
        return false;
    };
    return select([langId](uint16_t id) { return id == langId; }) ||
           select([langId](uint16_t id) { return (id & kPrimaryMask) == (langId & kPrimaryMask); });
}

void TLangList::WriteReference() {
    if (reference_)
        reference_->SaveToFile(GetLanguageDir() + FilePrefix + QStringLiteral("ORIGINAL.SPK"));
}

void TLangList::FirstActivate() {
    QStringList params = QCoreApplication::arguments();
    if (!params.isEmpty())
        params.removeFirst();
    FirstActivateWith(params);
}

void TLangList::FirstActivateWith(const QStringList& Params) {
    if (initialized_)
        return;
    // Set first: an error below is shown in a box, whose closing activates the application
    // again, and must not bring the same box back.
    initialized_ = true;
    for (const QString& param : Params) {
        QString p = param.toLower();
        const qsizetype slash = p.indexOf(QLatin1Char('/'));
        if (slash >= 0)
            p[slash] = QLatin1Char('-');
        if (!p.startsWith(QStringLiteral("-co")))
            continue;
        QApplication::beep();
        ScanLanguages();
        if (reference_) {
            TCustomversion_Info ownVersion;
            reference_->AppVersion = static_cast<uint32_t>(ownVersion.FileVersionInt());
            // No input method editor has a system-wide name here; Qt's chosen module comes
            // closest.
            reference_->ImeName = qEnvironmentVariable("QT_IM_MODULE");
            const QWidget* mainForm = comp::MainForm();
            reference_->FontName =
                mainForm ? mainForm->font().family() : QApplication::font().family();
            reference_->Charset = static_cast<uint8_t>(mainForm ? comp::FontCharset(mainForm) : 1);
        }
        WriteReference();
        break;
    }
    ScanLanguages();
    if (Autoload)
        RestoreChoice();
}

void TLangList::ActivationEvent(QEvent* event) {
    const bool activated = event->type() == QEvent::ApplicationActivate ||
                           (event->type() == QEvent::ApplicationStateChange &&
                            static_cast<QApplicationStateChangeEvent*>(event)->applicationState() ==
                                Qt::ApplicationActive);
    if (!activated || initialized_)
        return;
    // An error here has no caller to reach; it is shown as the application shows any error.
    try {
        FirstActivate();
    } catch (const std::exception& error) {
        ShowError(error);
    }
}
