// C_LangRecord: TLanguageRecord - one language's header, loading a language file into the live
// components and writing the reference file.
#include "localisation/ui/C_LangRecord.h"

#include "localisation/CodePage.h"
#include "localisation/FlagBitmap.h"
#include "localisation/Lang_Storageobj.h"
#include "localisation/ui/ComponentModel.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QHash>
#include <QMessageBox>
#include <QWidget>

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

namespace {

constexpr const char* kSignature = "XOL LANGUAGE FILE";
constexpr int32_t kTranslated = 0x20;
constexpr int32_t kShowHintBit = 0x10;
// A language file may ask for any smallest size; beyond this a form is unusable anyway and the
// glyph caches grow with the size.
constexpr int kLargestAppliedFontSize = 72;

// Revision-0 entry kinds.
constexpr int32_t kKindControlFirst = 6;
constexpr int32_t kKindControlLast = 10;
constexpr int32_t kKindList = 11;
constexpr int32_t kKindStorage = 12;
constexpr int32_t kKindMenuItem = 13;

std::string LocalName(const QString& fileName) {
    return QFile::encodeName(fileName).toStdString();
}

QString DefaultFileName(uint16_t langId) {
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("%1.SPK").arg(langId, 8, 16, QLatin1Char('0')).toUpper());
}

QString Decode(const std::string& bytes, int charset) {
    return QString::fromStdString(DecodeCharsetText(bytes, charset));
}

std::string Encode(const QString& text, int charset) {
    return EncodeCharsetText(text.toStdString(), charset);
}

// Lines end at CR LF, a lone CR or a lone LF; a final line break adds no empty line.
QStringList SplitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

QString JoinLines(const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

// Blank: nothing left after trimming spaces and control characters at both ends.
bool IsBlank(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0x20; });
}

bool IsTranslated(int32_t tag) {
    return tag > 0 && (tag & kTranslated) != 0;
}

// Replaces value i of a string-list property with line i, for the lines that have a value. False
// when the property holds no string list.
bool ReplaceLines(QObject* component, QStringView property, const QStringList& lines) {
    const QVariant current = comp::GetProperty(component, property);
    if (current.metaType().id() != QMetaType::QStringList)
        return false;
    QStringList items = current.toStringList();
    const qsizetype n = std::min(items.size(), lines.size());
    for (qsizetype i = 0; i < n; ++i)
        items[i] = lines[i];
    return comp::SetProperty(component, property, items);
}

// Sets a property the component may lack; a lacking one is passed over.
void SetIfHas(QObject* component, QStringView property, const QVariant& value) {
    if (comp::HasProperty(component, property))
        comp::SetProperty(component, property, value);
}

// The path list with case-blind lookup, the first of equal paths winning.
class PathIndex {
public:
    void Add(const QString& path, QObject* component) {
        const QString key = path.toCaseFolded();
        if (!index_.contains(key))
            index_.insert(key, component);
    }
    void Add(const TLanguageRecord::ComponentList& list) {
        for (const auto& entry : list)
            Add(entry.first, entry.second);
    }
    QObject* Find(const QString& path) const { return index_.value(path.toCaseFolded(), nullptr); }

private:
    QHash<QString, QObject*> index_;
};

// Reads the next record's text in the file's character set.
int32_t ReadText(TStorefile& store, int charset, QString& text) {
    std::string bytes;
    const int32_t tag = store.ReadString(bytes);
    text = Decode(bytes, charset);
    return tag;
}

void SkipRecords(TStorefile& store, int count) {
    for (int i = 0; i < count; ++i)
        store.Next();
}

bool Contains(const QStringList* list, const QString& name) {
    if (!list)
        return false;
    return std::any_of(list->begin(), list->end(), [&](const QString& excluded) {
        return excluded.compare(name, Qt::CaseInsensitive) == 0;
    });
}

