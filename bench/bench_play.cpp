// bench_play: plays the first SECONDS of FILE as the window does (pictures decoded ahead, shown
// by the sound's clock, painted into a 960x540 picture area) and reports the frames shown and
// dropped and the CPU time used. The sound goes to the default device when there is one
// (PULSE_SERVER); without one the wall clock sets the time.
#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/Playback.h"
#include "mainwindow/FrameImage.h"

#include <QApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

const char* SoundName(TPlayback::TSound Sound) {
    switch (Sound) {
    case TPlayback::TSound::On:
        return "on";
    case TPlayback::TSound::NoTrack:
        return "no_track";
    case TPlayback::TSound::NoDevice:
        return "no_device";
    case TPlayback::TSound::Undecodable:
        return "undecodable";
    case TPlayback::TSound::Lost:
        return "lost";
    default:
        return "pending";
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_play FILE [SECONDS]\n");
        return 2;
    }
    QApplication app(argc, argv);
    TAVIExtractor x;
    x.Open(argv[1]);
    if (!x.Valid) {
        std::fprintf(stderr, "%s: no video to play\n", argv[1]);
        return 1;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 20;
    const int32_t last =
        std::min<int32_t>(x.FrameCount() - 1, x.FrameAtMs(int64_t(seconds * 1000) - 1));
    TFrameImage view;
    view.resize(960, 540);
    view.show();
    TPlayback play(&x);
    QObject::connect(&play, &TPlayback::FrameShown, &view,
                     [&view](int32_t, const QImage& Image) { view.SetPicture(Image); });
    QObject::connect(&play, &TPlayback::Finished, &app, [&app] { app.quit(); });
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    play.Start({0, last, 1}, 1.0f);
    app.exec();
    const double cpu = CpuSeconds() - cpu0;
    const double elapsed = double(wall.elapsed()) / 1000;
    const int64_t frames = int64_t{last} + 1;
    std::printf("play_frames=%lld\nplay_shown=%lld\nplay_dropped=%lld\nplay_dropped_percent=%.2f\n"
                "play_sound=%s\nplay_wall_seconds=%.2f\nplay_cpu_seconds=%.2f\n"
                "play_cpu_percent_of_one_core=%.1f\n",
                static_cast<long long>(frames), static_cast<long long>(play.FramesShown()),
                static_cast<long long>(play.FramesDropped()),
                100.0 * double(play.FramesDropped()) / double(frames), SoundName(play.Sound()),
                elapsed, cpu, 100.0 * cpu / elapsed);
    return 0;
}
