// The CA input stage and the table preparation: data files, echo, limits, banner, reset,
// kind codes and spectra grids.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>

#include "driver/input.hpp"
#include "driver/records.hpp"
#include "driver_env.hpp"
#include "driver/run.hpp"
#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"
#include "tables/model.hpp"

namespace {

namespace fs = std::filesystem;

// Runs each test in a fresh temporary directory, with the units and message files of a
// started program, and the output of unit 6 captured.
class InputStage : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = fs::current_path();
        dir_ = drivertest::enter_test_dir("zot_input_");
        drivertest::reset_program();
        fio::capture_begin();
    }
    void TearDown() override {
        fio::capture_end();
        fs::current_path(old_);
        fs::remove_all(dir_);
    }
    static void write(const std::string& name, const std::string& text) {
        std::ofstream(name) << text;
    }
    static std::string output() {
        std::string s = fio::capture_end();
        fio::capture_begin();
        return s;
    }
    fs::path old_, dir_;
};

const char* kMaterial = "3\n1 electrons\n300.\nGAAS\n1.0E17\n";

std::string run_file(const std::string& stat, const std::string& middle) {
    return "100\n2, 9\n" + stat + "\ncomment\n1.0\n2.0\n2.0\n0.5\n0.01\n20\n5\n30.\n" + middle
           + "anything\nsptr.dat\ndyn.dat\n";
}
const std::string kStationaryMiddle = "\n\nnot a number\nx y\n,\n";
const std::string kDynamicMiddle = "skipped\n2.0 4.0\n0.25\n0.002 7\n1.5\n";

void set_names(const char* mat, const char* run) {
    driver::run.filmat.set(mat);
    driver::run.fildon.set(run);
}

TEST_F(InputStage, DataFilesAreReadWithTheirConversions) {
    write("mat", kMaterial);
    write("run", run_file("1", kStationaryMiddle));
    set_names("mat", "run");
    ASSERT_EQ(driver::read_material_file(), 0);
    ASSERT_EQ(driver::read_run_file(), 0);
    const auto& r = driver::run;
    EXPECT_EQ(klip::debug.level, 3);
    EXPECT_EQ(driver::electr.ITPORT, 1);
    EXPECT_EQ(tables::parlam.TEMP, 300.0f);
    EXPECT_EQ(r.nommat.str(), "GAAS        ");
    EXPECT_EQ(r.dopmat, 1.0e17f);
    EXPECT_EQ(r.npart, 100);
    EXPECT_EQ(r.nvinit, 2);
    EXPECT_EQ(r.STAT, 1);
    EXPECT_EQ(r.ex, 100000.0f);
    EXPECT_EQ(r.ey, 200000.0f);
    EXPECT_EQ(r.ez, 200000.0f);
    EXPECT_EQ(r.exn, 100000.0f * 1e-7f);
    EXPECT_EQ(r.champ, 300000.0f);
    EXPECT_EQ(r.tcali, 0.5f * 1e-12f);
    EXPECT_EQ(r.dteq, 0.01f * 1e-12f);
    EXPECT_EQ(r.ndteq, 20);
    EXPECT_EQ(r.nfrlx, 5);
    EXPECT_EQ(r.tcalm, 30.0f * 1e-12f);
    EXPECT_EQ(r.filspc.str(), "sptr.dat    ");
    EXPECT_EQ(r.fildes.str(), "dyn.dat     ");
    EXPECT_EQ(r.ispec, 1);
    EXPECT_EQ(r.ei, 0.0f);  // stationary: the dynamic records are not interpreted
    EXPECT_EQ(output(), "");
}

