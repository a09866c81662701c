// Finding the XOL programs and the codec tool, the download offers, the desktop programs offered
// first, and the converter's and codec tool's command lines.
#include "mainwindow/handoff/C2CD.h"
#include "mainwindow/handoff/XolTools.h"
#include "support/files/U_TobrelUtils.h"
#include "support/settings/SettingsStore.h"
#include "support/settings/U_TobrelSettings.h"
#include "tests/common/TestMedia.h"
#include "tests/mainwindow/BurnTestSupport.h"

#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using burntest::MakeStandIn;
using burntest::TLaunch;
using burntest::TStandIn;

// The suite of these tests, on the shared folders and settings.
class XolTools : public burntest::BurnTest {};

namespace {

using Calls = std::vector<std::vector<std::string>>;

QString Q(const std::string& Text) {
    return QString::fromStdString(Text);
}

std::string Touch(const std::string& Path) {
    std::filesystem::create_directories(std::filesystem::path(Path).parent_path());
    std::ofstream(Path) << "MZ";
    return Path;
}

} // namespace

TEST_F(XolTools, ToolIsTheValuesProgramOrAFolderHoldingIt) {
    EXPECT_EQ(FindBurner(), QString());
    // Looking does not create the key.
    EXPECT_NE(
        reg::DefaultSettingsStore()->OpenKey(reg::RegRoot::CurrentUser, "Software\\XOL", false),
        reg::RegStatus::Success);

    const std::string exe = Touch(dir + "/Brennax/Brennix.exe");
    SetXolValue("Brennix", dir + "/Brennax");
    EXPECT_EQ(FindBurner(), Q(exe));
    SetXolValue("Brennix", dir + "/Brennax/");
    EXPECT_EQ(FindBurner(), Q(exe));
    SetXolValue("Brennix", exe);
    EXPECT_EQ(FindBurner(), Q(exe));
    // A folder without the program, or a program that is not there, finds nothing.
    SetXolValue("Brennix", dir);
    EXPECT_EQ(FindXolTool("Brennix", "Brennix.exe"), QString());
    SetXolValue("Brennix", dir + "/gone/Brennix.exe");
    EXPECT_EQ(FindXolTool("Brennix", "Brennix.exe"), QString());
    SetXolValue("Brennix", "");
    EXPECT_EQ(FindXolTool("Brennix", "Brennix.exe"), QString());
}

TEST_F(XolTools, SecondValuesAreTriedWhenTheFirstFindNothing) {
    const std::string burner = Touch(dir + "/old/Brennix.exe");
    SetXolValue("Brennix", dir + "/nowhere");
    SetXolValue("Brenn", dir + "/old");
    EXPECT_EQ(FindBurner(), Q(burner));

    EXPECT_EQ(FindDvdConverter(), QString());
    const std::string mervast = Touch(dir + "/mv/mervast.exe");
    SetXolValue("Mervast", dir + "/mv");
    EXPECT_EQ(FindDvdConverter(), Q(mervast));
    const std::string vorcast = Touch(dir + "/vc/Vorcast.exe");
    SetXolValue("Vorcast", dir + "/vc");
    EXPECT_EQ(FindDvdConverter(), Q(vorcast));
}

TEST_F(XolTools, NoBurnerAsksForTheDownloadAndNoLeavesNothingBehind) {
    const std::string avi = MakeCurrentFile("part.avi");
    BurnToCd(nullptr, dlg, Q(avi));
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, QString::fromUtf8(kBurnerMissingText));
    EXPECT_EQ(boxes.Shown[0].Buttons, kMbYesNo);
    EXPECT_EQ(boxes.Shown[0].Kind, kKindWarning);
    // Enter alone says No.
    EXPECT_EQ(boxes.Shown[0].Flags & kDefaultSecondFlag, kDefaultSecondFlag);
    EXPECT_TRUE(launches.empty());
    EXPECT_FALSE(std::filesystem::exists(ProjectFile("ZQ_0.c2c")));

    // Yes opens the partner page, writes the project and, the burner still missing, shows
    // nothing more.
    boxes.Answers.push_back(kIdYes);
    BurnToCd(nullptr, dlg, Q(avi));
    EXPECT_EQ(boxes.Shown.size(), 2u);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].Kind, TShellTarget::Url);
    EXPECT_EQ(launches[0].Target, Q(PartnerPageUrl()));
    EXPECT_TRUE(launches[0].Target.endsWith(QStringLiteral("/xol.php")));
    EXPECT_TRUE(std::filesystem::exists(ProjectFile("ZQ_0.c2c")));
    EXPECT_EQ(dlg->StartedCount, 0);
    EXPECT_FALSE(dlg->isVisible());

    // The texts go through the window's message table.
    boxes.Answers.push_back(kIdNo);
    BurnToCd(nullptr, dlg, Q(avi), [](const QString& Text) { return Text.toUpper(); });
    EXPECT_EQ(boxes.Shown.back().Text, QString::fromUtf8(kBurnerMissingText).toUpper());
}

