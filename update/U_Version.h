// U_Version: four-part version numbers - lenient parsing, text forms, 32-bit halves, comparison.
#pragma once

#include <cstdint>
#include <string>

// A version Major.Minor.Release.Build. Parsed parts lie in -2147483648..65535: a part above
// 65535 becomes 0; only the text can bring a negative part.
class TParvoVersion {
public:
    TParvoVersion() = default;
    explicit TParvoVersion(const std::string& Text) { SetText(Text); }
    // Major and Minor from the high and low words of High, Release and Build from Low.
    static TParvoVersion CreateFromPair(uint32_t High, uint32_t Low);

    // Pads the text to four parts with ".0" while it has three fields or fewer, splits it at its
    // first three points (the last part keeps any further points) and reads each part as an
    // integer the way the Pascal runtime does ("$A" is 10); an unreadable part is 0.
    void SetText(const std::string& Text);

    // (Major << 16) + Minor and (Release << 16) + Build, wrapping in 32 bits.
    uint32_t High32() const;
    uint32_t Low32() const;
    // High32 and Low32 in unsigned decimal.
    std::string HighText() const;
    std::string LowText() const;
    // "Major.Minor.Release.Build".
    std::string AsText() const;

    // The sum of the four parts, in signed 32-bit arithmetic that wraps, is above 0.
    bool IsValid() const;
    // Strictly greater than Other, part by part as signed numbers.
    bool IsNewerThan(const TParvoVersion& Other) const;
    // (High32, Low32) strictly greater than (High, Low), compared unsigned.
    bool IsNewerThanPair(uint32_t High, uint32_t Low) const;

    int32_t Major = 0;
    int32_t Minor = 0;
    int32_t Release = 0;
    int32_t Build = 0;
};
