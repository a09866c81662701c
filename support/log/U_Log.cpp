// U_Log: TKLog's recording, saving and opening.
#include "support/log/U_Log.h"

#include "support/files/U_UnicodeUtils.h"
#include "support/platform/DesktopOpen.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Only the start of a larger file is loaded: the newest lines are at its top.
constexpr std::streamsize kMaxLoadBytes = std::streamsize{16} << 20;

} // namespace

TKLog::TKLog(const std::string& FileName, bool Verbose, int32_t MaxLines, bool LoadExisting)
    : fileName_(FileName), maxLines_(MaxLines), verbose_(Verbose) {
    if (!LoadExisting || !WideFileExists(fileName_))
        return;
    std::ifstream in(fileName_, std::ios::binary | std::ios::ate);
    const std::streamsize size = std::min<std::streamsize>(in.tellg(), kMaxLoadBytes);
    if (size <= 0)
        return;
    in.seekg(0);
    std::string text(static_cast<size_t>(size), '\0');
    in.read(text.data(), size);
    text.resize(static_cast<size_t>(in.gcount()));
    size_t pos = 0;
    while (pos < text.size() && static_cast<int64_t>(lines_.size()) < maxLines_) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines_.push_back(std::move(line));
        pos = end + 1;
    }
}

TKLog::~TKLog() {
    Save();
}

const char* TKLog::LevelName(int Level) {
    if (Level <= kVerbose)
        return "Verbose";
    return Level == kInfo ? "Info" : "Error";
}

std::string TKLog::Stamp(int year, int month, int day, int hour, int minute, int second) {
    // The time separator is the user's on the other platform; ":" is what nearly every locale
    // uses, and what a reader of the file expects.
    char buf[40];
    std::snprintf(buf, sizeof buf, "[%02d-%02d-%02d %02d:%02d:%02d]", ((year % 100) + 100) % 100,
                  month, day, hour, minute, second);
    return buf;
}

void TKLog::Add(const std::string& Message, int Level) {
    if (Level <= kVerbose && !verbose_)
        return;
    if (Level > kError)
        Level = kError;
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    std::string line = LevelName(Level);
    line += '\t';
    line += Stamp(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    line += '\t';
    line += Message;

    std::lock_guard lock(mutex_);
    lines_.push_front(std::move(line));
    if (static_cast<int64_t>(lines_.size()) > maxLines_)
        lines_.pop_back();
    if (verbose_)
        SaveLocked();
}

void TKLog::Save() {
    std::lock_guard lock(mutex_);
    SaveLocked();
}

void TKLog::SaveLocked() {
    // A name without a folder part has no folder that exists, as on the other platform.
    const std::string folder = FolderOf(fileName_);
    if (folder.empty() || !WideDirectoryExists(folder))
        return;
    std::ofstream out(fileName_, std::ios::binary | std::ios::trunc);
    if (!out)
        return;
    for (const std::string& line : lines_) {
        out << line << "\r\n";
        if (!out)
            return;
    }
}

bool TKLog::Open() {
    Save();
    return DesktopOpenFile(fileName_);
}

std::vector<std::string> TKLog::Lines() const {
    std::lock_guard lock(mutex_);
    return {lines_.begin(), lines_.end()};
}

void KLogAdd(TKLog* Log, const std::string& Message, int Level) {
    if (Log)
        Log->Add(Message, Level);
}
