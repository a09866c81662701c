// TestMedia: tool runner and media cache for the tests.
#include "tests/common/TestMedia.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testmedia {

namespace {

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct TempRoot {
    std::string path;
    TempRoot() {
        std::string tmpl = (fs::temp_directory_path() / "clipvane-test-XXXXXX").string();
        if (char* made = mkdtemp(tmpl.data()))
            path = made;
    }
    ~TempRoot() {
        std::error_code ec;
        if (!path.empty())
            fs::remove_all(path, ec);
    }
};

} // namespace

std::string Quote(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

std::string TempDir() {
    static TempRoot root;
    return root.path;
}

RunResult Run(const std::string& shellCommand) {
    static int counter = 0;
    const std::string base = TempDir() + "/run" + std::to_string(++counter);
    const std::string cmd = "(" + shellCommand + ") >" + Quote(base + ".out") + " 2>" +
                            Quote(base + ".err") + " </dev/null";
    RunResult r;
    const int status = std::system(cmd.c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadFileText(base + ".out");
    r.err = ReadFileText(base + ".err");
    std::error_code ec;
    fs::remove(base + ".out", ec);
    fs::remove(base + ".err", ec);
    return r;
}

bool HaveTool(const std::string& tool) {
    return Run("command -v " + Quote(tool)).exitCode == 0;
}

std::string MediaDir() {
    static const std::string dir = [] {
        const char* env = std::getenv("CLIPVANE_TEST_MEDIA");
        std::string d =
            env && *env
                ? env
                : (fs::temp_directory_path() / ("clipvane-testmedia-" + std::to_string(getuid())))
                      .string();
        std::error_code ec;
        fs::create_directories(d, ec);
        return d;
    }();
    return dir;
}

std::string Make(const std::string& name, const std::string& commandTemplate, std::string* why) {
    const size_t hash = std::hash<std::string>{}(commandTemplate);
    const fs::path ext = fs::path(name).extension();
    const std::string stem = fs::path(name).stem().string();
    std::ostringstream finalName;
    finalName << stem << "-" << std::hex << hash << ext.string();
    const std::string target = MediaDir() + "/" + finalName.str();
    if (fs::exists(target))
        return target;
    const std::string partial = target + ".part" + std::to_string(getpid()) + ext.string();
    std::string cmd = commandTemplate;
    for (size_t at; (at = cmd.find("{out}")) != std::string::npos;)
        cmd.replace(at, 5, Quote(partial));
    const RunResult r = Run(cmd);
    std::error_code ec;
    if (r.exitCode != 0 || !fs::exists(partial)) {
        fs::remove(partial, ec);
        if (why)
            *why = "command failed (" + std::to_string(r.exitCode) + "): " + cmd + "\n" + r.err;
        return {};
    }
    fs::rename(partial, target, ec);
    if (ec) {
        if (why)
            *why = "cannot move " + partial + ": " + ec.message();
        return {};
    }
    return target;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
}

uint64_t FileSizeOf(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? 0 : size;
}

uint64_t FreeSpace(const std::string& path) {
    struct statvfs st {};
    if (statvfs(path.c_str(), &st) != 0)
        return 0;
    return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
}

} // namespace testmedia
