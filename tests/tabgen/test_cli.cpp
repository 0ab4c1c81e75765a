// The tabgen program: files written whole or not at all, messages naming the field,
// repeatable output.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tabgen-cli-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        fs::create_directory(dir_ / "out");
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs tabgen on the given materials into dir_/out; returns the exit status.
    int run(const std::string& args) {
        const std::string cmd = "timeout 60 " + std::string(TABGEN_EXE) + " -o "
                                + (dir_ / "out").string() + " " + args + " > "
                                + (dir_ / "stdout").string() + " 2> " + (dir_ / "stderr").string();
        const int st = std::system(cmd.c_str());
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    // Runs tabgen with exactly these arguments; standard output to `out` when given.
    int raw(const std::string& args, const std::string& out = "") {
        const std::string cmd = "timeout 60 " + std::string(TABGEN_EXE) + " " + args + " >"
                                + (out.empty() ? (dir_ / "stdout").string() : out) + " 2> "
                                + (dir_ / "stderr").string();
        const int st = std::system(cmd.c_str());
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    std::string write_mat(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name) << text;
        return (dir_ / name).string();
    }
    std::string gaas() const {
        return std::string(ZOT_SOURCE_DIR) + "/examples/materials/gaas.mat";
    }
    fs::path dir_;
};

}  // namespace

TEST_F(Cli, WritesTableAndCatalogueAndRepeatsThemByteForByte) {
    ASSERT_EQ(run(gaas()), 0) << slurp(dir_ / "stderr");
    const std::string first = slurp(dir_ / "out/GAAS_E-bin");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(slurp(dir_ / "out/replam"),
              "GAAS_E          GAAS             300.    E     1.0000E+14\n");
    ASSERT_EQ(run(gaas()), 0);
    EXPECT_EQ(slurp(dir_ / "out/GAAS_E-bin"), first);
    // The catalogue line is replaced, not repeated.
    EXPECT_EQ(slurp(dir_ / "out/replam"),
              "GAAS_E          GAAS             300.    E     1.0000E+14\n");
    // Nothing but the two files and the repository's lock file is left behind.
    std::set<std::string> names;
    for (auto& e : fs::directory_iterator(dir_ / "out")) names.insert(e.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"GAAS_E-bin", "replam", "replam.lock"}));
}

TEST_F(Cli, BadInputWritesNothingAndNamesTheField) {
    std::string text = slurp(gaas());
    const size_t p = text.find("mass 0.222");
    ASSERT_NE(p, std::string::npos);
    text.replace(p, 10, "mass -0.222");
    const std::string bad = write_mat("bad.mat", text);
    // Even with a good material before it, nothing is written.
    EXPECT_EQ(run(gaas() + " " + bad), 1);
    EXPECT_NE(slurp(dir_ / "stderr").find("valley L mass: must be above 0"), std::string::npos)
        << slurp(dir_ / "stderr");
    EXPECT_TRUE(fs::is_empty(dir_ / "out"));
    // Files already there are left as they were.
    ASSERT_EQ(run(gaas()), 0);
    const std::string before = slurp(dir_ / "out/GAAS_E-bin");
    EXPECT_EQ(run(bad), 1);
    EXPECT_EQ(slurp(dir_ / "out/GAAS_E-bin"), before);
}

TEST_F(Cli, MissingFilesAndUsage) {
    EXPECT_EQ(run((dir_ / "nothing.mat").string()), 1);
    EXPECT_NE(slurp(dir_ / "stderr").find("cannot open"), std::string::npos);
    EXPECT_EQ(run(""), 2);
    EXPECT_NE(slurp(dir_ / "stderr").find("usage"), std::string::npos);
    // An output folder that does not exist: message, no crash.
    const std::string cmd = std::string(TABGEN_EXE) + " -o " + (dir_ / "none").string() + " "
                            + gaas() + " > /dev/null 2> " + (dir_ / "stderr").string();
    const int st = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(st), 1);
    EXPECT_NE(slurp(dir_ / "stderr").find("No such file or directory"), std::string::npos);
}

