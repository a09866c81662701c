// Tests of TKLog: line format and levels, the MaxLines bound, the file and when it is written.
#include "support/log/U_Log.h"

#include "support/platform/DesktopOpen.h"
#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string FreshDir() {
    static int counter = 0;
    const std::string dir = testmedia::TempDir() + "/log-" + std::to_string(++counter);
    fs::create_directories(dir);
    return dir;
}

std::string ReadText(const std::string& path) {
    const auto bytes = testmedia::ReadAll(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string StampOf(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return TKLog::Stamp(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                        tm.tm_sec);
}

} // namespace

TEST(KLog, LineFormatAndLevels) {
    EXPECT_EQ(TKLog::Stamp(2024, 5, 17, 14, 3, 9), "[24-05-17 14:03:09]");
    EXPECT_EQ(TKLog::Stamp(2000, 12, 1, 0, 0, 0), "[00-12-01 00:00:00]");

    TKLog log(FreshDir() + "/Clipvane.log", false, 100, false);
    const std::time_t before = std::time(nullptr);
    log.Add("Starting", 1);
    const std::time_t after = std::time(nullptr);
    log.Add("x", 0); // verbose lines need Verbose
    log.Add("failed", 7);
    log.Add("with\ttab", 2);
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("Error\t", 0), 0u);
    EXPECT_EQ(lines[1].rfind("Error\t", 0), 0u);
    EXPECT_TRUE(std::regex_match(
        lines[2], std::regex(R"(Info\t\[\d\d-\d\d-\d\d \d\d:\d\d:\d\d\]\tStarting)")))
        << lines[2];
    const std::string stamp = lines[2].substr(5, 19);
    EXPECT_TRUE(stamp == StampOf(before) || stamp == StampOf(after)) << stamp;
    // A tab in the message stays: a reader splitting on tabs sees four fields.
    EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), '\t'), 3);

    KLogAdd(nullptr, "nobody listens", 1);
    KLogAdd(&log, "through the helper", 1);
    EXPECT_EQ(log.Lines().size(), 4u);
}

TEST(KLog, MaxLinesKeepsTheNewest) {
    TKLog log(FreshDir() + "/Clipvane.log", false, 10000, false);
    for (int i = 1; i <= 10001; ++i)
        log.Add("message " + std::to_string(i), 1);
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 10000u);
    EXPECT_NE(lines.front().find("\tmessage 10001"), std::string::npos);
    EXPECT_NE(lines.back().find("\tmessage 2"), std::string::npos);
    EXPECT_EQ(lines.back().substr(lines.back().size() - 10), "\tmessage 2");
}

TEST(KLog, SavingRules) {
    const std::string dir = FreshDir();
    const std::string path = dir + "/Clipvane.log";
    {
        TKLog log(path, false, 100, false);
        log.Add("first", 1);
        log.Add("Zoë ✓ second", 2);
        EXPECT_FALSE(fs::exists(path)); // not verbose: nothing is written per line
        log.Save();
        const std::string text = ReadText(path);
        EXPECT_TRUE(std::regex_match(
            text,
            std::regex(
                "Error\\t\\[[^\\]]+\\]\\tZoë ✓ second\\r\\nInfo\\t\\[[^\\]]+\\]\\tfirst\\r\\n")))
            << text;
        log.Add("third", 1);
    }
    // The destructor saves.
    EXPECT_EQ(ReadText(path).find("Info\t"), 0u);
    EXPECT_NE(ReadText(path).find("\tthird\r\n"), std::string::npos);

    // Verbose saves at once, and records level 0.
    {
        TKLog log(path, true, 100, false);
        log.Add("detail", 0);
        EXPECT_EQ(ReadText(path).rfind("Verbose\t", 0), 0u);
        EXPECT_EQ(ReadText(path).find("third"), std::string::npos); // a new list each run
    }

    // Loading an existing file starts from its lines, at most MaxLines of them.
    {
        TKLog log(path, false, 100, false);
        for (int i = 0; i < 5; ++i)
            log.Add("old " + std::to_string(i), 1);
    }
    TKLog loaded(path, false, 3, true);
    auto lines = loaded.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("\told 4"), std::string::npos);
    loaded.Add("new", 1);
    lines = loaded.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("\tnew"), std::string::npos);
}

TEST(KLog, MissingFolderAndOpen) {
    std::vector<std::string> opened;
    std::vector<bool> existedWhenOpened;
    SetDesktopOpenHandler([&](const std::string& f) {
        opened.push_back(f);
        existedWhenOpened.push_back(fs::exists(f));
        return true;
    });

    const std::string dir = FreshDir();
    const std::string missing = dir + "/not here/Clipvane.log";
    {
        TKLog log(missing, true, 10, false);
        log.Add("kept in memory", 1);
        log.Save();
        log.Open();
        EXPECT_EQ(log.Lines().size(), 1u);
    }
    EXPECT_FALSE(fs::exists(dir + "/not here")); // never created

    TKLog log(dir + "/Clipvane.log", false, 10, false);
    log.Add("open me", 1);
    log.Open();
    SetDesktopOpenHandler({});

    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], missing);
    EXPECT_FALSE(existedWhenOpened[0]);
    EXPECT_EQ(opened[1], dir + "/Clipvane.log");
    EXPECT_TRUE(existedWhenOpened[1]);
}

TEST(DesktopOpen, DefaultHandsTheFileToXdgOpen) {
    // A stand-in xdg-open first in PATH records what it was asked to open.
    const std::string dir = FreshDir();
    const std::string marker = dir + "/opened.txt";
    const std::string script = dir + "/xdg-open";
    {
        std::ofstream out(script);
        out << "#!/bin/sh\nprintf '%s' \"$1\" > '" << marker << ".part' && mv '" << marker
            << ".part' '" << marker << "'\n";
    }
    fs::permissions(script, fs::perms::owner_all);
    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath ? oldPath : "";
    setenv("PATH", (dir + ":" + saved).c_str(), 1);
    TKLog log(dir + "/Clipvane log.log", false, 10, false);
    log.Add("x", 1);
    log.Open();
    setenv("PATH", saved.c_str(), 1);

    // The program does not wait for the viewer; the test waits, within bounds, for the record.
    for (int i = 0; i < 200 && !fs::exists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::exists(marker));
    EXPECT_EQ(ReadText(marker), dir + "/Clipvane log.log");
}