TEST_F(InputStage, DynamicRunReadsRecords14To17) {
    write("run", run_file("0", kDynamicMiddle));
    set_names("mat", "run");
    ASSERT_EQ(driver::read_run_file(), 0);
    const auto& r = driver::run;
    EXPECT_EQ(r.STAT, 0);
    EXPECT_EQ(r.ei, 2.0f * 1e5f);
    EXPECT_EQ(r.ef, 4.0f * 1e5f);
    EXPECT_EQ(r.dec, 0.25f);
    EXPECT_EQ(r.dt, 0.002f * 1e-12f);
    EXPECT_EQ(r.ndt, 7);
    EXPECT_EQ(r.trajet, 1.5f);
    EXPECT_EQ(r.filspc.str(), "sptr.dat    ");
}

TEST_F(InputStage, SpectraWantedUnlessNameStartsWithUpperCaseN) {
    const char* names[] = {"N", "NON", "non", "spc"};
    const int expected[] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        std::string text = run_file("1", kStationaryMiddle);
        text.replace(text.find("sptr.dat"), 8, names[i]);
        write("run", text);
        set_names("mat", "run");
        ASSERT_EQ(driver::read_run_file(), 0);
        EXPECT_EQ(driver::run.ispec, expected[i]) << names[i];
    }
}

TEST_F(InputStage, MissingOrBadRecordIsReportedWithItsNumber) {
    struct Case {
        std::string text;
        const char* line;
    };
    const Case cases[] = {
        {"3\n1\n300.\nGAAS\n", "  Fichier mat          : enregistrement no  5\n"},
        {"3\nE\n300.\nGAAS\n1e17\n", "  Fichier mat          : enregistrement no  2\n"},
        {"2.5\n", "  Fichier mat          : enregistrement no  1\n"},
        {"", "  Fichier mat          : enregistrement no  1\n"},
    };
    for (const Case& c : cases) {
        write("mat", c.text);
        set_names("mat", "run");
        const int32_t nerr = klip::cisyn.NERR;
        EXPECT_EQ(driver::read_material_file(), 1);
        EXPECT_EQ(klip::cisyn.NERR, nerr + 1);
        const std::string out = output();
        EXPECT_EQ(out.substr(0, out.find('\n') + 1), c.line) << c.text;
        EXPECT_FALSE(fio::is_open(driver::setup.lumat));
    }
}

TEST_F(InputStage, ShortRunFileFailsAtTheMissingRecord) {
    std::string text = run_file("1", kStationaryMiddle);
    text.resize(text.find("anything"));  // records 18 to 20 missing
    write("run", text);
    set_names("mat", "run");
    EXPECT_EQ(driver::read_run_file(), 1);
    std::string out = output();
    EXPECT_EQ(out.substr(0, out.find('\n') + 1),
              "  Fichier run          : enregistrement no  18\n");

    text = run_file("0", "skipped\n2.0\n");  // dynamic: record 14 needs two values
    text.resize(text.find("anything"));
    write("run", text);
    EXPECT_EQ(driver::read_run_file(), 1);
    out = output();
    EXPECT_NE(out.find(" : enregistrement no  14\n"), std::string::npos) << out;
    EXPECT_FALSE(fio::is_open(driver::setup.ludon));
}

TEST_F(InputStage, MissingDataFileReportsMessage2) {
    set_names("nothere", "run");
    const int32_t nerr = klip::cisyn.NERR;
    EXPECT_EQ(driver::read_material_file(), 1);
    EXPECT_EQ(klip::cisyn.NERR, nerr + 2);  // the open failure, then message 2
}

TEST_F(InputStage, AnswersAreCutToTwelveCharactersAndEndOfInputAbandons) {
    fio::stdin_from_string("averyveryverylongname\nrun\n");
    ASSERT_EQ(driver::ask_file_names(), 0);
    EXPECT_EQ(driver::run.filmat.str(), "averyveryver");
    EXPECT_EQ(driver::run.fildon.str(), "run         ");
    EXPECT_EQ(output(),
              "nom du fichier de donnees du materiau ? nom du fichier de donnees du run ? ");

    fio::stdin_from_string("only\n");
    const int32_t nerr = klip::cisyn.NERR;
    EXPECT_EQ(driver::ask_file_names(), 1);
    EXPECT_EQ(klip::cisyn.NERR, nerr);
    fio::stdin_from_string("");
}

