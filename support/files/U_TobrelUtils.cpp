// U_TobrelUtils: file facts and text helpers.
#include "support/files/U_TobrelUtils.h"

#include "support/files/U_UnicodeUtils.h"
#include "support/platform/MakerHost.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <filesystem>

namespace {

std::atomic<TFileVersionReader> versionReader{nullptr};

// Texts longer than 2 GiB do not occur; the cap only keeps the count inside an int.
constexpr std::ptrdiff_t kMaxFields = 0x7FFFFFFF;

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(const std::string& text) {
    std::string lowered = text;
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](char c) { return LowerAscii(c); });
    return lowered;
}

bool SameTextAscii(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

size_t ClampCount(const std::string& text, int n) {
    return n <= 0 ? 0 : std::min(static_cast<size_t>(n), text.size());
}

} // namespace

uint64_t FileSize64(const std::string& FileName) {
    std::error_code ec;
    // file_size refuses folders and other non-regular files, which is the 0 we want for them.
    const uintmax_t size = std::filesystem::file_size(std::filesystem::path(FileName), ec);
    return ec ? 0 : static_cast<uint64_t>(size);
}

std::string FileNameNoExt(const std::string& Path) {
    const size_t slash = Path.rfind('/');
    const std::string name = slash == std::string::npos ? Path : Path.substr(slash + 1);
    const size_t point = name.rfind('.');
    return point == std::string::npos ? name : name.substr(0, point);
}

TFileVersionReader SetFileVersionReader(TFileVersionReader Reader) {
    return versionReader.exchange(Reader);
}

std::string FileVersionText(const std::string& FileName) {
    if (!WideFileExists(FileName))
        return "File not found";
    // The version resource reader fills this in once it has installed itself; until then a file
    // simply has no version information.
    const TFileVersionReader reader = versionReader.load();
    uint32_t ms = 0;
    uint32_t ls = 0;
    if (!reader || !reader(FileName, ms, ls))
        return {};
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
           std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
}

std::string UrlEncode(const std::string& Text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(Text.size() * 3);
    for (const char c : Text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_') {
            encoded += c;
        } else if (byte == ' ') {
            encoded += "%20";
        } else {
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 0x0F];
        }
    }
    return encoded;
}

std::string PartnerPageUrl() {
    return "https://" + std::string(MakerHost()) + "/xol.php";
}

std::string LeftText(const std::string& Text, int N) {
    return Text.substr(0, ClampCount(Text, N));
}

std::string RightText(const std::string& Text, int N) {
    return Text.substr(Text.size() - ClampCount(Text, N));
}

bool StartsText(const std::string& Text, const std::string& Prefix) {
    return Text.size() >= Prefix.size() && SameTextAscii(Text.substr(0, Prefix.size()), Prefix);
}

bool ContainsText(const std::string& Needle, const std::string& Haystack) {
    return LowerAscii(Haystack).find(LowerAscii(Needle)) != std::string::npos;
}

std::string RemovePrefix(const std::string& Text, const std::string& Prefix) {
    if (StartsText(Text, Prefix))
        return Text.substr(Prefix.size());
    return Text;
}

int CountFields(const std::string& Text, const std::string& Separators) {
    if (Text.empty())
        return 0;
    const auto separators = std::count_if(
        Text.begin(), Text.end(), [&](char c) { return Separators.find(c) != std::string::npos; });
    return static_cast<int>(std::min<std::ptrdiff_t>(separators, kMaxFields - 1)) + 1;
}

std::string FormatDuration(int64_t Seconds) {
    const int64_t m = Seconds / 60;
    const int64_t s = Seconds % 60;
    char text[64];
    if (m < 60)
        std::snprintf(text, sizeof text, "%" PRId64 ":%.2" PRId64, m, s);
    else
        std::snprintf(text, sizeof text, "%" PRId64 ":%.2" PRId64 ":%.2" PRId64, m / 60, m % 60, s);
    return text;
}
