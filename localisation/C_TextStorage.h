// C_TextStorage: TTextStorage, the translatable message table of a form.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Texts are UTF-8. The design-time texts are the lookup keys (the English texts the program
// builds its messages from); Items hold the same lines in the active language, replaced line by
// line when a language is applied. The GUI's component wraps one of these.
class TTextStorage {
public:
    TTextStorage() = default;
    // Items := designTexts, then Loaded(): how a form fills its table when it is created.
    explicit TTextStorage(std::vector<std::string> designTexts);

    const std::vector<std::string>& Items() const { return items_; }
    // Copies the given list; the design-time texts stay as they are.
    void SetItems(std::vector<std::string> items) { items_ = std::move(items); }
    // Replaces line index of Items; lines are never added. False when there is no such line.
    bool SetItem(std::size_t index, std::string text);

    // End of form loading: the current Items become the design-time texts.
    void Loaded() { designTexts_ = items_; }
    const std::vector<std::string>& DesignTexts() const { return designTexts_; }

    // The current text for the design-time text key. Keys match without regard to letter case,
    // first match. A key that is not in the table, or whose line is exactly "unused" (a
    // translator's way of keeping the English text), comes back unchanged.
    std::string Translate(std::string_view key) const;

private:
    std::vector<std::string> items_;
    std::vector<std::string> designTexts_;
};

// Compares two UTF-8 texts without regard to letter case: ASCII and the letters of the Latin,
// Greek and Cyrillic alphabets that the 8-bit code pages of language files hold. Bytes that are
// not valid UTF-8 compare as themselves.
bool SameTextUtf8(std::string_view a, std::string_view b);
