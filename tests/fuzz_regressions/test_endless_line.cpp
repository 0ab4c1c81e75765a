// A file without line ends that never finishes (a device such as /dev/zero or a pipe that
// keeps writing), named as a command file with BIBLI or as a data file at CA: the line
// reader keeps every character of the line it is reading, so zot neither ends nor stops
// growing. Found by hand while reviewing the fuzz targets. Enable with the fix: a line longer
// than the text layer accepts must end the read as a read error.
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
