// Translations_test: the shipped French and German files, built from their PO sources, translate
// every text they name in the program's own forms.
#include "localisation/PoFile.h"
#include "localisation/ui/C_LangRecord.h"
#include "localisation/ui/ComponentModel.h"
#include "mainwindow/AppForms.h"
#include "tests/common/TestMedia.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

po::Catalog ReadPo(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    po::Catalog catalog;
    std::string error;
    EXPECT_TRUE(po::Parse(text.str(), catalog, error)) << path << ": " << error;
    return catalog;
}

// The component a path names, as the language engine finds it (first match, any case).
QObject* Find(const TLanguageRecord::ComponentList& list, const QString& path) {
    for (const auto& [name, component] : list)
        if (name.compare(path, Qt::CaseInsensitive) == 0)
            return component;
    return nullptr;
}

QString TextOf(QObject* component) {
    return comp::HasProperty(component, u"Caption")
               ? comp::GetProperty(component, u"Caption").toString()
               : comp::GetProperty(component, u"Text").toString();
}

class Translations : public testing::TestWithParam<const char*> {};

TEST_P(Translations, EveryTranslatedTextReachesItsComponent) {
    const std::string lang = GetParam();
    const std::string code = lang == "fr" ? "0000040C" : "00000407";
    const QString spk = QString::fromStdString(std::string(CLIPVANE_BINARY_DIR) +
                                               "/languages/AVI_" + code + ".SPK");
    ASSERT_TRUE(QFile::exists(spk)) << "build the translations target first";
    const po::Catalog catalog =
        ReadPo(std::string(CLIPVANE_SOURCE_DIR) + "/localisation/po/" + lang + ".po");

    TAppForms forms = CreateAppForms();
    TLanguageRecord record(4, comp::Application(), nullptr);
    ASSERT_TRUE(record.LoadAndApply(spk));
    EXPECT_EQ(record.LangId, lang == "fr" ? 0x040C : 0x0407);
    EXPECT_FALSE(record.Flag.isNull());
    EXPECT_EQ(record.Flag.height(), 28);

    TLanguageRecord::ComponentList list;
    TLanguageRecord::CollectComponents(QString(), list, nullptr, comp::Application());
    int checked = 0;
    for (const po::Message& m : catalog.messages) {
        if (m.str.empty() || m.fuzzy)
            continue;
        const QStringList parts = QString::fromStdString(m.context).split(u'|');
        ASSERT_GE(parts.size(), 2) << m.context;
        QObject* component = Find(list, parts[0]);
        ASSERT_NE(component, nullptr) << m.context << " names nothing in the program";
        const QString expected = QString::fromStdString(m.str);
        if (parts[1] == u"Text")
            EXPECT_EQ(TextOf(component), expected) << m.context;
        else if (parts[1] == u"Hint")
            EXPECT_EQ(comp::GetProperty(component, u"Hint").toString(), expected) << m.context;
        else {
            const QStringList items = comp::HasProperty(component, u"Items")
                                          ? comp::GetProperty(component, u"Items").toStringList()
                                          : comp::GetProperty(component, u"Lines").toStringList();
            const int line = parts.value(2).toInt();
            ASSERT_LT(line, items.size()) << m.context;
            EXPECT_EQ(items[line], expected) << m.context;
        }
        ++checked;
    }
    // Every text of the message table and the menus is translated.
    EXPECT_GE(checked, 90);
    DestroyAppForms(forms);
}

INSTANTIATE_TEST_SUITE_P(Shipped, Translations, testing::Values("fr", "de"));

} // namespace
