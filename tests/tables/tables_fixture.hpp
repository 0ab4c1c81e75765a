// Common set-up of the material-table tests: a fresh working directory, the standard
// units, message files that cannot be opened (so a reported error prints its fallback
// line "ERREUR" and the code), an empty model and captured standard output.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "tables/tables.hpp"

namespace tables_test {

inline std::string data_file(const std::string& name) {
    return std::string(ZOT_TEST_DATA) + "/tables/" + name;
}

inline void reset_model() { tables::reset_records(); }

// The fallback line of a reported error whose message file cannot be opened.
inline std::string error_line(int code) { return fio::format("('ERREUR',I12)", {int32_t{code}}); }

class TablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zot-tables-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        klip::reset_records();
        klip::standard_units();
        klip::ierrfd("absent-synerr", "absent-zotmer");
        reset_model();
        fio::capture_begin();
    }
    void TearDown() override {
        fio::capture_end();
        klip::debug.level = 0;
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }
    // Standard output written since the last call.
    std::string take() {
        std::string s = fio::capture_end();
        fio::capture_begin();
        return s;
    }
    static void write(const std::string& name, const std::string& text) {
        std::ofstream(name, std::ios::binary) << text;
    }
    static void write_lines(const std::string& name, const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& l : lines) text += l + "\n";
        write(name, text);
    }

    std::filesystem::path dir_;
    std::filesystem::path old_;
};

}  // namespace tables_test