TEST_F(InputStage, LimitsAreCheckedInOrder) {
    tables::tablam.NVA = 2;
    auto& r = driver::run;
    auto good = [&] {
        r.npart = 50000;
        r.nvinit = 2;
        r.tcali = 1e-13f;
        r.dteq = 1e-14f;
        r.tcalip = 1000.0f;
        r.dteqp = 1000.0f;
        r.ex = r.ey = r.ez = 0.0f;
        r.STAT = 0;
        r.dtp = 1000.0f;
        r.dec = 0.0f;
    };
    good();
    EXPECT_EQ(driver::check_limits(), 0);
    EXPECT_EQ(output(), "");

    struct Case {
        std::function<void()> spoil;
        const char* line;
    };
    const Case cases[] = {
        {[&] {
             r.npart = 0;
             r.nvinit = 3;
         },
         "  Donnee hors limites : NPART\n"},
        {[&] { r.npart = 50001; }, "  Donnee hors limites : NPART\n"},
        {[&] {
             r.nvinit = 3;
             r.tcali = 0.0f;
         },
         "  Donnee hors limites : NVINIT\n"},
        {[&] {
             r.tcali = -1.0f;
             r.dteq = 0.0f;
         },
         "  Donnee hors limites : TCALI\n"},
        {[&] {
             r.dteq = 0.0f;
             r.nvinit = 0;
         },
         "  Donnee hors limites : DTEQ\n"},
        {[&] {
             r.nvinit = 0;
             r.ex = -1.0f;
         },
         "  Donnee hors limites : NVINIT\n"},
        {[&] {
             r.ex = -1.0f;
             r.ey = -1.0f;
         },
         "  Donnee hors limites : EX\n"},
        {[&] {
             r.ey = -1.0f;
             r.ez = -1.0f;
         },
         "  Donnee hors limites : EY\n"},
        {[&] {
             r.ez = -1.0f;
             r.tcalip = 1001.0f;
         },
         "  Donnee hors limites : EZ\n"},
        {[&] {
             r.tcalip = 1000.001f;
             r.dteqp = 2000.0f;
         },
         "  Donnee hors limites : TCALI\n"},
        {[&] {
             r.dteqp = 1e30f;
             r.dtp = 2000.0f;
         },
         "  Donnee hors limites : DTEQ\n"},
        {[&] {
             r.dtp = 1001.0f;
             r.dec = -1.0f;
         },
         "  Donnee hors limites : DT\n"},
        {[&] { r.dec = -0.1f; }, "  Donnee hors limites : DEC\n"},
    };
    for (const Case& c : cases) {
        good();
        c.spoil();
        const int32_t nerr = klip::cisyn.NERR;
        EXPECT_EQ(driver::check_limits(), 1);
        EXPECT_EQ(klip::cisyn.NERR, nerr + 1);
        const std::string out = output();
        EXPECT_EQ(out.substr(0, out.find('\n') + 1), c.line);
    }
    good();
    r.STAT = 1;  // DT and DEC belong to dynamic runs only
    r.dtp = 2000.0f;
    r.dec = -1.0f;
    r.ex = -0.0f;
    EXPECT_EQ(driver::check_limits(), 0);
}

TEST_F(InputStage, CarrierCharacterFollowsTheCarrierType) {
    tables::parlam.TEMP = 77.0f;
    tables::cbande = 'X';
    const char expect_type[] = {'N', 'P', 'P'};
    const int32_t itport[] = {1, 2, 3};
    for (int i = 0; i < 3; ++i) {
        driver::electr.ITPORT = itport[i];
        driver::derive_quantities();
        EXPECT_EQ(tables::cbande, expect_type[i]);  // 3 keeps what was there
    }
    EXPECT_EQ(driver::run.t, 77.0f);  // the table file's temperature
}

