// Common set-up of the toolkit tests: fresh shared records, the driver's unit numbers, a
// temporary directory, helpers to capture standard output and to build expected lines.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"

namespace klip_test {

namespace fs = std::filesystem;

inline std::string shipped(const char* name) {
    return std::string(ZOT_SOURCE_DIR) + "/data/" + name;
}

// One line written through ecrire: a blank, then the text cut to 78 columns.
inline std::string ecrit(std::string_view text) {
    return " " + std::string(text.substr(0, text.size() < 78 ? text.size() : 78)) + "\n";
}
// The echo of a command line: BUF is 200 columns, so 78 columns are shown.
inline std::string echo(std::string_view line) { return ecrit(klip::pad(line, 200)); }

class KlipTest : public ::testing::Test {
public:
    fs::path dir;

    void SetUp() override {
        using namespace klip;
        reset_records();
        standard_units();
        ierrfd(shipped("synerr"), shipped("zotmer"));
        fio::stdin_from_string("");
        char tmpl[] = "/tmp/klip_test_XXXXXX";
        dir = fs::path(mkdtemp(tmpl));
    }

    void TearDown() override {
        fio::capture_end();
        for (int u = 7; u <= 30; ++u) fio::close(u);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // Make BUF hold one command line, ready for field reads.
    static void line(std::string_view text) {
        klip::ccsyn.BUF.set(text);
        klip::cisyn.IPTR = 1;
        klip::indic.INDERR = 0;
    }

    std::string file(const std::string& name, const std::string& content) const {
        fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << content;
        return p.string();
    }

    template <class F> static std::string captured(F&& f) {
        fio::capture_begin();
        f();
        return fio::capture_end();
    }
};

}  // namespace klip_test
