// MakerHost: the maker's web host, fixed when the program is built.
#pragma once

#include <string_view>

// Set by the build (CMake cache variable CLIPVANE_MAKER_HOST); the fallback serves other builds.
// The default lies on a reserved domain so that no build talks to a real site by accident.
#ifndef CLIPVANE_MAKER_HOST
#define CLIPVANE_MAKER_HOST "www.quorlen.example"
#endif

constexpr std::string_view MakerHost() {
    return CLIPVANE_MAKER_HOST;
}
