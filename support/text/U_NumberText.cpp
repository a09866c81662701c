// U_NumberText: integer and floating-point texts read by the Pascal runtime's rules.
#include "support/text/U_NumberText.h"

#include <charconv>
#include <clocale>
#include <string>

namespace {

// The runtime walks a NUL-terminated buffer, so an embedded NUL ends the text.
std::string_view UpToNul(std::string_view text) {
    const size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

bool TryStrToInt(std::string_view Text, int32_t& Value) {
    const std::string_view s = UpToNul(Text);
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= s.size())
        return false; // no digit at all
    uint32_t v = 0;
    if (hex) {
        for (; i < s.size(); ++i) {
            const int d = HexDigit(s[i]);
            // Eight digits fill the 32 bits; a ninth overflows.
            if (d < 0 || v > 0x0FFFFFFFu)
                return false;
            v = (v << 4) | static_cast<uint32_t>(d);
        }
        if (negative)
            v = 0u - v;
        Value = static_cast<int32_t>(v);
        return true;
    }
    for (; i < s.size(); ++i) {
        if (!IsDigit(s[i]) || v > 0x7FFFFFFFu / 10)
            return false;
        v = v * 10 + static_cast<uint32_t>(s[i] - '0');
    }
    if (negative) {
        if (v > 0x80000000u)
            return false;
        Value = static_cast<int32_t>(0u - v);
        return true;
    }
    if (v > 0x7FFFFFFFu)
        return false;
    Value = static_cast<int32_t>(v);
    return true;
}

int32_t StrToIntDef(std::string_view Text, int32_t Default) {
    int32_t value = 0;
    return TryStrToInt(Text, value) ? value : Default;
}

bool TryStrToFloat(std::string_view Text, double& Value, char DecimalSeparator) {
    const std::string_view s = UpToNul(Text);
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    // Rebuilt in the form from_chars reads, whatever the separator was.
    std::string plain;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        if (s[i] == '-')
            plain += '-';
        ++i;
    }
    size_t digits = 0;
    for (; i < s.size() && IsDigit(s[i]); ++i, ++digits)
        plain += s[i];
    if (i < s.size() && s[i] == DecimalSeparator) {
        plain += '.';
        for (++i; i < s.size() && IsDigit(s[i]); ++i, ++digits)
            plain += s[i];
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+'))
            plain += s[i++];
        size_t expDigits = 0;
        for (; i < s.size() && IsDigit(s[i]); ++i, ++expDigits)
            plain += s[i];
        if (expDigits == 0)
            return false;
    }
    while (i < s.size() && s[i] == ' ')
        ++i;
    if (i != s.size())
        return false;
    double v = 0;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), v);
    if (ec != std::errc() || end != plain.data() + plain.size())
        return false;
    Value = v;
    return true;
}

char UserDecimalSeparator() {
    const std::lconv* conv = std::localeconv();
    if (conv && conv->decimal_point && conv->decimal_point[0] != '\0')
        return conv->decimal_point[0];
    return '.';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