TEST_F(XolTools, ACurrentFileThatIsGoneIsHandedToNobody) {
    const TStandIn burner = MakeStandIn(dir + "/Brennix.exe");
    SetXolValue("Brennix", burner.Path);
    SetXolValue("Vorcast", Touch(dir + "/Vorcast.exe"));
    BurnToCd(nullptr, dlg, Q(dir + "/moved.avi"));
    ConvertToDvd(nullptr, Q(dir + "/moved.avi"));
    EXPECT_TRUE(boxes.Shown.empty());
    EXPECT_TRUE(launches.empty());
    EXPECT_FALSE(std::filesystem::exists(ProjectFile("ZQ_0.c2c")));
    EXPECT_EQ(dlg->StartedCount, 0);
    EXPECT_TRUE(burner.Calls().empty());
}

TEST_F(XolTools, ADesktopBurnerOnThePathIsOfferedBeforeTheDownload) {
    const TStandIn brasero = MakeStandIn(bin + "/brasero");
    MakeStandIn(bin + "/xfburn");
    EXPECT_EQ(FindLinuxBurner(), Q(brasero.Path));
    const std::string avi = MakeCurrentFile("my part.avi");

    boxes.Answers.push_back(kIdYes);
    BurnToCd(nullptr, dlg, Q(avi));
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text,
              QString::fromUtf8(kLinuxBurnerText).replace(QStringLiteral("%s"), "brasero"));
    EXPECT_EQ(boxes.Shown[0].Kind, kKindQuestion);
    ASSERT_TRUE(brasero.WaitForCalls(1));
    EXPECT_EQ(brasero.Calls(), (Calls{{avi}}));
    EXPECT_TRUE(launches.empty());
    EXPECT_FALSE(std::filesystem::exists(ProjectFile("ZQ_0.c2c")));

    // No to the desktop burner leads to the download question.
    boxes.Shown.clear();
    boxes.Answers = {kIdNo, kIdNo};
    BurnToCd(nullptr, dlg, Q(avi));
    ASSERT_EQ(boxes.Shown.size(), 2u);
    EXPECT_EQ(boxes.Shown[1].Text, QString::fromUtf8(kBurnerMissingText));
    EXPECT_EQ(brasero.Calls().size(), 1u);

    // With a burner of the maker's configured, no desktop burner is offered.
    const TStandIn brennix = MakeStandIn(dir + "/Brennix.exe");
    SetXolValue("Brennix", brennix.Path);
    boxes.Shown.clear();
    BurnToCd(nullptr, dlg, Q(avi));
    EXPECT_TRUE(boxes.Shown.empty());
    ASSERT_TRUE(brennix.WaitForCalls(1));
    EXPECT_EQ(brasero.Calls().size(), 1u);
}

TEST_F(XolTools, ConvertToDvdOffersTheDownloadOrHandsTheQuotedFileOver) {
    const std::string avi = MakeCurrentFile("part.avi");
    boxes.Answers.push_back(kIdYes);
    ConvertToDvd(nullptr, Q(avi));
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, QString::fromUtf8(kConverterMissingText));
    EXPECT_EQ(boxes.Shown[0].Kind, kKindWarning);
    // The page, and no converter to start.
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].Target, Q(PartnerPageUrl()));

    const TStandIn converter = MakeStandIn(dir + "/mv/mervast.exe");
    SetXolValue("Mervast", dir + "/mv");
    ConvertToDvd(nullptr, Q(avi));
    EXPECT_EQ(boxes.Shown.size(), 1u);
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(launches[1].Kind, TShellTarget::Program);
    EXPECT_EQ(launches[1].Target, Q(converter.Path));
    EXPECT_EQ(launches[1].Parameters, Q("\"" + avi + "\""));
}

