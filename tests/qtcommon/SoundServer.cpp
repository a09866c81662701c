// SoundServer: starting a private PulseAudio server and pointing this process at it.
#include "tests/qtcommon/SoundServer.h"

#include "tests/common/TestMedia.h"

#include <QTest>

#include <chrono>
#include <cstdlib>
#include <fstream>

namespace soundtest {

using testmedia::Quote;
using testmedia::Run;

TSoundServer::TSoundServer() {
    dir = testmedia::TempDir() + "/pulse";
    socket = dir + "/native";
    Run("mkdir -p " + Quote(dir + "/run"));
    // No client may start a server of its own behind the test's back.
    std::ofstream(dir + "/client.conf") << "autospawn = no\n";
    setenv("PULSE_CLIENTCONFIG", (dir + "/client.conf").c_str(), 1);
    if (std::getenv(kNoServer)) {
        setenv("PULSE_SERVER", ("unix:" + dir + "/absent").c_str(), 1);
        return;
    }
    if (!testmedia::HaveTool("pulseaudio") || !testmedia::HaveTool("parec")) {
        failure = "pulseaudio or parec not found; install the Debian packages pulseaudio "
                  "pulseaudio-utils";
        return;
    }
    const auto started =
        Run("HOME=" + Quote(dir) + " PULSE_RUNTIME_PATH=" + Quote(dir + "/run") +
            " pulseaudio -n --daemonize=no --exit-idle-time=-1 --log-target=stderr "
            "--load='module-null-sink sink_name=clipvane_null rate=44100' "
            "--load='module-native-protocol-unix socket=" +
            socket + " auth-anonymous=1' > " + Quote(dir + "/server.log") + " 2>&1 & echo $!");
    pid = started.out.substr(0, started.out.find('\n'));
    setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
    for (int i = 0; i < 100; ++i) {
        if (Run("pactl info > /dev/null 2>&1").exitCode == 0)
            return;
        QTest::qWait(50);
    }
    failure = "the sound server did not start: " + Run("cat " + Quote(dir + "/server.log")).out;
}

TSoundServer::~TSoundServer() {
    if (!pid.empty())
        Run("kill " + pid);
}

TSoundServer& Server() {
    static TSoundServer server;
    return server;
}

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace soundtest
