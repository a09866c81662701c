// bench_first_frame: the time from starting the program on a file (clipvane FILE) to its first
// frame on screen, over several runs, each with fresh settings in a temporary home.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

long long NowUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// One run: the microseconds to the first frame, -1 when the program said nothing.
long long RunOnce(const std::string& program, const std::string& file, const std::string& home) {
    int out[2];
    if (pipe(out) != 0)
        return -1;
    const long long start = NowUs();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        setenv("CLIPVANE_REPORT_FIRST_FRAME", "1", 1);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
        execl(program.c_str(), program.c_str(), file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string said;
    char buffer[256];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const size_t at = said.find("first_frame_monotonic_us=");
    if (at == std::string::npos)
        return -1;
    return std::atoll(said.c_str() + at + 25) - start;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_first_frame PROGRAM FILE [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    char pattern[] = "/tmp/clipvane-first-frame-XXXXXX";
    const char* home = mkdtemp(pattern);
    if (!home)
        return 1;
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const long long us = RunOnce(argv[1], argv[2], home);
        if (us < 0) {
            std::fprintf(stderr, "run %d: no first frame reported\n", i + 1);
            return 1;
        }
        ms.push_back(static_cast<double>(us) / 1000.0);
    }
    std::string cleanup = std::string("rm -rf '") + home + "'";
    if (std::system(cleanup.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", home);
    std::sort(ms.begin(), ms.end());
    std::printf("first_frame_ms_best=%.1f\nfirst_frame_ms_median=%.1f\n", ms.front(),
                ms[ms.size() / 2]);
    return 0;
}
