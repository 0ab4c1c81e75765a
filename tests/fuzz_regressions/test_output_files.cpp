// Output files that cannot be written completely. A run whose spectra or dynamic-run file
// could not be written in full must say so (an error is reported and counted) instead of
// reporting success over a cut file.
#include <gtest/gtest.h>

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
    EXPECT_EQ(klip::cisyn.NERR, 1);
}

}  // namespace