TEST_F(Cli, CommandLineMistakesAreNamedAndWriteNothing) {
    const std::string out = (dir_ / "out").string();
    const struct {
        std::string args, message;
    } cases[] = {
        {"-o", "option -o: the repository folder is missing"},
        {"-o " + out + " -o " + out + " " + gaas(), "option -o given twice"},
        {"-o '' " + gaas(),
         "option -o: the repository folder name is empty"},  // it would be "/replam"
        {"-x " + gaas(), "unknown option -x"},
        {"-o " + out, "no material description given"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(raw(c.args), 2) << c.args;
        EXPECT_NE(slurp(dir_ / "stderr").find("tabgen: " + c.message), std::string::npos)
            << slurp(dir_ / "stderr");
    }
    EXPECT_TRUE(fs::is_empty(dir_ / "out"));
    EXPECT_EQ(raw("--help"), 0);
    EXPECT_EQ(slurp(dir_ / "stdout").rfind("usage: tabgen", 0), 0u);
    // After "--" a name beginning with '-' is a file.
    EXPECT_EQ(raw("-o " + out + " -- -o"), 1);
    EXPECT_NE(slurp(dir_ / "stderr").find("tabgen: -o: cannot open"), std::string::npos);
    EXPECT_EQ(raw("-o " + out + " -- " + gaas()), 0);
}

TEST_F(Cli, StandardOutputThatCannotBeWrittenIsAFailure) {
    const std::string args = "-o " + (dir_ / "out").string() + " " + gaas();
    EXPECT_EQ(raw(args, "/dev/full"), 1);
    EXPECT_NE(slurp(dir_ / "stderr").find("cannot write standard output: No space left on device"),
              std::string::npos);
    EXPECT_EQ(raw(args, "&-"), 1);
    EXPECT_NE(slurp(dir_ / "stderr").find("cannot write standard output: Bad file descriptor"),
              std::string::npos);
    EXPECT_EQ(slurp(dir_ / "out/replam"),
              "GAAS_E          GAAS             300.    E     1.0000E+14\n");
}

// The repository as a shared database: what used to be lost or corrupted while tabgen
// reported success.
TEST_F(Cli, ACatalogueThatCannotBeReadChangesNothing) {
    const fs::path out = dir_ / "out";
    fs::create_directory(out / "replam");
    EXPECT_EQ(run(gaas()), 1);
    EXPECT_NE(slurp(dir_ / "stderr").find("replam: cannot read the catalogue: Is a directory"),
              std::string::npos)
        << slurp(dir_ / "stderr");
    EXPECT_FALSE(fs::exists(out / "GAAS_E-bin"));
    fs::remove(out / "replam");
    // A FIFO no one writes to is refused at once, not waited for.
    ASSERT_EQ(mkfifo((out / "replam").c_str(), 0644), 0);
    EXPECT_EQ(run(gaas()), 1);
    EXPECT_NE(slurp(dir_ / "stderr").find("not a regular file"), std::string::npos);
    EXPECT_FALSE(fs::exists(out / "GAAS_E-bin"));
}

TEST_F(Cli, DescriptionsThatWouldReplaceEachOtherAreRefusedBeforeWriting) {
    std::string text = slurp(gaas());
    text.replace(text.find("doping          1e14"), 20, "doping          1e17");
    const std::string second = write_mat("second.mat", text);
    EXPECT_EQ(run(gaas() + " " + second), 1);
    EXPECT_NE(slurp(dir_ / "stderr").find("the same table name (GAAS_E)"), std::string::npos)
        << slurp(dir_ / "stderr");
    EXPECT_TRUE(fs::is_empty(dir_ / "out"));
    // Different table names, but a run could only ever find one of them.
    const std::string renamed =
        write_mat("renamed.mat", std::regex_replace(slurp(gaas()), std::regex("GAAS_E"), "GAASNW"));
    EXPECT_EQ(run(gaas() + " " + renamed), 1);
    EXPECT_NE(slurp(dir_ / "stderr").find("the same material, carrier, temperature and doping"),
              std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir_ / "out"));
}

TEST_F(Cli, ARebuildUnderANewTableNameTakesTheOldLinesPlace) {
    const std::string other = "SI_E            SI               300.    E     1.0000E+14\n";
    std::ofstream(dir_ / "out/replam")
        << "GAASOL          GAAS             300.    E     1.0000E+14\r\n"
        << other;
    ASSERT_EQ(run(gaas()), 0);
    EXPECT_EQ(slurp(dir_ / "out/replam"),
              "GAAS_E          GAAS             300.    E     1.0000E+14\n" + other);
    EXPECT_NE(slurp(dir_ / "stderr").find("table GAASOL for the same material"), std::string::npos);
}