// ------------------------------------------------------------------ table preparation

int32_t pack(const char* name) { return klip::igsr40(name); }

TEST_F(InputStage, ResetClearsTheRunFieldsAndKeepsTheOthers) {
    auto& t = tables::tablam;
    t.NVA = 3;
    t.NLAM[4] = 7;
    t.IDOM[4][1500] = 2;
    t.IORDL[2][15][40] = 9;
    t.NBLAM[1][3] = 55;
    t.ITYPL[1][3] = 6;
    t.RLAM[80000] = 1.0f;
    t.RLTOT[5000] = 1.0f;
    tables::parlam.HWIV1[4][4][4] = 0.1f;
    tables::parlam.CPIV1[4][4][4] = 0.2f;
    tables::parlam.TEMP = 300.0f;
    tables::bande.IBMAT = 3;
    tables::compac.NCOMP = 12;
    tables::cbande = 'N';
    tables::charac.first[4] = 'a';
    tables::charac.second[4] = 'b';
    driver::reset_model();
    EXPECT_EQ(t.NVA, 0);
    EXPECT_EQ(t.NLAM[4], 0);
    EXPECT_EQ(t.IDOM[4][1500], 0);
    EXPECT_EQ(t.IORDL[2][15][40], 0);
    EXPECT_EQ(t.NBLAM[1][3], 0);
    EXPECT_EQ(t.RLAM[80000], 0.0f);
    EXPECT_EQ(t.RLTOT[5000], 0.0f);
    EXPECT_EQ(tables::parlam.HWIV1[4][4][4], 0.0f);
    EXPECT_EQ(tables::charac.first[4], '.');
    // not reset
    EXPECT_EQ(t.ITYPL[1][3], 6);
    EXPECT_EQ(tables::parlam.CPIV1[4][4][4], 0.2f);
    EXPECT_EQ(tables::parlam.TEMP, 300.0f);
    EXPECT_EQ(tables::bande.IBMAT, 3);
    EXPECT_EQ(tables::compac.NCOMP, 12);
    EXPECT_EQ(tables::cbande, 'N');
    EXPECT_EQ(tables::charac.second[4], 'b');
}

TEST_F(InputStage, KindCodesFromPackedNames) {
    auto& t = tables::tablam;
    driver::reset_model();
    for (auto& row : t.ITYPL) row.fill(0);
    const char* names[] = {"IMPXXX", "ACO",    "PIEZO",  "OPLXXE", "OPLXXA", "ONP12E", "ONP12A",
                           "IV0ZZE", "IV0ZZA", "IV1ZZE", "IV1ZZA", "ALLOY",  "SURF",   "RECOMB",
                           "IONIS",  "SSC",    "OPLXXB", "IV0",    "imp",    "XIMP"};
    const int32_t codes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0, 0, 1, 0};
    t.NVA = 1;
    t.NLAM[1] = 20;
    for (int k = 1; k <= 20; ++k) t.NOMLAM[1][k] = pack(names[k - 1]);
    t.NLAM[2] = 1;
    t.NOMLAM[2][1] = pack("IMP");  // valley 2 is beyond NVA
    driver::kind_codes();
    for (int k = 1; k <= 20; ++k) EXPECT_EQ(t.ITYPL[1][k], codes[k - 1]) << names[k - 1];
    EXPECT_EQ(t.ITYPL[2][1], 0);

    // A later run: an unmatched name keeps the code of the earlier run at that position.
    t.NOMLAM[1][1] = pack("OPLXXZ");
    t.NOMLAM[1][17] = pack("ACO");
    driver::kind_codes();
    EXPECT_EQ(t.ITYPL[1][1], 1);
    EXPECT_EQ(t.ITYPL[1][17], 2);
}

