// Output files that cannot be written completely. A run whose spectra or dynamic-run file
// could not be written in full must say so (an error is reported and counted) instead of
// reporting success over a cut file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "driver/run.hpp"
#include "driver/sim.hpp"
#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"
#include "tables/model.hpp"

namespace {

class OutputFiles : public ::testing::Test {
protected:
    void SetUp() override {
        driver::reset_process();
        klip::standard_units();
        klip::ierrfd(klip::pad(ZOT_SOURCE_DIR "/data/synerr", 50), klip::pad("zotmer", 50));
        klip::inisyn();
        tables::tablam.NVA = 1;
        fio::capture_begin();
    }
    void TearDown() override { fio::capture_end(); }
};

// /dev/full accepts the open and refuses every write (no space left on the device).
TEST_F(OutputFiles, SpectraFileOnAFullDeviceIsReported) {
    driver::run.filspc.set("/dev/full");
    driver::write_spectra_file();
    EXPECT_EQ(klip::cisyn.NERR, 1);
}

TEST_F(OutputFiles, DynamicRunFileOnAFullDeviceIsReported) {
    driver::run.fildes.set("/dev/full");
    driver::write_dynamic_header();
    fio::flush(driver::setup.ludes);  // as after every time step
    driver::close_dynamic_file();
    EXPECT_EQ(klip::cisyn.NERR, 1);
    // The reason is the one of the write that failed (ENOSPC), not a bare I/O error.
    EXPECT_NE(fio::capture_end().find(" I/O STATUS :           28 "), std::string::npos);
}

// The spectra file through links, on a failed write and with two runs writing it at once.
class SpectraFile : public OutputFiles {
protected:
    void SetUp() override {
        OutputFiles::SetUp();
        ASSERT_NE(getcwd(home_, sizeof home_), nullptr);
        char tmpl[] = "/tmp/zot-spectra-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        ASSERT_EQ(chdir(tmpl), 0);
        mkdir("keep", 0755);
        driver::run.filspc.set("spc");
    }
    void TearDown() override {
        ASSERT_EQ(chdir(home_), 0);
        std::filesystem::remove_all(dir_);
        OutputFiles::TearDown();
    }
    static std::string slurp(const char* name) {
        std::ifstream in(name, std::ios::binary);
        std::ostringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static std::set<std::string> listing(const char* d) {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(d))
            names.insert(e.path().filename());
        return names;
    }
    char home_[PATH_MAX];
    std::string dir_;
};

TEST_F(SpectraFile, ALinkIsFollowedAndTheFileReplacedWhole) {
    std::ofstream("keep/spectra.dat") << "earlier\n";
    ASSERT_EQ(symlink("keep/spectra.dat", "spc"), 0);
    driver::write_spectra_file();
    EXPECT_EQ(klip::cisyn.NERR, 0);
    EXPECT_TRUE(std::filesystem::is_symlink("spc"));
    const std::string text = slurp("keep/spectra.dat");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + driver::kSpectrumBins);
    EXPECT_EQ(listing("keep"), std::set<std::string>{"spectra.dat"});
    EXPECT_EQ(listing("."), (std::set<std::string>{"keep", "spc"}));
    // A loop of links is an open failure; the rename used to replace one of the links.
    std::filesystem::remove("spc");
    ASSERT_EQ(symlink("loop", "spc"), 0);
    ASSERT_EQ(symlink("spc", "loop"), 0);
    driver::write_spectra_file();
    EXPECT_EQ(klip::cisyn.NERR, 1);
    EXPECT_TRUE(std::filesystem::is_symlink("spc"));
}

TEST_F(SpectraFile, AFailedWriteKeepsTheEarlierFile) {
    std::ofstream("spc") << "earlier\n";
    // A file-size limit, with its signal ignored, makes the write fail as a full disk would.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    auto old_handler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    driver::write_spectra_file();
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, old_handler);
    EXPECT_EQ(klip::cisyn.NERR, 1);
    EXPECT_NE(fio::capture_end().find("FICHIER : spc"), std::string::npos);
    fio::capture_begin();
    EXPECT_EQ(slurp("spc"), "earlier\n");
    EXPECT_EQ(listing("."), (std::set<std::string>{"keep", "spc"}));
}

// Two runs write the same spectra name over and over: every write succeeds, and whoever
// reads the file at any moment finds one run's complete file.
TEST_F(SpectraFile, RunsSharingTheNameNeverMixTheirFiles) {
    std::string whole[2];
    for (int k = 0; k < 2; ++k) {
        driver::spectra.spent[0] = k + 1;
        driver::write_spectra_file();
        whole[k] = slurp("spc");
    }
    ASSERT_NE(whole[0], whole[1]);
    pid_t child[2];
    for (int k = 0; k < 2; ++k) {
        child[k] = fork();
        if (child[k] == 0) {
            driver::spectra.spent[0] = k + 1;
            for (int n = 0; n < 150; ++n) driver::write_spectra_file();
            _exit(klip::cisyn.NERR == 0 ? 0 : 1);
        }
        ASSERT_GT(child[k], 0);
    }
    int mixed = 0, reads = 0;
    for (int alive = 2; alive > 0;) {
        const std::string now = slurp("spc");
        ++reads;
        if (now != whole[0] && now != whole[1]) ++mixed;
        alive = 0;
        for (int k = 0; k < 2; ++k) alive += waitpid(child[k], nullptr, WNOHANG) == 0 ? 1 : 0;
        if (alive == 0) break;
    }
    EXPECT_EQ(mixed, 0) << "of " << reads << " reads";
    for (int k = 0; k < 2; ++k) {
        int st = 0;
        waitpid(child[k], &st, 0);
        EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0)
            << "run " << k << " reported a failed write";
    }
    EXPECT_EQ(listing("."), (std::set<std::string>{"keep", "spc"}));
}

}  // namespace