void ApplyRevision0(TStorefile& store, QObject* root) {
    constexpr int charset = 1;
    PathIndex index;
    const auto setCharset = [](QObject* c) {
        if (comp::HasProperty(c, u"Font"))
            comp::SetFontCharset(c, charset);
    };
    // Revision 0 knows forms and their components only; no exclusions.
    for (QObject* top : comp::Components(root)) {
        setCharset(top);
        if (!comp::IsForm(top))
            continue;
        const QString formName = comp::Name(top);
        index.Add(formName, top);
        for (QObject* c : comp::Components(top)) {
            setCharset(c);
            index.Add(formName + QLatin1Char('.') + comp::Name(c), c);
        }
    }

    const auto textAndHint = [&](QObject* c) {
        QString text;
        ReadText(store, charset, text);
        if (!text.isEmpty()) {
            if (comp::HasProperty(c, u"Caption"))
                comp::SetProperty(c, u"Caption", text);
            else
                SetIfHas(c, u"Text", text);
        }
        ReadText(store, charset, text);
        if (!text.isEmpty())
            SetIfHas(c, u"Hint", text);
    };
    // Surplus lines (more than the component has items) are dropped, as in later revisions.
    const auto list = [&](QObject* c) {
        QString text;
        ReadText(store, charset, text);
        if (!text.isEmpty() && comp::HasProperty(c, u"Items"))
            ReplaceLines(c, u"Items", SplitLines(text));
    };

    while (!store.Eof()) {
        QString path;
        const int32_t kind = ReadText(store, charset, path);
        QObject* c = index.Find(path);
        if (kind >= kKindControlFirst && kind <= kKindControlLast) {
            if (c)
                textAndHint(c);
            else
                SkipRecords(store, 2);
        } else if (kind == kKindList) {
            if (c) {
                textAndHint(c);
                list(c);
            } else {
                SkipRecords(store, 3);
            }
        } else if (kind == kKindStorage) {
            if (c)
                list(c);
            else
                SkipRecords(store, 1);
        } else if (kind == kKindMenuItem) {
            if (c)
                textAndHint(c);
            else
                SkipRecords(store, 2);
        }
    }
}

} // namespace

TLanguageRecord::TLanguageRecord(int16_t revision, QObject* root, const QStringList* excludedComps)
    : Root(root), Revision(revision), ExcludedComps(excludedComps) {}

void TLanguageRecord::CollectComponents(const QString& prefix, ComponentList& list,
                                        const QStringList* excluded, QObject* component) {
    if (!component)
        return;
    const QString name = comp::Name(component);
    if (!name.isEmpty() && !Contains(excluded, name) && !Contains(excluded, prefix + name))
        list.append({prefix + name, component});
    // An unnamed owner starts the paths below it afresh; an excluded one still lends its name.
    const QString below = name.isEmpty() ? QString() : prefix + name + QLatin1Char('.');
    for (QObject* owned : comp::Components(component))
        CollectComponents(below, list, excluded, owned);
}