TEST_F(InputStage, SpectraGrids) {
    auto& t = tables::tablam;
    auto& s = driver::spectra;
    driver::reset_model();
    driver::run.ispec = 1;
    t.ENMAX[2] = 5.01f;
    tables::bande.MEFF[2] = 0.067f;
    t.ENMAX[4] = 1.0f;  // a valley beyond NVA still counts
    tables::bande.MEFF[4] = 0.5f;
    driver::spectra_grids();
    const auto& d = driver::dtafix;
    const float v2 = 2.0f * sqrtf(2.0f * d.QE / 0.067f / d.XM0 * 5.01f) / 501.0f;
    EXPECT_EQ(s.delten, 5.01f / 501.0f);
    EXPECT_EQ(s.deltv, v2);
    EXPECT_NEAR(s.delten, 0.01f, 1e-7f);
    EXPECT_NEAR(s.es[0], 0.005f, 1e-7f);
    EXPECT_NEAR(s.es[500], 5.005f, 1e-5f);
    // symmetric about bin 250 up to single-precision rounding
    const float bin = s.deltv * 100.0f;
    EXPECT_NEAR(s.vs[250], 0.0f, 1e-3f * bin);
    EXPECT_NEAR(s.vs[0], -250.0f * bin, 1e-3f * bin);
    EXPECT_NEAR(s.vs[500], 250.0f * bin, 1e-3f * bin);
    const std::string out = output();
    EXPECT_EQ(out.find("IV=  1"), std::string::npos);
    EXPECT_EQ(out.rfind(" IV=  2  DELTEN,DELTV=    1.00000E-02", 0), 0u) << out;
    EXPECT_NE(out.find("\n IV=  4  DELTEN,DELTV=    1.99601E-03"), std::string::npos) << out;
    EXPECT_EQ(out.find("DELTEN ="), std::string::npos);

    klip::debug.level = 2;
    driver::spectra_grids();
    const std::string out2 = output();
    EXPECT_NE(out2.find("\n\n  DELTEN =    1.00000E-02\n  DELTV ="), std::string::npos) << out2;

    // spectra off: nothing written, grids untouched
    driver::run.ispec = 0;
    s.es[3] = -1.0f;
    driver::spectra_grids();
    EXPECT_EQ(output(), "");
    EXPECT_EQ(s.es[3], -1.0f);
}

TEST_F(InputStage, TableSummaryLevels) {
    auto& t = tables::tablam;
    driver::reset_model();
    t.NVA = 1;
    t.ENMAX[1] = 2.0f;
    tables::compac.IDRLT1 = 2;
    tables::compac.RLTCOMP[1] = 1.0e12f;
    tables::compac.RLTCOMP[2] = 2.0e12f;
    klip::debug.level = 3;
    driver::table_summary();
    EXPECT_EQ(output(), "");
    // 100 and above trace a particle: the summary stays, the total-rate listing goes
    klip::debug.level = 105;
    driver::table_summary();
    const std::string out = output();
    EXPECT_NE(out.find(" Lecture du -bin terminee:\n"), std::string::npos);
    EXPECT_EQ(out.find("IDRLT1="), std::string::npos);
    klip::debug.level = 5;
    driver::table_summary();
    EXPECT_NE(output().find(" IDRLT1=  2 Lambda total = \n     1.00000E+12    2.00000E+12\n"),
              std::string::npos);
}

TEST_F(InputStage, OuinonReadsTheFirstLetter) {
    const char* lines[] = {"OUI", "non", "peut-etre", ""};
    const int32_t expect[] = {1, 0, 7, 7};
    for (int i = 0; i < 4; ++i) {
        klip::ccsyn.BUF.set(lines[i]);
        klip::cisyn.IPTR = 1;
        klip::indic.INDERR = 0;
        int32_t answer = 7;
        driver::ouinon(answer);
        EXPECT_EQ(answer, expect[i]) << lines[i];
    }
}

}  // namespace
