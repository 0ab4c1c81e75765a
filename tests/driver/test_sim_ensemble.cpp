// The initial ensemble: division among the valleys, its report, energies, wave vectors
// and the count check.
#include "test_sim_fixture.hpp"

namespace simtest {
namespace {

using driver::ensemble;
using driver::ensw;

class InitialEnsemble : public Sim {};

TEST_F(InitialEnsemble, RemainderGoesToTheLastPopulatedValley) {
    table(2);
    driver::run.npart = 5;
    driver::run.nvinit = 2;
    driver::build_ensemble();
    EXPECT_EQ(ensw.nparti[1], 2);
    EXPECT_EQ(ensw.nparti[2], 3);
    const auto v = lines_of(output());
    ASSERT_GE(v.size(), 4u);
    EXPECT_EQ(v[0], "");
    EXPECT_EQ(v[1], "    Il y aura initialement :");
    EXPECT_EQ(v[2], "         2 particules dans la vallee no 1");
    EXPECT_EQ(v[3], "         3 particules dans la vallee no 2");
    for (int ip = 1; ip <= 5; ++ip) EXPECT_EQ(ensemble.NV[ip], ip <= 2 ? 1 : 2);
}

TEST_F(InitialEnsemble, HighValleyGetsNothingUnlessLast) {
    table(3);
    tables::bande.ENVAL[2] = 1.0f;  // 40 kT above the others
    driver::run.npart = 10;
    driver::run.nvinit = 3;
    driver::build_ensemble();
    EXPECT_EQ(ensw.nparti[1], 5);
    EXPECT_EQ(ensw.nparti[2], 0);
    EXPECT_EQ(ensw.nparti[3], 5);

    tables::bande.ENVAL[2] = 0.0f;
    tables::bande.ENVAL[3] = 1.0f;
    driver::build_ensemble();
    EXPECT_EQ(ensw.nparti[1], 5);
    EXPECT_EQ(ensw.nparti[2], 5);
    EXPECT_EQ(ensw.nparti[3], 0);  // truncated share 0, remainder 0

    // One populated valley takes everything whatever the weights.
    tables::bande.ENVAL[1] = 5.0f;
    driver::run.nvinit = 1;
    driver::build_ensemble();
    EXPECT_EQ(ensw.nparti[1], 10);
}

TEST_F(InitialEnsemble, SphericalParabolicModulusAndEnergyRange) {
    driver::run.npart = 200;
    driver::build_ensemble();
    double sum = 0.0;
    for (int ip = 1; ip <= 200; ++ip) {
        const float en = ensemble.EN[ip];
        EXPECT_GE(en, 0.0f);
        EXPECT_LE(en, 1.0f);
        const float w2 = ensemble.WX[ip] * ensemble.WX[ip] + ensemble.WY[ip] * ensemble.WY[ip]
                         + ensemble.WZ[ip] * ensemble.WZ[ip];
        EXPECT_NEAR(w2 / driver::dtafix.DQSM, en, 1e-5f * en + 1e-9f);
        EXPECT_EQ(ensemble.XX[ip], 0.0f);
        sum += en;
    }
    // Mean close to 1.5 kT = 38.8 meV at 300 K.
    EXPECT_NEAR(sum / 200.0 * 1000.0, 38.8, 4.0);
}

TEST_F(InitialEnsemble, MeanEnergyLineAndOkLines) {
    driver::run.npart = 3;
    driver::build_ensemble();
    float bol = 0.0f;
    for (int ip = 1; ip <= 3; ++ip) bol = bol + ensemble.EN[ip];
    bol = bol * 1000.0f / 3.0f;
    char field[16];
    std::snprintf(field, sizeof field, "%6.2f", static_cast<double>(bol));
    const auto v = lines_of(output());
    ASSERT_EQ(v.size(), 9u);
    EXPECT_EQ(v[3], "");
    EXPECT_EQ(v[4], "  Initialisation des coordonnees des particules OK");
    EXPECT_EQ(v[5], "");
    EXPECT_EQ(v[6], "");
    EXPECT_EQ(v[7], std::string("   Energie moyenne initiale= ") + field + " meV");
    EXPECT_EQ(v[8], "");
}

TEST_F(InitialEnsemble, LongAxisFormsScaleTheComponents) {
    auto& b = tables::bande;
    b.IFORV[1] = 3;
    b.ML[1] = 4.0f;
    b.MT[1] = 0.25f;
    driver::run.npart = 20;
    driver::build_ensemble();
    for (int ip = 1; ip <= 20; ++ip) {
        const float en = ensemble.EN[ip];
        // Ellipsoidal energy: sum of W^2/m over the axes gives back the energy.
        const float e2 =
            (ensemble.WX[ip] * ensemble.WX[ip] / 0.25f + ensemble.WY[ip] * ensemble.WY[ip] / 0.25f
             + ensemble.WZ[ip] * ensemble.WZ[ip] / 4.0f)
            / driver::dtafix.DQSM;
        EXPECT_NEAR(e2, en, 1e-5f * en + 1e-9f);
    }
}

TEST_F(InitialEnsemble, TracesByDebugLevel) {
    driver::run.npart = 2;
    klip::debug.level = 5;
    driver::build_ensemble();
    auto v = lines_of(output());
    EXPECT_EQ(count_lines(v, " $$$ PARTICULE NO   1  ETAT INITIAL:"), 1);
    EXPECT_EQ(count_lines(v, "  vallee no   1   IPV =   2"), 1);

    klip::debug.level = 105;
    driver::build_ensemble();
    v = lines_of(output());
    EXPECT_EQ(count_lines(v, " $$$ PARTICULE NO   1  ETAT INITIAL:"), 0);
    EXPECT_EQ(count_lines(v, "  vallee no   1   IPV =   2"), 1);
}

TEST_F(InitialEnsemble, NoPopulatedValleyStopsWithCode2) {
    driver::run.nvinit = 0;
    EXPECT_EXIT(driver::build_ensemble(), ::testing::ExitedWithCode(2), "");
}

}  // namespace
}  // namespace simtest
