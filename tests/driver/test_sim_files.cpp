// Output files: the noise records, the spectra bins and file layout, and files that
// cannot be opened.
#include <cstring>

#include "test_sim_fixture.hpp"

namespace simtest {
namespace {

using driver::spectra;

class Files : public Sim {};

TEST_F(Files, NoiseRecordsAreSixteenBytesEach) {
    driver::open_noise_file();
    driver::flight.vxi = 1.5f;
    driver::write_noise_record();
    driver::flight.vxi = -2.0e5f;
    driver::write_noise_record();
    driver::close_noise_file();
    const std::string b = read_file("bruit");
    ASSERT_EQ(b.size(), 32u);
    const double want[2] = {1.5, -2.0e5};
    for (int k = 0; k < 2; ++k) {
        int32_t head = 0, tail = 0;
        double v = 0.0;
        std::memcpy(&head, b.data() + 16 * k, 4);
        std::memcpy(&v, b.data() + 16 * k + 4, 8);
        std::memcpy(&tail, b.data() + 16 * k + 12, 4);
        EXPECT_EQ(head, 8);
        EXPECT_EQ(v, want[k]);
        EXPECT_EQ(tail, 8);
    }
}

TEST_F(Files, SpectraBins) {
    table(2);
    tables::bande.ENVAL[2] = 0.3f;
    auto& s = spectra;
    s.delten = 0.01f;
    s.deltv = 1000.0f;
    auto& e = driver::electr;
    auto& f = driver::flight;

    // Energy exactly one bin width: bin 1; at rest: velocity bin 250.
    e.NVI = 1;
    e.ENI = 0.01f;
    f.vxi = f.vyi = f.vzi = 0.0f;
    driver::count_spectra();
    EXPECT_EQ(s.spenv[1][1], 1);
    EXPECT_EQ(s.spent[1], 1);
    EXPECT_EQ(s.spvit[1][250], 1);

    // Valley 2: total energy raised by its bottom; velocity along a field of direction x.
    e.NVI = 2;
    e.ENI = 0.055f;
    f.vxi = -250.9f * 1000.0f;  // scaled value in (-1, 0): truncated to bin 0
    driver::count_spectra();
    EXPECT_EQ(s.spenv[2][5], 1);
    EXPECT_EQ(s.spent[35], 1);
    EXPECT_EQ(s.spvit[2][0], 1);

    // Beyond the bins: not counted, nothing else disturbed.
    e.ENI = 6.0f;
    f.vxi = 3.0e5f;
    driver::count_spectra();
    int64_t total = 0;
    for (int i = 0; i <= 500; ++i) total += s.spent[i] + s.spenv[2][i] + s.spvit[2][i];
    EXPECT_EQ(total, 4);

    // No field: no velocity bin.
    driver::run.champ = 0.0f;
    driver::run.ex = 0.0f;
    e.ENI = 0.01f;
    f.vxi = 0.0f;
    driver::count_spectra();
    EXPECT_EQ(s.spvit[2][250], 0);
    EXPECT_EQ(s.spenv[2][1], 1);

    // A busy bin of a long run goes on counting past 2^24.
    s.spenv[2][1] = int64_t{1} << 24;
    driver::count_spectra();
    EXPECT_EQ(s.spenv[2][1], (int64_t{1} << 24) + 1);
}

TEST_F(Files, NegativeTotalEnergyStopsWithStatus2) {
    table(2);
    tables::bande.ENVAL[1] = 0.5f;
    spectra.delten = 0.01f;
    spectra.deltv = 1000.0f;
    driver::electr.NVI = 2;
    driver::electr.ENI = 0.1f;
    EXPECT_EXIT(driver::count_spectra(), ::testing::ExitedWithCode(2), "");
}

// Fill the grids and a few counts, write the file, return its lines.
std::vector<std::string> spectra_file(int nva) {
    auto& s = spectra;
    for (int i = 0; i <= 500; ++i) {
        s.es[i] = static_cast<float>(i) * 0.01f + 0.005f;
        s.vs[i] = static_cast<float>(i - 250) * 1000.0f * 100.0f;
    }
    s.spent[0] = 12;
    for (int iv = 1; iv <= nva; ++iv) {
        s.spenv[iv][0] = iv;
        s.spvit[iv][0] = 10 * iv;
    }
    driver::run.filspc.set("spectres");
    driver::write_spectra_file();
    std::ifstream in("spectres");
    std::vector<std::string> v;
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
}

TEST_F(Files, SpectraFileWithOneValley) {
    table(1);
    const auto v = spectra_file(1);
    ASSERT_EQ(v.size(), 503u);
    EXPECT_EQ(v[0], "GAAS           1.0000E+17 type N");
    EXPECT_EQ(v[1], " SP.ET. SP.EC.VAL.1 SP.VIT.VAL.1 Energie(eV) Vitesse(cm/s) ");
    EXPECT_EQ(v[2], "  1.20000E+01  1.00000E+00  1.00000E+01  5.00000E-03 -2.50000E+07 ");
    EXPECT_EQ(v[252], "  0.00000E+00  0.00000E+00  0.00000E+00  2.50500E+00  0.00000E+00 ");
}

TEST_F(Files, SpectraFileIsReplacedOnlyWhenComplete) {
    klip::cisyn.NERR = 0;
    table(1);
    {
        std::ofstream old("spectres");
        for (int i = 0; i < 900; ++i) old << "an older and longer spectra file\n";
    }
    EXPECT_EQ(spectra_file(1).size(), 503u);
    EXPECT_FALSE(fs::exists("spectres.part"));  // written beside it, then renamed over it

    // Where the temporary name cannot be made, the file is written in place.
    fs::remove("spectres");
    fs::create_directory("spectres.part");
    EXPECT_EQ(spectra_file(1).size(), 503u);
    EXPECT_TRUE(fs::is_directory("spectres.part"));
    EXPECT_EQ(klip::cisyn.NERR, 0);
}

TEST_F(Files, SpectraFileWithTwoAndFourValleys) {
    table(2);
    auto v = spectra_file(2);
    ASSERT_EQ(v.size(), 503u);
    EXPECT_EQ(
        v[1],
        " SP.ET. SP.EC.VAL.1 SP.EC.VAL.2 SP.VIT.VAL.1 SP.VIT.VAL.2 Energie(eV) Vitesse(cm/s) ");
    EXPECT_EQ(v[2],
              "  1.20000E+01  1.00000E+00  2.00000E+00  1.00000E+01  2.00000E+01  5.00000E-03"
              " -2.50000E+07 ");

    table(4);
    tables::cbande = 'P';
    v = spectra_file(4);
    ASSERT_EQ(v.size(), 503u);
    EXPECT_EQ(v[0], "GAAS           1.0000E+17 type P");
    EXPECT_EQ(v[1],
              " SP.ET. SP.EC.VAL.1 SP.EC.VAL.2 SP.EC.VAL.3 SP.EC.VAL.4 SP.VIT.VAL.1 SP.VIT.VAL.2"
              " SP.VIT.VAL.3 SP.VIT.VAL.4 Energie(eV) Vitesse(cm/s) ");
    // Eleven columns on every data line.
    for (size_t i = 2; i < v.size(); ++i) ASSERT_EQ(v[i].size(), 1u + 11u * 13u) << i;
    EXPECT_EQ(v[502].substr(1 + 9 * 13), " 5.00500E+00  2.50000E+07 ");
}

TEST_F(Files, FileThatCannotBeOpenedIsReportedAndTheRunGoesOn) {
    klip::cisyn.NERR = 0;
    driver::run.filspc.set("nodir/sptr");
    driver::write_spectra_file();
    const auto v = lines_of(output());
    ASSERT_FALSE(v.empty());
    const std::string status = v.back();
    EXPECT_EQ(status.substr(0, 15), "  I/O STATUS : ");
    EXPECT_EQ(status.substr(15, 12), "           2");
    EXPECT_EQ(status.substr(27, 23), " FICHIER : nodir/sptr  ");
    EXPECT_EQ(status.size(), 79u);
    EXPECT_EQ(klip::cisyn.NERR, 1);
    EXPECT_FALSE(fs::exists("nodir"));

    // The noise file likewise: no record is written, nothing fails.
    fs::create_directory("bruit");
    driver::open_noise_file();
    driver::write_noise_record();
    driver::close_noise_file();
    EXPECT_TRUE(fs::is_directory("bruit"));
}

TEST_F(Files, NoiseFileThatCannotBeWrittenIsReported) {
    klip::cisyn.NERR = 0;
    fs::create_symlink("/dev/full", "bruit");  // accepts the open, refuses every write
    driver::open_noise_file();
    driver::flight.vxi = 1.0f;
    driver::write_noise_record();
    driver::close_noise_file();
    EXPECT_EQ(klip::cisyn.NERR, 1);
    const auto v = lines_of(output());
    ASSERT_FALSE(v.empty());
    EXPECT_EQ(v.back().substr(0, 27), "  I/O STATUS :           28");
    EXPECT_TRUE(fs::exists("/dev/full"));
}

}  // namespace
}  // namespace simtest
