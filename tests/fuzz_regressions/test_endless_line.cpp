// A file without line ends that never finishes (a device such as /dev/zero or a pipe that
// keeps writing), named as a command file with BIBLI or as a data file at CA: a line longer
// than the text layer accepts ends the read as a read error, instead of zot neither ending
// nor ceasing to grow. The end-to-end cases hang_*_endless_line show the whole program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "klip/fio.hpp"

namespace {

TEST(EndlessLineDeathTest, ReadOfALineWithoutEndFails) {
    EXPECT_EXIT(
        {
            ::alarm(10);  // the fault shows as SIGALRM instead of a hang
            if (fio::open_old(40, "/dev/zero") != 0) ::_exit(3);
            std::string line;
            const bool ok = fio::read_line(40, line);
            ::_exit(ok ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
