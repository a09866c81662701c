// TestMedia: running the real tools (ffmpeg, mencoder, gst-launch-1.0, ffprobe) from tests, and a
// cache of the media files they make, shared by test processes and kept between runs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testmedia {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a command through /bin/sh -c, capturing standard output and error.
RunResult Run(const std::string& shellCommand);
// Quotes a string for the shell.
std::string Quote(const std::string& text);
bool HaveTool(const std::string& tool);

// A fresh folder for this test process, removed when the process ends.
std::string TempDir();
// The folder of cached media (CLIPVANE_TEST_MEDIA, else a folder under /tmp).
std::string MediaDir();

// Returns the path of a media file made by commandTemplate, in which "{out}" stands for the
// output path. The file is made once per distinct command and reused afterwards. Returns the
// empty string (and records the reason in *why) when the command fails.
std::string Make(const std::string& name, const std::string& commandTemplate,
                 std::string* why = nullptr);

std::vector<uint8_t> ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::vector<uint8_t>& data);
uint64_t FileSizeOf(const std::string& path);
// Free bytes on the file system holding path.
uint64_t FreeSpace(const std::string& path);

} // namespace testmedia

// Skips the running test when a tool is missing, naming the Debian package that brings it.
#define REQUIRE_TOOL(tool, package)                                                                \
    do {                                                                                           \
        if (!testmedia::HaveTool(tool))                                                            \
            GTEST_SKIP() << tool << " not found; install the Debian package " << package;          \
    } while (0)