bool TLanguageRecord::LoadAndApply(const QString& fileName) {
    const QString filePath = fileName.isEmpty() ? DefaultFileName(LangId) : fileName;
    // Opening a missing file would create it.
    if (!QFileInfo::exists(filePath))
        return false;
    TStorefile store;
    store.SetSignature(kSignature);
    store.SetReadOnly(true);
    store.SetFilename(LocalName(filePath));
    store.Open();
    if (!store.Opened() || store.Count() < 6)
        return false;

    uint8_t word[4] = {0, 0, 0, 0};
    int32_t got = 4;
    store.ReadData(word, got);
    LangId = static_cast<uint16_t>(word[0] | word[1] << 8);
    FileRevision = got == 4 ? static_cast<uint16_t>(word[2] | word[3] << 8) : 0;

    // The header's texts are in the character set that the header names further on.
    std::string langName, localCaption, remark, notes;
    store.ReadString(langName);
    store.ReadString(localCaption);
    store.ReadString(remark);
    store.ReadString(notes);
    std::vector<uint8_t> flag;
    store.ReadData(flag);
    const auto decodeHead = [&](int charset) {
        LangName = Decode(langName, charset);
        LocalCaption = Decode(localCaption, charset);
        Remark = Decode(remark, charset);
        Notes = SplitLines(Decode(notes, charset));
    };
    decodeHead(1);
    Flag = QImage();
    if (!flag.empty() && (!FlagBitmapValid(flag) ||
                          !Flag.loadFromData(flag.data(), static_cast<int>(flag.size()), "BMP"))) {
        Flag = QImage();
        throw ELanguageFileError("Bitmap image is not valid");
    }

    if (FileRevision > 4)
        throw ELanguageFileError("Format not supported in this revision");
    if (FileRevision == 0) {
        Charset = 1;
        ApplyRevision0(store, Root);
        return true;
    }

    int32_t value = 0;
    store.ReadInteger(value);
    AppVersion = static_cast<uint32_t>(value);
    std::string extraText1, extraText2, imeName, fontName;
    if (FileRevision >= 2) {
        value = 0;
        store.ReadInteger(value);
        ExtraFlag = static_cast<uint8_t>(value);
        store.ReadString(extraText1);
        store.ReadString(extraText2);
    }
    store.ReadString(imeName);
    store.ReadString(fontName);
    value = 0;
    store.ReadInteger(value);
    Charset = static_cast<uint8_t>(value);
    if (FileRevision == 4) {
        value = 0;
        store.ReadInteger(value);
        MinFontSize = value;
    } else {
        MinFontSize = 9;
    }
    decodeHead(Charset);
    if (FileRevision >= 2) {
        ExtraText1 = Decode(extraText1, Charset);
        ExtraText2 = Decode(extraText2, Charset);
    }
    ImeName = Decode(imeName, Charset);
    FontName = Decode(fontName, Charset);

    ComponentList list;
    CollectComponents(QString(), list, ExcludedComps, Root);

    QString referenceFace;
    if (QWidget* mainForm = comp::MainForm())
        referenceFace = mainForm->font().family();
    else if (Root && Root->isWidgetType())
        referenceFace = static_cast<QWidget*>(Root)->font().family();
    const int largest = std::min(MinFontSize, kLargestAppliedFontSize);
    for (const auto& [name, c] : list) {
        const QVariant current = comp::GetProperty(c, u"Font");
        if (current.metaType().id() != QMetaType::QFont)
            continue;
        QFont font = current.value<QFont>();
        if (font.family() == referenceFace)
            font.setFamily(FontName);
        // A pixel-sized font has no point size to compare.
        if (FileRevision == 4 && font.pointSizeF() > 0 && font.pointSizeF() < largest)
            font.setPointSize(largest);
        // Setting a widget's font unties it from its parent's, so only a change is set.
        if (font != current.value<QFont>() || font.family() != current.value<QFont>().family())
            comp::SetProperty(c, u"Font", font);
        comp::SetFontCharset(c, Charset);
    }

    PathIndex index;
    index.Add(list);
    const bool hasAlignment = FileRevision >= 3;
    while (!store.Eof()) {
        QString path;
        ReadText(store, Charset, path);
        QObject* c = index.Find(path);
        if (!c) {
            SkipRecords(store, hasAlignment ? 4 : 3);
            continue;
        }
        QVariant itemIndex;
        if (comp::HasProperty(c, u"ItemIndex"))
            itemIndex = comp::GetProperty(c, u"ItemIndex");

        if (hasAlignment) {
            int32_t code = 0;
            store.ReadInteger(code);
            if (code == 1) {
                SetIfHas(c, u"alignment", 1);
                SetIfHas(c, u"Layout", 0);
            } else if (code == 2) {
                SetIfHas(c, u"alignment", 0);
                SetIfHas(c, u"Layout", 1);
            }
        }

        QString text;
        int32_t tag = ReadText(store, Charset, text);
        if (IsTranslated(tag)) {
            if (comp::HasProperty(c, u"Caption"))
                comp::SetProperty(c, u"Caption", text);
            else
                SetIfHas(c, u"Text", text);
        }

        tag = ReadText(store, Charset, text);
        if (IsTranslated(tag) && comp::HasProperty(c, u"Hint")) {
            comp::SetProperty(c, u"Hint", text);
            SetIfHas(c, u"ShowHint", (tag & kShowHintBit) != 0);
        }

        tag = ReadText(store, Charset, text);
        if (IsTranslated(tag)) {
            if (comp::HasProperty(c, u"Items"))
                ReplaceLines(c, u"Items", SplitLines(text));
            else if (comp::HasProperty(c, u"Lines"))
                ReplaceLines(c, u"Lines", SplitLines(text));
        }

        if (itemIndex.isValid())
            comp::SetProperty(c, u"ItemIndex", itemIndex);
    }
    comp::SetScreenFontCharset(Charset);
    return true;
}

