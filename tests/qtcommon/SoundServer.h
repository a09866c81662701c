// SoundServer: one PulseAudio server per test process, with a null sink ("clipvane_null") whose
// monitor can be recorded, so that playback tests use a real sound path without sound hardware.
#pragma once

#include <string>

namespace soundtest {

// Set in the environment, the tests play without any server instead (PULSE_SERVER names a
// socket nobody listens on).
inline constexpr const char* kNoServer = "CLIPVANE_NO_SOUND_SERVER";

struct TSoundServer {
    std::string dir;
    std::string socket;
    std::string pid;
    std::string failure; // why there is no server, when there should be one

    TSoundServer();
    ~TSoundServer();
    TSoundServer(const TSoundServer&) = delete;
    TSoundServer& operator=(const TSoundServer&) = delete;
};

// Started on first use, before any sound device is looked for; stopped when the process ends.
TSoundServer& Server();

double SteadySeconds();

} // namespace soundtest
