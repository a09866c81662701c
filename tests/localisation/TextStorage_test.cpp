// TextStorage_test: message-table lookups and the main window's table of design-time texts.
#include "localisation/C_TextStorage.h"
#include "localisation/Ts_MainTexts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The main window's table with a few lines translated, as a language file leaves it.
TTextStorage FrenchMain() {
    TTextStorage table(Ts_MainTexts());
    std::vector<std::string> items = table.Items();
    items[0] = "Type de fichier invalide";
    items[2] = "unused";
    items[3] = "Unused";
    table.SetItems(items);
    return table;
}

} // namespace

TEST(TextStorage, TranslateLooksUpWithoutLetterCase) {
    const TTextStorage table = FrenchMain();
    EXPECT_EQ(table.Translate("Invalid file type"), "Type de fichier invalide");
    EXPECT_EQ(table.Translate("INVALID FILE TYPE"), "Type de fichier invalide");
    EXPECT_EQ(table.Translate("invalid File Type"), "Type de fichier invalide");
    // Untranslated lines still hold the English text.
    EXPECT_EQ(table.Translate("avi files"), "AVI Files");
    // Not in the table: the key itself, as given.
    EXPECT_EQ(table.Translate("Invalid file typ"), "Invalid file typ");
    EXPECT_EQ(table.Translate(""), "");
}

TEST(TextStorage, UnusedKeepsTheKeyOnlyInLowerCase) {
    const TTextStorage table = FrenchMain();
    EXPECT_EQ(table.Translate("Key"), "Key");
    EXPECT_EQ(table.Translate("KEY"), "KEY");
    EXPECT_EQ(table.Translate("Begin/End"), "Unused");
}

TEST(TextStorage, NonAsciiKeysMatchWithoutLetterCase) {
    TTextStorage table({"Fichier déjà présent", "Файл не найден", "Αρχείο", "Žluťoučký kůň",
                        std::string("caf\xE9", 4)});
    table.SetItems({"fr", "ru", "el", "cs", "latin1"});
    EXPECT_EQ(table.Translate("FICHIER DÉJÀ PRÉSENT"), "fr");
    EXPECT_EQ(table.Translate("ФАЙЛ НЕ НАЙДЕН"), "ru");
    EXPECT_EQ(table.Translate("ΑΡΧΕΊΟ"), "el");
    EXPECT_EQ(table.Translate("ŽLUŤOUČKÝ KŮŇ"), "cs");
    // Bytes that are not UTF-8 match only themselves; the letters around them still fold.
    EXPECT_EQ(table.Translate(std::string("CAF\xE9", 4)), "latin1");
    EXPECT_EQ(table.Translate(std::string("CAF\xC9", 4)), std::string("CAF\xC9", 4));
    // Different letters, not only different case, stay apart.
    EXPECT_EQ(table.Translate("Fichier deja present"), "Fichier deja present");
    EXPECT_FALSE(SameTextUtf8("Straße", "STRASSE"));
    EXPECT_FALSE(SameTextUtf8("abc", "abcd"));
}

TEST(TextStorage, DesignTextsStayWhileItemsChange) {
    TTextStorage table({"Key", "KEY", "Video"});
    table.SetItems({"Clé", "Touche", "Vidéo"});
    // First match wins when two design texts differ only in case.
    EXPECT_EQ(table.Translate("key"), "Clé");
    EXPECT_EQ(table.DesignTexts(), (std::vector<std::string>{"Key", "KEY", "Video"}));

    // A language switch answers from the new lines at once.
    EXPECT_TRUE(table.SetItem(2, "Video-DE"));
    EXPECT_EQ(table.Translate("Video"), "Video-DE");
    // Lines are replaced, never added.
    EXPECT_FALSE(table.SetItem(3, "extra"));
    EXPECT_EQ(table.Items().size(), 3u);

    // Fewer lines than design texts: the missing ones have no translation.
    table.SetItems({"Clé"});
    EXPECT_EQ(table.Translate("Video"), "Video");
    EXPECT_EQ(table.Translate("KEY"), "Clé");

    // Loaded fixes whatever Items hold at that moment as the keys.
    TTextStorage later;
    later.SetItems({"Open with Clipvane"});
    EXPECT_EQ(later.Translate("Open with Clipvane"), "Open with Clipvane");
    later.Loaded();
    later.SetItems({"Ouvrir avec Clipvane"});
    EXPECT_EQ(later.Translate("open with clipvane"), "Ouvrir avec Clipvane");
}

TEST(TextStorage, MainTableKeysAreDistinctAndAnswerThemselves) {
    const std::vector<std::string>& texts = Ts_MainTexts();
    ASSERT_EQ(texts.size(), 96u);
    // Two keys equal without letter case would make the second line unreachable.
    for (size_t i = 0; i < texts.size(); ++i)
        for (size_t j = i + 1; j < texts.size(); ++j)
            EXPECT_FALSE(SameTextUtf8(texts[i], texts[j])) << texts[i] << " / " << texts[j];
    const TTextStorage table(texts);
    for (const std::string& text : texts)
        EXPECT_EQ(table.Translate(text), text);
}