TEST_F(Cli, ConcurrentRunsWaitForTheLockAndKeepEachOthersLines) {
    // The test holds the lock as another tabgen would: it reads the catalogue, waits, and
    // writes it back with its own line. A run not taking the lock would be overwritten.
    const fs::path out = dir_ / "out";
    std::ofstream(out / "replam") << "SI_E            SI               300.    E     1.0000E+14\n";
    const std::string holder = "cd " + out.string() +
                               " && flock replam.lock sh -c 'cp replam snap; touch held; sleep 2; "
                               "(cat snap; echo \"INP_E           INP              300.    E     1.0000E+14\") > "
                               "new && mv new replam' &";
    ASSERT_EQ(std::system(holder.c_str()), 0);
    for (int i = 0; i < 500 && !fs::exists(out / "held"); ++i) usleep(10000);
    ASSERT_TRUE(fs::exists(out / "held"));
    ASSERT_EQ(run(gaas()), 0);
    EXPECT_NE(slurp(dir_ / "stderr").find("another tabgen is updating this repository; waiting"),
              std::string::npos);
    const std::string cat = slurp(out / "replam");
    EXPECT_NE(cat.find("SI_E "), std::string::npos) << cat;
    EXPECT_NE(cat.find("INP_E "), std::string::npos) << cat;
    EXPECT_NE(cat.find("GAAS_E "), std::string::npos) << cat;
}

TEST_F(Cli, LinkedCatalogueAndTableAreReplacedAtTheirTargets) {
    const fs::path shared = dir_ / "shared";
    fs::create_directory(shared);
    std::ofstream(shared / "replam")
        << "SI_E            SI               300.    E     1.0000E+14\n";
    std::ofstream(shared / "gaas-table") << "old";
    fs::create_symlink("../shared/replam", dir_ / "out/replam");
    fs::create_symlink(shared / "gaas-table", dir_ / "out/GAAS_E-bin");
    ASSERT_EQ(run(gaas()), 0) << slurp(dir_ / "stderr");
    EXPECT_TRUE(fs::is_symlink(dir_ / "out/replam"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "out/GAAS_E-bin"));
    EXPECT_NE(slurp(shared / "replam").find("SI_E "), std::string::npos);
    EXPECT_NE(slurp(shared / "replam").find("GAAS_E "), std::string::npos);
    EXPECT_GT(fs::file_size(shared / "gaas-table"), 1000u);
    std::set<std::string> names;
    for (auto& e : fs::directory_iterator(shared)) names.insert(e.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"gaas-table", "replam", "replam.lock"}));
}

TEST_F(Cli, ATargetThatIsNotAPlainFileStopsTheRunBeforeAnyReplacement) {
    // A folder under the second table's name: the first table used to be replaced already
    // while the message said that nothing was.
    ASSERT_EQ(run(gaas()), 0);
    const std::string table = slurp(dir_ / "out/GAAS_E-bin"), cat = slurp(dir_ / "out/replam");
    std::string text = slurp(gaas());
    text.replace(text.find("temperature     300"), 19, "temperature     77 ");
    const std::string cold = write_mat("cold.mat", text);
    const std::string si = std::string(ZOT_SOURCE_DIR) + "/examples/materials/si.mat";
    fs::create_directory(dir_ / "out/SILI_E-bin");
    EXPECT_EQ(run(cold + " " + si), 1);
    EXPECT_NE(slurp(dir_ / "stderr")
                  .find("SILI_E-bin is a folder; remove or rename it; nothing "
                        "was replaced"),
              std::string::npos)
        << slurp(dir_ / "stderr");
    EXPECT_EQ(slurp(dir_ / "out/GAAS_E-bin"), table);
    EXPECT_EQ(slurp(dir_ / "out/replam"), cat);
    // A link to a FIFO (or a device) is not replaced by a plain file.
    ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0644), 0);
    fs::remove(dir_ / "out/GAAS_E-bin");
    fs::create_symlink(dir_ / "fifo", dir_ / "out/GAAS_E-bin");
    EXPECT_EQ(run(gaas()), 1);
    EXPECT_NE(slurp(dir_ / "stderr").find("fifo is not a regular file"), std::string::npos);
    EXPECT_TRUE(fs::is_fifo(dir_ / "fifo"));
    EXPECT_EQ(slurp(dir_ / "out/replam"), cat);
    // Nor is a link of a loop.
    fs::remove(dir_ / "out/GAAS_E-bin");
    fs::create_symlink("loop", dir_ / "out/GAAS_E-bin");
    fs::create_symlink("GAAS_E-bin", dir_ / "out/loop");
    EXPECT_EQ(run(gaas()), 1);
    EXPECT_TRUE(fs::is_symlink(dir_ / "out/GAAS_E-bin"));
}

