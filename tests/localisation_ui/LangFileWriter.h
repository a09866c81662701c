// LangFileWriter: language files written record by record with the record store, for tests.
#pragma once

#include "localisation/Lang_Storageobj.h"

#include <QBuffer>
#include <QColor>
#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

namespace langtest {

inline constexpr const char* kSignature = "XOL LANGUAGE FILE";

// One component entry of revision 1 to 4; a value with tag 0 and no text is left out.
struct EntryContent {
    std::string path;
    int32_t textTag = 0x21; // translated text
    std::string text;
    int32_t hintTag = 0;
    std::string hint;
    int32_t listTag = 0;
    std::string list; // lines, each followed by CR LF
};

struct LangFileContent {
    uint16_t langId = 0x040C;
    // 0 writes a 2-byte language word, as the oldest files hold.
    uint16_t revision = 4;
    std::string langName;
    std::string localCaption;
    std::string remark;
    std::string notes;
    std::vector<uint8_t> flag; // a whole BMP file, or empty
    uint32_t appVersion = 0;
    uint8_t extraFlag = 0;
    std::string extraText1;
    std::string extraText2;
    std::string imeName;
    std::string fontName;
    int32_t charset = 0;
    int32_t minFontSize = 8;
    std::vector<EntryContent> entries;
    // Records written after the header's first ones stop here when >= 0 (a short, broken file).
    int maxRecords = -1;
};

// Writes content as a language file at path (replacing it); false when the store did not open.
inline bool WriteLangFile(const std::string& path, const LangFileContent& content) {
    TStorefile store;
    store.SetSignature(kSignature);
    store.SetFilename(path);
    store.Erase();
    store.Open();
    if (!store.Opened())
        return false;
    int written = 0;
    const auto room = [&] { return content.maxRecords < 0 || written < content.maxRecords; };
    const auto text = [&](int32_t tag, const std::string& s) {
        if (room()) {
            store.WriteString(tag, s);
            ++written;
        }
    };
    const auto number = [&](int32_t tag, int32_t v) {
        if (room()) {
            store.WriteInteger(tag, v);
            ++written;
        }
    };
    if (content.revision == 0) {
        const uint8_t word[2] = {static_cast<uint8_t>(content.langId),
                                 static_cast<uint8_t>(content.langId >> 8)};
        store.WriteData(0, word, 2);
    } else {
        store.WriteInteger(0,
                           static_cast<int32_t>(uint32_t{content.revision} << 16 | content.langId));
    }
    ++written;
    text(1, content.langName);
    text(2, content.localCaption);
    text(3, content.remark);
    text(4, content.notes);
    if (room()) {
        store.WriteData(5, content.flag.data(), static_cast<int32_t>(content.flag.size()));
        ++written;
    }
    if (content.revision >= 1) {
        number(512, static_cast<int32_t>(content.appVersion));
        if (content.revision >= 2) {
            number(516, content.extraFlag);
            text(517, content.extraText1);
            text(518, content.extraText2);
        }
        text(513, content.imeName);
        text(514, content.fontName);
        number(515, content.charset);
        if (content.revision >= 4)
            number(516, content.minFontSize);
        for (const EntryContent& e : content.entries) {
            text(0x210 + 1, e.path);
            if (content.revision >= 3)
                number(0x300, 0);
            text(e.textTag, e.text);
            text(e.hintTag, e.hint);
            text(e.listTag, e.list);
        }
    }
    store.Close();
    return true;
}

// A file that starts like a language file but with other signature bytes.
inline bool WriteWrongSignature(const std::string& path) {
    TStorefile store;
    store.SetSignature("XOL LANGUAGE FILF");
    store.SetFilename(path);
    store.Erase();
    store.Open();
    if (!store.Opened())
        return false;
    for (int i = 0; i < 8; ++i)
        store.WriteString(i, "x");
    store.Close();
    return true;
}

// A complete BMP file of an image.
inline std::vector<uint8_t> BmpOf(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return {bytes.begin(), bytes.end()};
}

inline std::vector<uint8_t> SolidBmp(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return BmpOf(image);
}

} // namespace langtest