bool TLanguageRecord::SaveToFile(const QString& fileName) {
    const QString path = fileName.isEmpty() ? DefaultFileName(LangId) : fileName;
    TStorefile store;
    store.SetSignature(kSignature);
    store.SetFilename(LocalName(path));
    store.Erase();
    store.Open();

    const int charset = Charset;
    const auto writeText = [&](int32_t tag, const QString& text) {
        store.WriteString(tag, Encode(text, charset));
    };
    store.WriteInteger(0, static_cast<int32_t>(static_cast<uint32_t>(LangId) |
                                               static_cast<uint32_t>(Revision) << 16));
    writeText(1, LangName);
    writeText(2, LocalCaption);
    writeText(3, Remark);
    writeText(4, JoinLines(Notes));
    QByteArray bitmap;
    if (!Flag.isNull()) {
        QBuffer buffer(&bitmap);
        buffer.open(QIODevice::WriteOnly);
        Flag.save(&buffer, "BMP");
    }
    store.WriteData(5, bitmap.constData(), static_cast<int32_t>(bitmap.size()));
    store.WriteInteger(0x200, static_cast<int32_t>(AppVersion));
    store.WriteInteger(0x204, ExtraFlag);
    writeText(0x205, ExtraText1);
    writeText(0x206, ExtraText2);
    writeText(0x201, ImeName);
    writeText(0x202, FontName);
    store.WriteInteger(0x203, Charset);
    store.WriteInteger(0x204, MinFontSize);

    ComponentList list;
    CollectComponents(QString(), list, ExcludedComps, Root);
    for (qsizetype number = 0; number < list.size(); ++number) {
        const auto& [name, c] = list[number];
        try {
            QString text;
            bool hasText = false;
            if (comp::HasProperty(c, u"Caption")) {
                text = comp::GetProperty(c, u"Caption").toString();
                hasText = !IsBlank(text);
            }
            if (!hasText && comp::HasProperty(c, u"Text")) {
                text = comp::GetProperty(c, u"Text").toString();
                hasText = !IsBlank(text);
            }
            QString hint;
            bool hasHint = false;
            if (comp::HasProperty(c, u"Hint")) {
                hint = comp::GetProperty(c, u"Hint").toString();
                hasHint = !IsBlank(hint);
            }
            QStringList lines;
            for (const auto property : {u"Items", u"Lines"}) {
                const QVariant v = comp::GetProperty(c, property);
                if (v.metaType().id() == QMetaType::QStringList && !v.toStringList().isEmpty()) {
                    lines = v.toStringList();
                    break;
                }
            }
            const bool hasList = !lines.isEmpty();
            const int k = int(hasText) + int(hasHint) + int(hasList);
            if (k == 0)
                continue;

            int32_t hintTag = 0x12;
            if (comp::HasProperty(c, u"ShowHint"))
                hintTag = (comp::GetProperty(c, u"ShowHint").toBool() ? kShowHintBit : 0) + 2;
            writeText(0x210 + k, name);
            store.WriteInteger(0x300, 0);
            writeText(hasText ? 1 : 0, hasText ? text : QString());
            writeText(hasHint ? hintTag : 0, hasHint ? hint : QString());
            writeText(hasList ? 3 : 0, hasList ? JoinLines(lines) : QString());
        } catch (const std::exception& e) {
            QMessageBox::warning(comp::MainForm(), QGuiApplication::applicationDisplayName(),
                                 QString::asprintf("Exception %s - component No %d", e.what(),
                                                   static_cast<int>(number)));
        }
    }
    store.Close();
    return true;
}
