// MakerHost: the maker's web host, fixed when the program is built.
#pragma once

#include <string_view>

// Builds for another host pass -DCLIPVANE_MAKER_HOST="\"www.example.org\"" (a string literal).
// The default lies on a reserved domain so that no build talks to a real site by accident.
#ifndef CLIPVANE_MAKER_HOST
#define CLIPVANE_MAKER_HOST "www.quorlen.example"
#endif

constexpr std::string_view MakerHost() {
    return CLIPVANE_MAKER_HOST;
}
