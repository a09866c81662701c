// ExecutableImage: the version block (VS_VERSIONINFO) of a PE image or of one of our own ELF
// programs, found by walking the image's headers with every offset checked against its size.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The block's bytes; empty when the image holds none or is damaged.
std::vector<uint8_t> VersionBlockOfImage(std::span<const uint8_t> image);
// The same for a file, read in place; empty when it cannot be read or is no regular file.
std::vector<uint8_t> VersionBlockOfFile(const std::string& fileName);
