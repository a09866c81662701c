// C_LangRecord: TLanguageRecord - one language's header, loading a language file into the live
// components and writing the reference file.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <stdexcept>

// Raised by LoadAndApply for a revision above 4 ("Format not supported in this revision") and for
// a non-empty flag record that is no bitmap file, or one whose header claims more than it holds
// ("Bitmap image is not valid").
class ELanguageFileError : public std::runtime_error {
public:
    explicit ELanguageFileError(const std::string& Text, const QString& FileName = QString())
        : std::runtime_error(Text), File(FileName) {}
    QString File; // the language file, when known
};

class TLanguageRecord {
public:
    // excludedComps: the language list's sorted exclusion list (names or paths, compared without
    // case); not owned, may be nullptr.
    TLanguageRecord(int16_t revision, QObject* root, const QStringList* excludedComps);

    // False when the file is missing, is not a language file or holds fewer than 6 records.
    // An empty fileName means the executable's folder + LangId in 8 hex digits + ".SPK".
    bool LoadAndApply(const QString& fileName);
    // Writes a revision-Revision reference file of every translatable component; always true.
    bool SaveToFile(const QString& fileName);

    // (path, component) pairs in collection order, for an empty prefix and Root.
    using ComponentList = QList<QPair<QString, QObject*>>;
    static void CollectComponents(const QString& prefix, ComponentList& list,
                                  const QStringList* excluded, QObject* component);

    QObject* Root = nullptr;
    int16_t Revision = 4;
    uint16_t FileRevision = 0;
    uint16_t LangId = 0;
    QString LangName;
    QString LocalCaption;
    QString Remark;
    QStringList Notes;
    uint8_t ExtraFlag = 0;
    QString ExtraText2;
    QString ExtraText1;
    uint32_t AppVersion = 0;
    QString ImeName;
    QString FontName;
    uint8_t Charset = 1;
    QImage Flag;
    const QStringList* ExcludedComps = nullptr;
    int32_t MinFontSize = 8;
};
