// CodePage: 8-bit texts of language files, converted by the code page of a Windows character set.
#include "localisation/CodePage.h"

#include "support/text/Utf8.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>

namespace {

// Conversion descriptors are opened per call: texts are short and a descriptor holds shift
// state, so sharing one between calls or threads would need more care than it saves.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (Valid())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can; stops at a byte sequence it cannot convert (in is left on it)
    // or at the end. Returns errno of the stop, 0 at the end.
    int Convert(const char*& in, std::size_t& inLeft, std::string& out) {
        char buffer[256];
        while (inLeft > 0) {
            char* src = const_cast<char*>(in);
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t r = iconv(cd_, &src, &inLeft, &dst, &dstLeft);
            const int error = r == static_cast<std::size_t>(-1) ? errno : 0;
            in = src;
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (error == E2BIG)
                continue;
            if (error != 0)
                return error;
        }
        return 0;
    }

    // Some code pages (1255, 1258) hold a letter back until they see whether combining marks
    // follow; this writes it out and returns to the initial state.
    void Flush(std::string& out) {
        char buffer[64];
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
    }

private:
    iconv_t cd_;
};

std::string IconvName(int codePage) {
    return "CP" + std::to_string(codePage);
}

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Length of the UTF-8 sequence starting at text[0], 1 for a byte that starts none.
std::size_t Utf8Length(std::string_view text) {
    std::size_t end = 0;
    return utf8::Decode(text, end) ? end : 1;
}

} // namespace

int CodePageOfCharset(int charset) {
    switch (charset) {
    case 128:
        return 932; // Shift JIS
    case 129:
        return 949; // Hangul
    case 134:
        return 936; // GB2312
    case 136:
        return 950; // Big5
    case 161:
        return 1253; // Greek
    case 162:
        return 1254; // Turkish
    case 163:
        return 1258; // Vietnamese
    case 177:
        return 1255; // Hebrew
    case 178:
        return 1256; // Arabic
    case 186:
        return 1257; // Baltic
    case 204:
        return 1251; // Cyrillic
    case 222:
        return 874; // Thai
    case 238:
        return 1250; // Eastern Europe
    default:
        return 1252;
    }
}

std::string DecodeCharsetText(std::string_view bytes, int charset) {
    // Every code page here keeps ASCII as it is.
    if (IsAscii(bytes))
        return std::string(bytes);
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(bytes.size() * 2);
    Converter converter("UTF-8", IconvName(CodePageOfCharset(charset)).c_str());
    if (!converter.Valid()) {
        for (char c : bytes)
            out += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : kReplacement;
        return out;
    }
    const char* in = bytes.data();
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        if (converter.Convert(in, inLeft, out) == 0)
            break;
        // EILSEQ: a byte the code page leaves undefined; EINVAL: a lead byte at the end.
        converter.Flush(out);
        out += kReplacement;
        ++in;
        --inLeft;
    }
    converter.Flush(out);
    return out;
}

std::string EncodeCharsetText(std::string_view utf8, int charset, bool* lossless) {
    bool exact = true;
    std::string out;
    if (IsAscii(utf8)) {
        out.assign(utf8);
    } else {
        out.reserve(utf8.size());
        Converter converter(IconvName(CodePageOfCharset(charset)).c_str(), "UTF-8");
        const char* in = utf8.data();
        std::size_t inLeft = utf8.size();
        while (inLeft > 0) {
            if (converter.Valid() && converter.Convert(in, inLeft, out) == 0)
                break;
            if (converter.Valid())
                converter.Flush(out);
            const std::size_t skip =
                converter.Valid() ? Utf8Length(std::string_view(in, inLeft)) : 1;
            if (!converter.Valid() && static_cast<unsigned char>(*in) < 0x80) {
                out += *in;
            } else {
                out += '?';
                exact = false;
            }
            in += skip;
            inLeft -= skip;
        }
        if (converter.Valid())
            converter.Flush(out);
    }
    if (lossless)
        *lossless = exact;
    return out;
}
