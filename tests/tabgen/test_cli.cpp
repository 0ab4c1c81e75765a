// The tabgen program: files written whole or not at all, messages naming the field,
// repeatable output.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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
        const std::string cmd = std::string(TABGEN_EXE) + " -o " + (dir_ / "out").string() + " " + args + " > " +
                                (dir_ / "stdout").string() + " 2> " + (dir_ / "stderr").string();
        const int st = std::system(cmd.c_str());
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    std::string write_mat(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name) << text;
        return (dir_ / name).string();
    }
    std::string gaas() const { return std::string(ZOT_SOURCE_DIR) + "/examples/materials/gaas.mat"; }
    fs::path dir_;
};

}  // namespace

TEST_F(Cli, WritesTableAndCatalogueAndRepeatsThemByteForByte) {
    ASSERT_EQ(run(gaas()), 0) << slurp(dir_ / "stderr");
    const std::string first = slurp(dir_ / "out/GAAS_E-bin");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(slurp(dir_ / "out/replam"), "GAAS_E          GAAS             300.    E     1.0000E+14\n");
    ASSERT_EQ(run(gaas()), 0);
    EXPECT_EQ(slurp(dir_ / "out/GAAS_E-bin"), first);
    // The catalogue line is replaced, not repeated.
    EXPECT_EQ(slurp(dir_ / "out/replam"), "GAAS_E          GAAS             300.    E     1.0000E+14\n");
    // Nothing but the two files is left behind.
    int n = 0;
    for (auto& e : fs::directory_iterator(dir_ / "out")) { (void)e; ++n; }
    EXPECT_EQ(n, 2);
}

TEST_F(Cli, BadInputWritesNothingAndNamesTheField) {
    std::string text = slurp(gaas());
    const size_t p = text.find("mass 0.222");
    ASSERT_NE(p, std::string::npos);
    text.replace(p, 10, "mass -0.222");
    const std::string bad = write_mat("bad.mat", text);
    // Even with a good material before it, nothing is written.
    EXPECT_EQ(run(gaas() + " " + bad), 1);
    EXPECT_NE(slurp(dir_ / "stderr").find("valley L mass: must be above 0"), std::string::npos) << slurp(dir_ / "stderr");
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
    const std::string cmd = std::string(TABGEN_EXE) + " -o " + (dir_ / "none").string() + " " + gaas() + " > /dev/null 2> " +
                            (dir_ / "stderr").string();
    const int st = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(st), 1);
    EXPECT_NE(slurp(dir_ / "stderr").find("cannot write"), std::string::npos);
}
