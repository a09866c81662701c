// CopyRuns_test: cuts copied in the kernel on file systems that share blocks (XFS with reflink,
// btrfs), across file systems, on tmpfs and on a full one - the same output as the plain copy,
// checked against ffmpeg. The file systems are loop images mounted in a mount namespace of this
// test process, so they vanish with it; without root or mounting the test is skipped.
#include "engine/avi/EngineErrors.h"
#include "engine/jobs/U_AVIExtractor.h"
#include "tests/common/TestMedia.h"
#include "tests/engine/VfwTestSupport.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

using namespace vfwtest;
using testmedia::Quote;

namespace {

// Whether this process could get a mount namespace of its own (root, and allowed to).
bool PrivateMounts() {
    static const bool ok = [] {
        if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0)
            return false;
        return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }();
    return ok;
}

uint64_t Available(const std::string& dir) {
    return testmedia::FreeSpace(dir);
}

bool Same(const std::string& a, const std::string& b) {
    return testmedia::Run("cmp -s " + Quote(a) + " " + Quote(b)).exitCode == 0;
}

void Cut(const std::string& source, const std::string& out, bool buffered) {
    if (buffered)
        ::setenv("CLIPVANE_BUFFERED_COPY", "1", 1);
    TAVIExtractor x;
    x.Open(source);
    x.CreateOutput(out);
    x.SaveRange(60, 1460);
    ::unsetenv("CLIPVANE_BUFFERED_COPY");
}

std::string Packets(const std::string& file) {
    return testmedia::Run("ffmpeg -nostdin -v error -i " + Quote(file) +
                          " -map 0 -c copy -f framemd5 - | grep -v '^#'")
        .out;
}

} // namespace

TEST(CopyRuns, SharedBlocksAcrossAndFullFileSystems) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    REQUIRE_TOOL("mkfs.xfs", "xfsprogs");
    REQUIRE_TOOL("mkfs.btrfs", "btrfs-progs");
    if (!PrivateMounts())
        GTEST_SKIP() << "needs root and a mount namespace of its own to mount loop images";
    const std::string dir = testmedia::TempDir();
    if (Available(dir) < (uint64_t{3} << 30))
        GTEST_SKIP() << "less than 3 GiB free in " << dir;
    // 640x360 BGR24 and MP3, 60 s: 1 GB, interleaved.
    const std::string source = dir + "/source.avi";
    ASSERT_EQ(
        testmedia::Run("ffmpeg -nostdin -v error -y -f lavfi -i "
                       "testsrc=size=640x360:rate=25:duration=60 -f lavfi -i sine=duration=60 "
                       "-c:v rawvideo -pix_fmt bgr24 -c:a libmp3lame -b:a 128k " +
                       Quote(source))
            .exitCode,
        0);
    const std::string plain = dir + "/plain.avi";
    Cut(source, plain, true);
    const std::string want = Packets(plain);
    ASSERT_FALSE(want.empty());

    for (const auto& [kind, make] :
         {std::pair<std::string, std::string>{"xfs", "mkfs.xfs -q -m reflink=1"},
          {"btrfs", "mkfs.btrfs -q"}}) {
        SCOPED_TRACE(kind);
        const std::string image = dir + "/" + kind + ".img";
        const std::string mnt = dir + "/" + kind;
        std::filesystem::create_directories(mnt);
        ASSERT_EQ(testmedia::Run("truncate -s 3G " + Quote(image) + " && " + make + " " +
                                 Quote(image) + " && mount -o loop " + Quote(image) + " " +
                                 Quote(mnt))
                      .exitCode,
                  0);
        const std::string src = mnt + "/source.avi";
        ASSERT_EQ(testmedia::Run("cp " + Quote(source) + " " + Quote(src) + " && sync").exitCode,
                  0);
        const uint64_t before = Available(mnt);
        const std::string shared = mnt + "/shared.avi";
        Cut(src, shared, false);
        testmedia::Run("sync");
        const uint64_t used = before - std::min(before, Available(mnt));
        const uint64_t size = testmedia::FileSizeOf(shared);
        // The blocks are the source's: far less new space than the output holds.
        EXPECT_LT(used, size / 20) << used << " of " << size;
        EXPECT_EQ(Packets(shared), want);
        // The same bytes as a plain copy makes, and as a copy to another file system.
        const std::string copied = mnt + "/copied.avi";
        Cut(src, copied, true);
        EXPECT_TRUE(Same(shared, copied));
        const std::string across = dir + "/across-" + kind + ".avi";
        Cut(src, across, false);
        EXPECT_TRUE(Same(across, shared));
        std::filesystem::remove(across);
        testmedia::Run("umount " + Quote(mnt) + " && rm -f " + Quote(image));
    }

    // tmpfs, then a full one: the failure is the engine's, and what was written stays readable.
    const std::string tmp = dir + "/tmpfs";
    std::filesystem::create_directories(tmp);
    ASSERT_EQ(testmedia::Run("mount -t tmpfs -o size=1200M tmpfs " + Quote(tmp)).exitCode, 0);
    Cut(source, tmp + "/cut.avi", false);
    EXPECT_EQ(Packets(tmp + "/cut.avi"), want);
    testmedia::Run("umount " + Quote(tmp));
    ASSERT_EQ(testmedia::Run("mount -t tmpfs -o size=100M tmpfs " + Quote(tmp)).exitCode, 0);
    TAVIExtractor x;
    x.Open(source);
    x.CreateOutput(tmp + "/full.avi");
    try {
        x.SaveRange(60, 1460);
        ADD_FAILURE() << "a cut to a full file system succeeded";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(std::string(e.what()), "StreamWrite failed. Err: $8004406E");
        EXPECT_EQ(e.SystemError(), ENOSPC);
    }
    {
        File f;
        ASSERT_EQ(OpenRead(f, tmp + "/full.avi"), AVIERR_OK);
        Stream v;
        ASSERT_EQ(AVIFileGetStream(f.p, &v.p, streamtypeVIDEO, 0), AVIERR_OK);
        EXPECT_GT(AVIStreamLength(v.p), 10);
        EXPECT_EQ(testmedia::Run("ffprobe -v error " + Quote(tmp + "/full.avi")).exitCode, 0);
    }
    x.Close();
    testmedia::Run("umount " + Quote(tmp));
}
