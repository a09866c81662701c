// U_Log: TKLog, the program's diagnostic log - levelled, time-stamped lines kept in memory, newest
// first, written to a UTF-8 text file on Save.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class TKLog {
public:
    // Levels and the names written into the lines.
    static constexpr int kVerbose = 0;
    static constexpr int kInfo = 1;
    static constexpr int kError = 2;

    // With LoadExisting and an existing file, the list starts with the file's lines, at most
    // MaxLines of them (the newest, as the file holds them newest first).
    TKLog(const std::string& FileName, bool Verbose, int32_t MaxLines, bool LoadExisting);
    // Saves.
    ~TKLog();
    TKLog(const TKLog&) = delete;
    TKLog& operator=(const TKLog&) = delete;

    // Records "<level name>\t[yy-mm-dd hh:mm:ss]\t<Message>" at the front, local time. Level 0
    // only when Verbose; a level above 2 counts as 2. Beyond MaxLines the oldest line goes, one
    // per call. When Verbose, saves at once.
    void Add(const std::string& Message, int Level);
    // Writes the lines, newest first, each ended by CR LF, replacing the file - only when the
    // file's folder exists (it is never created here). Errors are swallowed.
    void Save();
    // Save, then hand the file to the desktop (DesktopOpenFile) even when it could not be written.
    // False when nothing could open it.
    bool Open();

    std::vector<std::string> Lines() const;
    const std::string& FileName() const { return fileName_; }
    int32_t MaxLines() const { return maxLines_; }
    bool Verbose() const { return verbose_; }

    static const char* LevelName(int Level);
    // The stamp as written into a line, for the given local time.
    static std::string Stamp(int year, int month, int day, int hour, int minute, int second);

private:
    void SaveLocked();

    // Lines come from the main thread today; the lock keeps a worker's line from tearing the
    // list should one ever log directly.
    mutable std::mutex mutex_;
    std::deque<std::string> lines_;
    std::string fileName_;
    int32_t maxLines_;
    bool verbose_;
};

// Add on a log that may not exist: an object that was given no log simply records nothing.
void KLogAdd(TKLog* Log, const std::string& Message, int Level);
