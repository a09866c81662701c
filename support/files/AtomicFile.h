// AtomicFile: whole-file reads with a size cap, and whole-file replacement through a synced
// temporary file and a rename, so a reader never sees half a file.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace atomicfile {

enum class ReadResult { Ok, Missing, TooLarge, Failed };

// Reads the whole regular file into bytes. TooLarge when it holds more than maxBytes; err holds
// the system's error code when the result is Failed.
ReadResult ReadCapped(const std::string& path, size_t maxBytes, std::string& bytes, int& err);

// Writes bytes to tmpPath (same folder as path), syncs it, calls beforeRename, renames it over
// path and syncs the folder. The file keeps the permissions of the one it replaces; a new one
// gets newMode. On failure the temporary file is removed and err holds the error code.
bool Replace(const std::string& path, const std::string& tmpPath, const std::string& bytes,
             unsigned newMode, int& err, const std::function<void()>& beforeRename = {});

// The target of a symbolic link, so that a replacement lands in the file the link points to;
// any other path unchanged.
std::string ResolveLink(const std::string& path);

// A temporary name beside path that no other process uses ("<path>.tmp-<process id>"), for
// writers that hold no lock.
std::string PrivateTempPath(const std::string& path);

// The folder part of a path ("." when there is none).
std::string FolderOf(const std::string& path);

// Whether an existing file may be replaced: writable for us and not marked read-only (no write
// bit at all), the rule the other platform applies even to administrators.
bool MayReplace(const std::string& path, int& err);

} // namespace atomicfile
