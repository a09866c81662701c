// U_LangNames: the table of language identifiers and their English names.
#include "support/text/U_LangNames.h"

#include <algorithm>
#include <iterator>

namespace {

struct TLangName {
    uint16_t id;
    const char* name;
};

// Sorted by identifier. The names are those of the classic desktop releases, which version
// resources of that era were written against.
constexpr TLangName kNames[] = {
    {0x0000, "Language Neutral"},
    {0x0401, "Arabic (Saudi Arabia)"},
    {0x0402, "Bulgarian"},
    {0x0403, "Catalan"},
    {0x0404, "Chinese (Taiwan)"},
    {0x0405, "Czech"},
    {0x0406, "Danish"},
    {0x0407, "German (Germany)"},
    {0x0408, "Greek"},
    {0x0409, "English (United States)"},
    {0x040A, "Spanish (Traditional Sort)"},
    {0x040B, "Finnish"},
    {0x040C, "French (France)"},
    {0x040D, "Hebrew"},
    {0x040E, "Hungarian"},
    {0x040F, "Icelandic"},
    {0x0410, "Italian (Italy)"},
    {0x0411, "Japanese"},
    {0x0412, "Korean"},
    {0x0413, "Dutch (Netherlands)"},
    {0x0414, "Norwegian (Bokmal)"},
    {0x0415, "Polish"},
    {0x0416, "Portuguese (Brazil)"},
    {0x0418, "Romanian"},
    {0x0419, "Russian"},
    {0x041A, "Croatian"},
    {0x041B, "Slovak"},
    {0x041C, "Albanian"},
    {0x041D, "Swedish"},
    {0x041E, "Thai"},
    {0x041F, "Turkish"},
    {0x0420, "Urdu"},
    {0x0421, "Indonesian"},
    {0x0422, "Ukrainian"},
    {0x0423, "Belarusian"},
    {0x0424, "Slovenian"},
    {0x0425, "Estonian"},
    {0x0426, "Latvian"},
    {0x0427, "Lithuanian"},
    {0x0429, "Farsi"},
    {0x042A, "Vietnamese"},
    {0x042B, "Armenian"},
    {0x042C, "Azeri (Latin)"},
    {0x042D, "Basque"},
    {0x042F, "FYRO Macedonian"},
    {0x0436, "Afrikaans"},
    {0x0437, "Georgian"},
    {0x0438, "Faroese"},
    {0x0439, "Hindi"},
    {0x043E, "Malay (Malaysia)"},
    {0x043F, "Kazakh"},
    {0x0440, "Kyrgyz"},
    {0x0441, "Swahili"},
    {0x0443, "Uzbek (Latin)"},
    {0x0444, "Tatar"},
    {0x0446, "Punjabi"},
    {0x0447, "Gujarati"},
    {0x0449, "Tamil"},
    {0x044A, "Telugu"},
    {0x044B, "Kannada"},
    {0x044E, "Marathi"},
    {0x044F, "Sanskrit"},
    {0x0450, "Mongolian"},
    {0x0456, "Galician"},
    {0x0457, "Konkani"},
    {0x045A, "Syriac"},
    {0x0465, "Divehi"},
    {0x0801, "Arabic (Iraq)"},
    {0x0804, "Chinese (PRC)"},
    {0x0807, "German (Switzerland)"},
    {0x0809, "English (United Kingdom)"},
    {0x080A, "Spanish (Mexico)"},
    {0x080C, "French (Belgian)"},
    {0x0810, "Italian (Switzerland)"},
    {0x0813, "Dutch (Belgium)"},
    {0x0814, "Norwegian (Nynorsk)"},
    {0x0816, "Portuguese (Portugal)"},
    {0x081A, "Serbian (Latin)"},
    {0x081D, "Swedish (Finland)"},
    {0x082C, "Azeri (Cyrillic)"},
    {0x083E, "Malay (Brunei Darussalam)"},
    {0x0843, "Uzbek (Cyrillic)"},
    {0x0C01, "Arabic (Egypt)"},
    {0x0C04, "Chinese (Hong Kong S.A.R.)"},
    {0x0C07, "German (Austria)"},
    {0x0C09, "English (Australia)"},
    {0x0C0A, "Spanish (International Sort)"},
    {0x0C0C, "French (Canadian)"},
    {0x0C1A, "Serbian (Cyrillic)"},
    {0x1001, "Arabic (Libya)"},
    {0x1004, "Chinese (Singapore)"},
    {0x1007, "German (Luxembourg)"},
    {0x1009, "English (Canada)"},
    {0x100A, "Spanish (Guatemala)"},
    {0x100C, "French (Swiss)"},
    {0x1401, "Arabic (Algeria)"},
    {0x1404, "Chinese (Macau S.A.R.)"},
    {0x1407, "German (Liechtenstein)"},
    {0x1409, "English (New Zealand)"},
    {0x140A, "Spanish (Costa Rica)"},
    {0x140C, "French (Luxembourg)"},
    {0x1801, "Arabic (Morocco)"},
    {0x1809, "English (Ireland)"},
    {0x180A, "Spanish (Panama)"},
    {0x180C, "French (Monaco)"},
    {0x1C01, "Arabic (Tunisia)"},
    {0x1C09, "English (South Africa)"},
    {0x1C0A, "Spanish (Dominican Republic)"},
    {0x2001, "Arabic (Oman)"},
    {0x2009, "English (Jamaica)"},
    {0x200A, "Spanish (Venezuela)"},
    {0x2401, "Arabic (Yemen)"},
    {0x2409, "English (Caribbean)"},
    {0x240A, "Spanish (Colombia)"},
    {0x2801, "Arabic (Syria)"},
    {0x2809, "English (Belize)"},
    {0x280A, "Spanish (Peru)"},
    {0x2C01, "Arabic (Jordan)"},
    {0x2C09, "English (Trinidad)"},
    {0x2C0A, "Spanish (Argentina)"},
    {0x3001, "Arabic (Lebanon)"},
    {0x3009, "English (Zimbabwe)"},
    {0x300A, "Spanish (Ecuador)"},
    {0x3401, "Arabic (Kuwait)"},
    {0x3409, "English (Philippines)"},
    {0x340A, "Spanish (Chile)"},
    {0x3801, "Arabic (U.A.E.)"},
    {0x380A, "Spanish (Uruguay)"},
    {0x3C01, "Arabic (Bahrain)"},
    {0x3C0A, "Spanish (Paraguay)"},
    {0x4001, "Arabic (Qatar)"},
    {0x400A, "Spanish (Bolivia)"},
    {0x440A, "Spanish (El Salvador)"},
    {0x480A, "Spanish (Honduras)"},
    {0x4C0A, "Spanish (Nicaragua)"},
    {0x500A, "Spanish (Puerto Rico)"},
};

constexpr bool SortedById() {
    for (size_t i = 1; i < std::size(kNames); ++i)
        if (kNames[i - 1].id >= kNames[i].id)
            return false;
    return true;
}
static_assert(SortedById(), "the language table must stay sorted for the binary search");

} // namespace

std::string LanguageNameOf(uint16_t LangId) {
    const auto* end = std::end(kNames);
    const auto* it = std::lower_bound(std::begin(kNames), end, LangId,
                                      [](const TLangName& e, uint16_t id) { return e.id < id; });
    if (it != end && it->id == LangId)
        return it->name;
    return kNames[0].name;
}