TEST_F(Cli, AWriteProtectedCatalogueIsNotReplaced) {
    if (geteuid() == 0) GTEST_SKIP() << "write protection does not apply to root";
    ASSERT_EQ(run(gaas()), 0);
    const std::string cat = slurp(dir_ / "out/replam");
    fs::permissions(dir_ / "out/replam", fs::perms::owner_read);
    EXPECT_EQ(run(std::string(ZOT_SOURCE_DIR) + "/examples/materials/si.mat"), 1);
    EXPECT_NE(slurp(dir_ / "stderr").find("replam is write-protected"), std::string::npos);
    EXPECT_EQ(slurp(dir_ / "out/replam"), cat);
    EXPECT_FALSE(fs::exists(dir_ / "out/SILI_E-bin"));
}

TEST_F(Cli, EndlessDescriptionsAreRefusedWithinAMemoryLimit) {
    fs::create_symlink("/dev/zero", dir_ / "zero.mat");
    std::ofstream(dir_ / "big.mat") << "material X\n";
    fs::resize_file(dir_ / "big.mat", 64 << 20);  // sparse: nothing written to disk
#if !defined(__SANITIZE_ADDRESS__)
    const std::string limit = "ulimit -v 400000; ";
#else
    const std::string limit;  // the address sanitizer needs its own address space
#endif
    for (const char* f : {"zero.mat", "big.mat"}) {
        const std::string cmd = limit + "timeout 20 " + TABGEN_EXE + " -o "
                                + (dir_ / "out").string() + " " + (dir_ / f).string() + " 2> "
                                + (dir_ / "stderr").string();
        const int st = std::system(("bash -c '" + cmd + "'").c_str());
        EXPECT_EQ(WEXITSTATUS(st), 1) << f;
        EXPECT_NE(slurp(dir_ / "stderr").find(std::string(f) + ": cannot read: "),
                  std::string::npos)
            << slurp(dir_ / "stderr");
    }
    EXPECT_TRUE(fs::is_empty(dir_ / "out"));
}

// Descriptions at other temperatures and dopings give tables that zot finds in the
// catalogue (by material, temperature and doping), loads and runs to the final averages.
TEST_F(Cli, TablesAtOtherTemperaturesAndDopingsRunInZot) {
    struct Case {
        const char *mat, *name, *table, *temp, *doping;
    };
    const Case cases[] = {{"si.mat", "SI", "SI77_E", "77", "1e14"},
                          {"gaas.mat", "GAAS", "GA4H_E", "400", "1e17"},
                          {"gaas.mat", "GAAS", "GA19_E", "300", "1e19"},
                          {"si_hf.mat", "SIHF", "SIHF_E", "300", "1e14"}};
    std::string args, stdin_text;
    fs::create_directory(dir_ / "out" / "run");
    for (const auto& c : cases) {
        std::string text = slurp(std::string(ZOT_SOURCE_DIR) + "/examples/materials/" + c.mat);
        auto set = [&](const std::string& key, const std::string& value) {
            const size_t at = text.find("\n" + key + " ");
            ASSERT_NE(at, std::string::npos) << key;
            text.replace(at + 1, text.find('\n', at + 1) - at - 1, key + " " + value);
        };
        set("table", c.table);
        set("temperature", c.temp);
        set("doping", c.doping);
        args += write_mat(std::string(c.table) + ".mat", text) + " ";
        std::ofstream(dir_ / "out" / "run" / (std::string(c.table) + ".m")) << "0\n1\n"
                                                                            << c.temp << ".\n"
                                                                            << c.name << "\n"
                                                                            << c.doping << "\n";
        stdin_text += std::string("CA\n") + c.table + ".m\nshort\n";
    }
    ASSERT_EQ(run(args), 0) << slurp(dir_ / "stderr");
    // A short run along x (field 20 kV/cm, 200 particles, two steps).
    std::ofstream(dir_ / "out" / "run" / "short")
        << "200\n1\n1\nfield\n20.\n0.\n0.\n0.5\n0.5\n2\n2\n1.0\n-\n0 0\n0\n0 0\n0\n-\nNON\nNON\n";
    for (const char* f : {"synerr", "zotmer", "zothlp"})
        fs::copy_file(std::string(ZOT_SOURCE_DIR) + "/data/" + f, dir_ / "out" / "run" / f);
    std::ofstream(dir_ / "stdin") << stdin_text << "EXIT\n";
    const std::string cmd = "cd " + (dir_ / "out" / "run").string() + " && " + ZOT_EXE + " < "
                            + (dir_ / "stdin").string() + " > " + (dir_ / "zot.out").string()
                            + " 2>&1";
    const int st = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    const std::string out = slurp(dir_ / "zot.out");
    size_t finished = 0;
    for (size_t at = out.find(" 3) Moyennes finales"); at != std::string::npos;
         at = out.find(" 3) Moyennes finales", at + 1))
        ++finished;
    EXPECT_EQ(finished, 4u) << out.substr(0, 3000);
}
