// The surroundings every driver test starts from: a fresh temporary working directory, the
// units and message files of a started program, and cleared run parameters.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "driver/run.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"

namespace drivertest {

// Makes and enters a directory named after the running test; returns it.
inline std::filesystem::path enter_test_dir(const std::string& prefix) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path()
                         / (prefix + std::to_string(::getpid()) + "_"
                            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
    return dir;
}

// The records of a fresh process, with the units and message files of a started program.
inline void reset_program() {
    driver::reset_process();
    klip::standard_units();
    klip::ierrfd(ZOT_SOURCE_DIR "/data/synerr", ZOT_SOURCE_DIR "/data/zotmer");
}

}  // namespace drivertest
