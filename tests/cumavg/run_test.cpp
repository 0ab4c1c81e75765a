// cumavg as a whole, run in a scratch directory.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "cumavg.hpp"

namespace {

class CumavgRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getcwd(home_, sizeof home_), nullptr);
        char pattern[] = "/tmp/cumavg_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_EQ(chdir(dir_.c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(home_), 0);
        std::string cmd = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }

    // Runs cumavg with `answer` typed at the prompt; keeps its two output streams.
    int run(const std::string& answer, const char* out_name = nullptr) {
        std::FILE* in = std::tmpfile();
        std::FILE* out = out_name != nullptr ? std::fopen(out_name, "w") : std::tmpfile();
        std::FILE* err = std::tmpfile();
        std::fputs(answer.c_str(), in);
        std::rewind(in);
        const int status = cumavg::run(in, out, err);
        stdout_ = out_name != nullptr ? (std::fclose(out), "") : drain(out);
        stderr_ = drain(err);
        std::fclose(in);
        return status;
    }

    static std::string drain(std::FILE* f) {
        std::rewind(f);
        std::string text;
        for (int c = std::getc(f); c != EOF; c = std::getc(f)) text += static_cast<char>(c);
        std::fclose(f);
        return text;
    }

    static void write(const char* name, const std::string& text) {
        std::ofstream(name, std::ios::binary) << text;
    }
    static std::string read(const char* name) {
        std::ifstream f(name, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    static std::set<std::string> listing() {
        std::set<std::string> names;
        DIR* d = opendir(".");
        while (dirent* e = readdir(d)) names.insert(e->d_name);
        closedir(d);
        return names;
    }

    static constexpr const char* kHeader = "  iteration Moyenne_Cumulee\n";
    char home_[PATH_MAX];
    std::string dir_;
    std::string stdout_;
    std::string stderr_;
};

TEST_F(CumavgRun, WritesTheRunningMeansAndReplacesALongerFile) {
    write("avirer", "1\n2\n3\n4\n");
    write("MoyMobilCumul.txt",
          std::string(kHeader) + std::string(40, 'x') + "\nold\nold\nold\nold\nold\n");
    chmod("MoyMobilCumul.txt", 0640);
    EXPECT_EQ(run("4\n"), 0);
    EXPECT_EQ(stdout_, " Nb de donnees\n");
    EXPECT_EQ(stderr_, "");
    EXPECT_EQ(read("MoyMobilCumul.txt"), std::string(kHeader) +
                                             "   1    1.00000\n"
                                             "   2    1.50000\n"
                                             "   3    2.00000\n"
                                             "   4    2.50000\n");
    struct stat st;
    ASSERT_EQ(stat("MoyMobilCumul.txt", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(listing(), (std::set<std::string>{".", "..", "avirer", "MoyMobilCumul.txt"}));
}

TEST_F(CumavgRun, OverflowingSumsGiveInfinity) {
    write("avirer", "3e38\n3e38\n-1\n");
    EXPECT_EQ(run("3\n"), 0);
    EXPECT_EQ(read("MoyMobilCumul.txt"), std::string(kHeader) +
                                             "   1    3.00000E+38\n"
                                             "   2       Infinity\n"
                                             "   3       Infinity\n");
}

// Every failure: status 2, a message, and the directory exactly as it was.
TEST_F(CumavgRun, FailuresLeaveThePreviousOutputAlone) {
    struct Case {
        const char* answer;
        const char* avirer;  // nullptr: no file
        const char* message;
    };
    const Case cases[] = {
        {"abc\n", "1\n", " cumavg : nombre de donnees illisible : abc\n"},
        {"2.0\n", "1\n2\n", " cumavg : nombre de donnees illisible : 2.0\n"},
        {"99999999999\n", "1\n", " cumavg : nombre de donnees illisible : 99999999999\n"},
        {"\n  \n", "1\n", " cumavg : nombre de donnees absent (fin de l'entree)\n"},
        {"1\n", nullptr, " cumavg : ouverture de avirer impossible : No such file or directory\n"},
        {"3\n", "1\n\n2\n", " cumavg : avirer ne contient que  2 valeurs sur  3\n"},
        {"3\n", "1\n2\n1.5e\n", " cumavg : avirer, ligne  3 : valeur illisible : 1.5e\n"},
        {"2\n", "1\n1e40\n", " cumavg : avirer, ligne  2 : valeur illisible : 1e40\n"},
    };
    const std::string previous = std::string(kHeader) + "   1    9.00000\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        unlink("avirer");
        if (c.avirer != nullptr) write("avirer", c.avirer);
        write("MoyMobilCumul.txt", previous);
        const auto before = listing();
        EXPECT_EQ(run(c.answer), cumavg::kFailure);
        EXPECT_EQ(stderr_, c.message);
        EXPECT_EQ(read("MoyMobilCumul.txt"), previous);
        EXPECT_EQ(listing(), before);
    }
}

TEST_F(CumavgRun, ALinkedOutputFileIsUpdatedThroughTheLink) {
    ASSERT_EQ(mkdir("keep", 0755), 0);
    write("keep/means.txt", "old\nold\nold\n");
    ASSERT_EQ(symlink("keep/means.txt", "MoyMobilCumul.txt"), 0);
    write("avirer", "2\n");
    EXPECT_EQ(run("1\n"), 0);
    struct stat st;
    ASSERT_EQ(lstat("MoyMobilCumul.txt", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(read("keep/means.txt"), std::string(kHeader) + "   1    2.00000\n");
}

// A link to a file not there yet, or to a FIFO or a device, used to be replaced by a plain
// file (as root, a link to /dev/full replaced the device).
TEST_F(CumavgRun, AnOutputLinkIsKeptWhereverItLeads) {
    write("avirer", "2\n");
    ASSERT_EQ(symlink("later.txt", "MoyMobilCumul.txt"), 0);
    EXPECT_EQ(run("1\n"), 0);
    EXPECT_EQ(read("later.txt"), std::string(kHeader) + "   1    2.00000\n");
    unlink("MoyMobilCumul.txt");
    ASSERT_EQ(mkfifo("pipe", 0644), 0);
    ASSERT_EQ(symlink("pipe", "MoyMobilCumul.txt"), 0);
    EXPECT_EQ(run("1\n"), cumavg::kFailure);  // no reader: refused, not waited for
    EXPECT_NE(stderr_.find("No such device or address"), std::string::npos) << stderr_;
    const int reader = open("pipe", O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(run("1\n"), 0);
    char buf[256] = {};
    EXPECT_EQ(::read(reader, buf, sizeof buf - 1), 44);
    EXPECT_EQ(std::string(buf), std::string(kHeader) + "   1    2.00000\n");
    close(reader);
    struct stat st;
    ASSERT_EQ(stat("MoyMobilCumul.txt", &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // A loop of links is refused; the rename would replace one of them.
    unlink("MoyMobilCumul.txt");
    ASSERT_EQ(symlink("loop", "MoyMobilCumul.txt"), 0);
    ASSERT_EQ(symlink("MoyMobilCumul.txt", "loop"), 0);
    EXPECT_EQ(run("1\n"), cumavg::kFailure);
    ASSERT_EQ(lstat("MoyMobilCumul.txt", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(CumavgRun, APromptThatCannotBeWrittenChangesNothing) {
    write("avirer", "2\n");
    write("MoyMobilCumul.txt", "kept\n");
    EXPECT_EQ(run("1\n", "/dev/full"), cumavg::kFailure);
    EXPECT_EQ(stderr_,
              " cumavg : ecriture de la sortie standard impossible : No space left on device\n");
    EXPECT_EQ(read("MoyMobilCumul.txt"), "kept\n");
}

// A count that has not come yet on a terminal left non-blocking used to be a read error.
TEST_F(CumavgRun, ANonBlockingInputIsWaitedFor) {
    write("avirer", "2\n");
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    fcntl(p[0], F_SETFL, fcntl(p[0], F_GETFL) | O_NONBLOCK);
    const pid_t writer = fork();
    if (writer == 0) {
        usleep(200000);
        _exit(::write(p[1], "1\n", 2) == 2 ? 0 : 1);
    }
    close(p[1]);
    std::FILE* in = fdopen(p[0], "r");
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(cumavg::run(in, out, out), 0);
    std::fclose(in);
    std::fclose(out);
    waitpid(writer, nullptr, 0);
    EXPECT_EQ(read("MoyMobilCumul.txt"), std::string(kHeader) + "   1    2.00000\n");
}

TEST_F(CumavgRun, AnOutputDirectoryIsRefusedWithoutLeftovers) {
    ASSERT_EQ(mkdir("MoyMobilCumul.txt", 0755), 0);
    write("avirer", "2\n");
    const auto before = listing();
    EXPECT_EQ(run("1\n"), cumavg::kFailure);
    EXPECT_NE(stderr_.find("ecriture de MoyMobilCumul.txt impossible"), std::string::npos);
    EXPECT_EQ(listing(), before);
}

TEST_F(CumavgRun, AProtectedOutputFileIsNotReplaced) {
    if (geteuid() == 0) GTEST_SKIP() << "write protection does not apply to root";
    write("avirer", "2\n");
    write("MoyMobilCumul.txt", "kept\n");
    chmod("MoyMobilCumul.txt", 0444);
    EXPECT_EQ(run("1\n"), cumavg::kFailure);
    EXPECT_EQ(read("MoyMobilCumul.txt"), "kept\n");
}

// Nothing read can grow or wait without end: a device, a FIFO without writer, a folder and a
// line over 16 MiB are refused, with the previous output left alone.
TEST_F(CumavgRun, EndlessAndNonRegularInputsAreRefused) {
    const std::string previous = std::string(kHeader) + "   1    9.00000\n";
    const std::string blanks(17 << 20, ' ');
    struct Case {
        const char* what;
        std::string answer;
        const char* message;
    };
    const Case cases[] = {
        {"device", "1\n",
         " cumavg : ouverture de avirer impossible : n'est pas un fichier ordinaire\n"},
        {"fifo", "1\n",
         " cumavg : ouverture de avirer impossible : n'est pas un fichier ordinaire\n"},
        {"folder", "1\n", " cumavg : ouverture de avirer impossible : Is a directory\n"},
        {"long line", "2\n", " cumavg : avirer, ligne  1 : ligne de plus de 16 Mio\n"},
        {"long answer", blanks + "\n",
         " cumavg : nombre de donnees illisible : ligne de plus de 16 Mio\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::system("rm -rf avirer");
        const std::string what = c.what;
        if (what == "device") {
            ASSERT_EQ(symlink("/dev/zero", "avirer"), 0);
        }
        if (what == "fifo") {
            ASSERT_EQ(mkfifo("avirer", 0644), 0);
        }
        if (what == "folder") {
            ASSERT_EQ(mkdir("avirer", 0755), 0);
        }
        if (what == "long line") write("avirer", "1" + blanks + "\n2\n");
        if (what == "long answer") write("avirer", "1\n");
        write("MoyMobilCumul.txt", previous);
        const auto before = listing();
        EXPECT_EQ(run(c.answer), cumavg::kFailure);
        EXPECT_EQ(stderr_, c.message);
        EXPECT_EQ(read("MoyMobilCumul.txt"), previous);
        EXPECT_EQ(listing(), before);
    }
}

// Stopped while writing, cumavg removes its temporary file and ends by the signal.
TEST_F(CumavgRun, ATerminatedRunLeavesNoTemporaryFile) {
    // One value, then 64 MiB of empty lines to read past before the second one.
    write("avirer", "1\n" + std::string(64 << 20, '\n') + "2\n");
    write("MoyMobilCumul.txt", "kept\n");
    const auto before = listing();
    const pid_t child = fork();
    if (child == 0) {
        std::FILE* in = std::tmpfile();
        std::fputs("2\n", in);
        std::rewind(in);
        std::FILE* devnull = std::fopen("/dev/null", "w");
        _exit(cumavg::run(in, devnull, devnull));
    }
    ASSERT_GT(child, 0);
    bool seen = false;
    for (int i = 0; i < 20000 && !seen; ++i) {
        for (const auto& name : listing()) seen = seen || name.rfind(".MoyMobilCumul.txt.", 0) == 0;
        if (!seen) usleep(500);
    }
    kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(seen);
    ASSERT_TRUE(WIFSIGNALED(status)) << "cumavg ended before the signal: make avirer longer";
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(listing(), before);
    EXPECT_EQ(read("MoyMobilCumul.txt"), "kept\n");
}

}  // namespace
