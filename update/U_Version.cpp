// U_Version: TParvoVersion.
#include "update/U_Version.h"

#include "support/files/U_TobrelUtils.h"
#include "support/text/U_NumberText.h"

namespace {

constexpr int32_t kMaxPart = 65535;

int32_t ReadPart(const std::string& text) {
    const int32_t value = StrToIntDef(text, 0);
    // Signed comparison: negative parts stay.
    return value > kMaxPart ? 0 : value;
}

} // namespace

TParvoVersion TParvoVersion::CreateFromPair(uint32_t High, uint32_t Low) {
    TParvoVersion v;
    v.Major = static_cast<int32_t>(High >> 16);
    v.Minor = static_cast<int32_t>(High & 0xFFFF);
    v.Release = static_cast<int32_t>(Low >> 16);
    v.Build = static_cast<int32_t>(Low & 0xFFFF);
    return v;
}

void TParvoVersion::SetText(const std::string& Text) {
    std::string text = Text;
    while (CountFields(text, ".") <= 3)
        text += ".0";
    const size_t p1 = text.find('.');
    const size_t p2 = text.find('.', p1 + 1);
    const size_t p3 = text.find('.', p2 + 1);
    Major = ReadPart(text.substr(0, p1));
    Minor = ReadPart(text.substr(p1 + 1, p2 - p1 - 1));
    Release = ReadPart(text.substr(p2 + 1, p3 - p2 - 1));
    Build = ReadPart(text.substr(p3 + 1));
}

uint32_t TParvoVersion::High32() const {
    return (static_cast<uint32_t>(Major) << 16) + static_cast<uint32_t>(Minor);
}

uint32_t TParvoVersion::Low32() const {
    return (static_cast<uint32_t>(Release) << 16) + static_cast<uint32_t>(Build);
}

std::string TParvoVersion::HighText() const {
    return std::to_string(High32());
}

std::string TParvoVersion::LowText() const {
    return std::to_string(Low32());
}

std::string TParvoVersion::AsText() const {
    return std::to_string(Major) + "." + std::to_string(Minor) + "." + std::to_string(Release) +
           "." + std::to_string(Build);
}

bool TParvoVersion::IsValid() const {
    const uint32_t sum = static_cast<uint32_t>(Major) + static_cast<uint32_t>(Minor) +
                         static_cast<uint32_t>(Release) + static_cast<uint32_t>(Build);
    return static_cast<int32_t>(sum) > 0;
}

bool TParvoVersion::IsNewerThan(const TParvoVersion& Other) const {
    if (Major != Other.Major)
        return Major > Other.Major;
    if (Minor != Other.Minor)
        return Minor > Other.Minor;
    if (Release != Other.Release)
        return Release > Other.Release;
    return Build > Other.Build;
}

bool TParvoVersion::IsNewerThanPair(uint32_t High, uint32_t Low) const {
    if (High32() != High)
        return High32() > High;
    return Low32() > Low;
}
