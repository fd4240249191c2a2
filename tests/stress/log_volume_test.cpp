// The log's volume running full while the server runs. Needs a small volume of its own:
// tools/test.d/log-volume-full mounts a 1 MiB tmpfs in a private mount namespace, names it in
// QUARVELLO_SMALL_VOLUME and in TMPDIR (where the data folder is made), and runs this there.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "server/response.h"
#include "storage/log_writer.h"
#include "stress_support.h"

using stress::Exchange;
using stress::Record;
using stress::Request;

namespace {

// Writes into path until the volume takes no more: large pieces, then single bytes, so that no
// page with room is left. Returns the bytes written.
long long FillVolume(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    long long written = 0;
    const std::vector<char> block(64 * 1024, 'f');
    for (std::size_t piece : {block.size(), std::size_t{1}}) {
        for (int i = 0; i < 2 * 1024 * 1024; ++i) {
            const ssize_t n = ::write(fd, block.data(), piece);
            if (n <= 0) break;
            written += n;
        }
    }
    ::close(fd);
    return written;
}

class LogVolume : public stress::ServedFolder {
protected:
    void SetUp() override {
        const char* volume = std::getenv("QUARVELLO_SMALL_VOLUME");
        if (volume == nullptr) GTEST_SKIP() << "needs a small volume: tools/test.d/log-volume-full runs it";
        volume_ = volume;
        stress::ServedFolder::SetUp();
    }
    std::string volume_;
};

}  // namespace

TEST_F(LogVolume, AFullVolumeDropsRecordsAndEveryRecordAfterIsAWholeLine) {
    constexpr int WhileFull = 200, After = 20;
    const std::string dataRoot = storage::WideToUtf8(data_.Root());
    ASSERT_EQ(dataRoot.rfind(volume_, 0), 0u) << dataRoot << " is not on " << volume_;
    const std::string hello = stress::OkResponse("text/plain; charset=utf-8", "hello");
    Plant(L"a.txt", "hello");

    const std::string filler = dataRoot + "/filler";
    ASSERT_GT(FillVolume(filler), 0);
    // More records than the room left in the log file's last page: some fit, one is cut
    // short by the full volume, and the rest find no room at all.
    for (int i = 0; i < WhileFull; ++i) EXPECT_EQ(Exchange(Request("GET", "/a.txt")).bytes, hello) << i;
    stress::LogContents full = stress::ReadLog();
    EXPECT_TRUE(full.broken.empty()) << "while full: " << full.broken.front();
    EXPECT_LT(full.accessLines, WhileFull) << "the volume never ran full";

    ASSERT_EQ(::unlink(filler.c_str()), 0);
    for (int i = 0; i < After; ++i)
        EXPECT_EQ(Exchange(Request("GET", "/after.txt")).bytes, server::NotFoundResponse.bytes) << i;
    stress::LogContents log = stress::ReadLog();
    EXPECT_TRUE(log.broken.empty()) << log.broken.size() << " broken lines, the first: " << log.broken.front();
    EXPECT_EQ(log.infoLines, 1);
    EXPECT_EQ(log.access[Record("GET", "/a.txt", 200)], full.accessLines);
    EXPECT_EQ(log.access[Record("GET", "/after.txt", 404)], After);
}
