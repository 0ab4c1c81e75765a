// Unbounded input: a name that is not a regular file (a device that never ends, a FIFO that
// would wait for a writer, a folder) is refused when it is opened; a line longer than the
// text layer accepts (16 MiB) is reported as such, its rest passed over, and reading goes
// on with the next line. The end-to-end cases hang_*_endless_line and io_fifo_data_file
// show the whole program.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "klip/fio.hpp"
#include "klip/klip.hpp"

namespace {

namespace fs = std::filesystem;

TEST(EndlessLineDeathTest, NamesThatAreNotRegularFilesAreRefusedWithoutWaiting) {
    EXPECT_EXIT(
        {
            ::alarm(10);  // a FIFO opened the plain way would wait here for ever
            const fs::path dir =
                fs::temp_directory_path() / ("zot_fifo_" + std::to_string(::getpid()));
            fs::create_directories(dir);
            const std::string fifo = (dir / "fifo").string();
            if (::mkfifo(fifo.c_str(), 0600) != 0) ::_exit(4);
            const int a = fio::open_old(40, fifo);
            const int b = fio::open_old(40, "/dev/zero");
            const int c = fio::open_old(40, dir.string());
            fs::remove_all(dir);
            ::_exit(a == EINVAL && b == EINVAL && c == EISDIR && !fio::is_open(40) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Standard input left non-blocking by another program: a line that has not come yet is
// waited for (it was taken for the end of input, and the session ended at once).
TEST(EndlessLineDeathTest, NonBlockingStandardInputIsWaitedFor) {
    EXPECT_EXIT(
        {
            ::alarm(10);
            int p[2];
            if (::pipe(p) != 0 || ::dup2(p[0], 0) != 0) ::_exit(4);
            ::fcntl(0, F_SETFL, ::fcntl(0, F_GETFL) | O_NONBLOCK);
            if (::fork() == 0) {
                ::usleep(200000);
                ::_exit(::write(p[1], "EXIT\n", 5) == 5 ? 0 : 1);
            }
            ::close(p[1]);
            std::string line;
            const bool ok = fio::read_line_status(fio::kStdin, line) == fio::LineStatus::Ok;
            ::_exit(ok && line == "EXIT" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(EndlessLine, LongLineIsReportedAndReadingGoesOnAfterIt) {
    const fs::path path = fs::temp_directory_path() / ("zot_long_" + std::to_string(::getpid()));
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const std::string chunk(1 << 20, 'x');
        for (int i = 0; i < 17; ++i) std::fwrite(chunk.data(), 1, chunk.size(), f);
        std::fputs("\r\nnext\r\n", f);
        std::fclose(f);
    }
    ASSERT_EQ(fio::open_old(40, path.string()), 0);
    std::string line;
    EXPECT_EQ(fio::read_line_status(40, line), fio::LineStatus::TooLong);
    EXPECT_EQ(line.size(), fio::kMaxLineBytes);
    EXPECT_EQ(fio::read_line_status(40, line), fio::LineStatus::Ok);
    EXPECT_EQ(line, "next");  // the carriage return that ends it is not part of it
    EXPECT_EQ(fio::read_line_status(40, line), fio::LineStatus::End);
    fio::close(40);
    fs::remove(path);
}

TEST(EndlessLine, LongCommandLineIsACountedErrorAndTheNextLineIsRead) {
    klip::comlu[1] = 6;
    klip::comlu[2] = klip::comlu[3] = 5;
    fio::stdin_from_string(std::string(fio::kMaxLineBytes + 1, 'A') + "\nEXIT\r\n");
    fio::capture_begin();
    const int32_t before = klip::cisyn.NERR;
    klip::lire();
    fio::capture_end();
    EXPECT_EQ(klip::indic.INDERR, 0);
    EXPECT_EQ(klip::cisyn.NERR, before + 1);
    EXPECT_EQ(klip::ccsyn.BUF.view().substr(0, 5), "EXIT ");
    fio::stdin_from_string("");
}

}  // namespace