TEST_F(XolTools, QuotedPathsReachTheProgramWhole) {
    for (const char* name : {"plain.avi", "with blanks .avi", "say \"cheese\".avi", "\"a\""})
        EXPECT_EQ(QProcess::splitCommand(QuotedParameter(Q(name))), QStringList{Q(name)}) << name;

    LaunchForReal();
    const TStandIn converter = MakeStandIn(dir + "/Vorcast.exe");
    SetXolValue("Vorcast", converter.Path);
    const std::string avi = MakeCurrentFile("it's a \"good\" cut.avi");
    ConvertToDvd(nullptr, Q(avi));
    ASSERT_TRUE(converter.WaitForCalls(1));
    EXPECT_EQ(converter.Calls(), (Calls{{avi}}));
}

TEST_F(XolTools, CodecCheckStartsQuilletOrOpensItsPage) {
    const std::string avi = MakeCurrentFile("undecodable.avi");
    const QString page = CodecToolPageUrl();
    EXPECT_TRUE(page.startsWith(QStringLiteral("https://")));
    EXPECT_TRUE(page.endsWith(QStringLiteral("/?qlt")));

    // No value, then a value naming a file that is gone: the page.
    CheckVideoCodecs(nullptr, Q(avi));
    WriteMakerValue("Quillet", dir + "/gone/Quillet.exe");
    CheckVideoCodecs(nullptr, Q(avi));
    ASSERT_EQ(launches.size(), 2u);
    for (const TLaunch& l : launches) {
        EXPECT_EQ(l.Kind, TShellTarget::Url);
        EXPECT_EQ(l.Target, page);
    }
    // Nothing on the desktop opens the page: said, naming it.
    launchesTaken = false;
    CheckVideoCodecs(nullptr, Q(avi));
    EXPECT_EQ(boxes.Texts(),
              QStringList{QStringLiteral("Nothing on this system could open %1.").arg(page)});
    boxes.Shown.clear();
    launches.pop_back();
    launchesTaken = true;

    const TStandIn quillet = MakeStandIn(dir + "/Quillet.exe");
    WriteMakerValue("Quillet", quillet.Path);
    CheckVideoCodecs(nullptr, Q(avi));
    ASSERT_EQ(launches.size(), 3u);
    EXPECT_EQ(launches[2].Kind, TShellTarget::Program);
    EXPECT_EQ(launches[2].Target, Q(quillet.Path));
    EXPECT_EQ(launches[2].Parameters, Q("\"" + avi + "\""));
    EXPECT_TRUE(boxes.Shown.empty());

    LaunchForReal();
    CheckVideoCodecs(nullptr, Q(avi));
    ASSERT_TRUE(quillet.WaitForCalls(1));
    EXPECT_EQ(quillet.Calls(), (Calls{{avi}}));
}

TEST_F(XolTools, MediaInfoOnThePathIsOfferedBeforeTheCodecPage) {
    const TStandIn inspector = MakeStandIn(bin + "/mediainfo-gui");
    const std::string avi = MakeCurrentFile("undecodable.avi");

    boxes.Answers.push_back(kIdNo);
    CheckVideoCodecs(nullptr, Q(avi));
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(
        boxes.Shown[0].Text,
        QString::fromUtf8(kLinuxInspectorText).replace(QStringLiteral("%s"), "mediainfo-gui"));
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].Target, CodecToolPageUrl());

    boxes.Answers.push_back(kIdYes);
    CheckVideoCodecs(nullptr, Q(avi));
    ASSERT_TRUE(inspector.WaitForCalls(1));
    EXPECT_EQ(inspector.Calls(), (Calls{{avi}}));
    EXPECT_EQ(launches.size(), 1u);

    // Quillet, once there, comes first and nothing is asked.
    WriteMakerValue("Quillet", Touch(dir + "/Quillet.exe"));
    boxes.Shown.clear();
    CheckVideoCodecs(nullptr, Q(avi));
    EXPECT_TRUE(boxes.Shown.empty());
    EXPECT_EQ(launches.size(), 2u);
    EXPECT_EQ(inspector.Calls().size(), 1u);
}
