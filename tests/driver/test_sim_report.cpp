// The results report layouts and the time-step loop's paths: equilibrium after one long
// step, no planned stationary step, steps without ionisation, one particle, dynamic runs.
#include "test_sim_fixture.hpp"

namespace simtest {
namespace {

using driver::steps;

class Report : public Sim {};

TEST_F(Report, SectionOneWithFourValleys) {
    table(4);
    auto& s = steps;
    s.pex = 1.5f;
    s.pey = 0.0f;
    s.pez = -2.25f;
    s.ptcalt = 1.234f;
    s.prlxmx = 0.1f;
    s.prlxmy = 0.2f;
    s.prlxmz = 0.3f;
    s.prlxen = 1.5f;
    s.ptcal = 0.5f;
    s.nppv = {0, 1, 2, 3, 4};
    s.pnself = 25.5f;
    s.vxmion1m = 0.5f;
    driver::NBINTER = 12;
    driver::flight.nlim = 3;
    driver::report_section1();
    driver::run.ndteq = 1234;
    driver::report_stationary_length();
    const auto v = lines_of(output());
    const std::vector<std::string> want = {
        "",
        "     ***** Ex =   1.500 kV/cm   Ey =   0.000 kV/cm   Ez =  -2.250 kV/cm *****",
        "",
        "",
        " 1) Mise a l'equilibre",
        "    ===================",
        "",
        "      Duree de la mise a l'equilibre = 1.234 ps",
        "      Temps de relaxation des moments (ps) =  0.100  0.200  0.300 ",
        "      Temps de relaxation de l'energie (ps) =    1.500",
        "       --> les moyennes seront calculees sur   0.500 ps",
        "      Repartition par vallees :      1     2     3",
        "      Repartition par vallees :      4",
        "      Nombre de self-scattering =        12 ( 25.50 0/0)",
        "      Nombre de depassement d'energie =       3",
        "",
        "      Nombre ionisations =   0",
        "      VXMION1M =    0.500000",
        "      VXMION2M =   0.",
        "      COEFFIONX1 =   0.",
        "      COEFFIONX2 =   0.",
        "      Nombre de DTEQ a effectuer = ***",
        "",
    };
    EXPECT_EQ(v, want);
}

// Event counts beyond 32 bits: a large ensemble over a long step makes billions of events.
// The counts keep their layouts (asterisks when too wide) and every percentage comes from
// the full counts.
TEST_F(Report, EventCountsBeyond32Bits) {
    table(1);
    const int64_t billions = int64_t{6} << 30;
    driver::NBINTER = billions;
    driver::flight.nlim = 3'000'000'000;
    steps.pnself = driver::self_percent(billions, billions * 4 / 3);
    EXPECT_EQ(steps.pnself, 75.0f);
    driver::report_section1();
    const auto v = lines_of(output());
    EXPECT_EQ(v[12], "      Nombre de self-scattering = ********* ( 75.00 0/0)");
    EXPECT_EQ(v[13], "      Nombre de depassement d'energie = *******");

    auto& s = steps;
    s.nmade = 1;
    s.sninter = billions * 2;
    s.snself = billions;
    s.snlim = 3'000'000'000;
    driver::final_averages();
    EXPECT_EQ(s.fnself, 50.0f);
    EXPECT_EQ(s.fninter, 12884901888.0f);
    EXPECT_EQ(s.fnlim, 3e9f);

    // Counting goes on past the 32-bit range.
    driver::flight.ninter = INT32_MAX;
    driver::NBINTER = INT32_MAX;
    driver::electr.IP = 1;
    particle(1, 1, 0.05f, 1e5f);
    driver::steps.tcal = 1e-12f;
    driver::move_particle();
    EXPECT_GT(driver::flight.ninter, int64_t{INT32_MAX});
    EXPECT_EQ(driver::NBINTER, driver::flight.ninter);
}

TEST_F(Report, SectionTwoBlockAndSectionThreeWithTwoValleys) {
    table(2);
    auto& s = steps;
    s.idteq = 7;
    s.ptcal = 0.25f;
    s.enm = 0.0512f;
    s.entm = 0.0612f;
    s.coeffionx2 = 12345.6f;
    s.enpv = {0.0f, 0.1234f, 0.5678f};
    s.vxm = 1.5e7f;
    s.vym = 0.0f;
    s.vzm = -2.5e6f;
    s.mobil = 7543.21f;
    s.nppv = {0, 60, 40};
    s.pnself = 100.0f;
    s.vxmion2m = 1e-3f;
    driver::flight.nionv = {0, 1, 2, 0, 0};
    driver::flight.nion = 3;
    driver::NBINTER = 5;
    driver::report_section2_block();
    auto v = lines_of(output());
    ASSERT_EQ(v.size(), 23u);
    EXPECT_EQ(v[1], "      Pas de temps DTEQ no   7");
    EXPECT_EQ(v[2], "      Moyennes calculees durant  0.250 ps");
    EXPECT_EQ(v[3], "      Temps de relaxation des moments [ps] =  0.000  0.000  0.000 ");
    EXPECT_EQ(v[4], "      Temps de relaxation de l'energie [ps] =     0.000");
    EXPECT_EQ(v[5], "      Energie cinetique moyenne = 0.0512 eV");
    EXPECT_EQ(v[6], "      Energie totale moyenne = 0.0612 eV");
    EXPECT_EQ(v[9], "      Coeff d'ionisat par impact2 [1/cm] =  1.23456E+04");
    EXPECT_EQ(v[10], "      Coeff d'ionisat par impact1 [1/cm] =  0.00000E+00");
    EXPECT_EQ(v[12], "      Energie cinetique par vallee [eV] = 0.1234  0.5678  ");
    EXPECT_EQ(v[13], "      Vitesses moyennes [cm/s] =   1.500E+07    0.000E+00   -2.500E+06  ");
    EXPECT_EQ(v[14], "      Mobilite [cm2/Vs] =   7543.21");
    EXPECT_EQ(v[15], "      Repartition par vallees :     60     40 ");
    EXPECT_EQ(v[16], "      Nombre de self-scattering =         5 (100.00 0/0)");
    EXPECT_EQ(v[17], "      Nombre de depassement d'energie =       0");
    EXPECT_EQ(v[18], "");
    EXPECT_EQ(v[19], "                  Nombre ionisations =   3");
    EXPECT_EQ(v[20], "                  Nombre ionisations par vallees =  1  2  0  0");
    EXPECT_EQ(v[21], "                  Valeur de VXMION2M  =     1.00000E-03");
    EXPECT_EQ(v[22], "                  Valeur de VXMION1M  =   0.");

    s.frlxen = -12345.678f;
    s.fenm = 10.5f;  // does not fit F6.4
    s.fenpv = {0.0f, 0.1234f, 0.5678f};
    s.fvxm = 1.5e7f;
    s.fnppv = {0.0f, 40.0f, 60.0f};
    s.fninter = 1234.0f;
    s.fnself = 12.5f;
    s.fnlim = 3.0f;
    s.fnionv = {0.0f, 0.0f, 2.0f};
    driver::report_section3();
    v = lines_of(output());
    const std::vector<std::string> want = {
        "",
        " 3) Moyennes finales",
        "    ================",
        "      Temps de relaxation des moments [ps] =  0.000  0.000  0.000 ",
        "      Temps de relaxation de l'energie [ps] = *********",
        "      Energie cinetique moyenne = ****** eV",
        "      Energie totale moyenne = 0.0000 eV",
        "",
        "      Energie cinetique par vallee [eV] = 0.1234  0.5678  ",
        "      Vitesses moyennes [cm/s] =   1.500E+07    0.000E+00    0.000E+00  ",
        "      Mobilite [cm2/Vs] =      0.00",
        "      Repartition par vallees [o/o] :  40.00   60.00  ",
        "      Nombre total d'interactions =  1.23400E+03",
        "      Nombre de self-scattering =  12.50",
        "      Nombre de depassement d'energie =      3.",
        "      Nombre total d'ionisation par impact =  0.00000E+00",
        "",
        "      Nombre d'ionisation par vallee =  0.00000E+00   2.00000E+00  ",
        "",
        "Coeff d'ionisation par impact2 moyen [1/cm] =  0.00000E+00",
        "Coeff d'ionisation par impact1 moyen [1/cm] =  0.00000E+00",
        "",
    };
    EXPECT_EQ(v, want);
}

// Whole runs with the stand-in scattering routine (every event a self-scattering).
class Loop : public Sim {
protected:
    std::vector<std::string> simulate() {
        driver::simulate();
        return lines_of(output());
    }
};

TEST_F(Loop, NoPlannedStationaryStepStillMakesOne) {
    driver::run.tcalm = 0.5e-12f;  // below dteq: no step planned
    const auto v = simulate();
    EXPECT_TRUE(has_line(v, "      Nombre de DTEQ a effectuer =   0"));
    EXPECT_EQ(steps.nmade, 1);
    EXPECT_EQ(count_lines(v, "      Pas de temps DTEQ no   1"), 1);
    // Final averages are the single step's values.
    EXPECT_EQ(steps.fenm, steps.enm);
    EXPECT_EQ(steps.fvxm, steps.vxm);
    EXPECT_EQ(steps.fnppv[1], 100.0f);
    // No ionisation anywhere: zeros, never an infinity or NaN.
    EXPECT_TRUE(has_line(v, "      Coeff d'ionisat par impact1 [1/cm] =  0.00000E+00"));
    EXPECT_TRUE(has_line(v, "Coeff d'ionisation par impact1 moyen [1/cm] =  0.00000E+00"));
    for (const auto& l : v) {
        EXPECT_EQ(l.find("NaN"), std::string::npos) << l;
        EXPECT_EQ(l.find("Infinity"), std::string::npos) << l;
    }
    // Every event was a self-scattering.
    EXPECT_TRUE(has_line(v, "      Nombre de self-scattering = 100.00"));
    // Three empty lines end the run.
    ASSERT_GE(v.size(), 4u);
    EXPECT_EQ(v[v.size() - 4], "");
    EXPECT_EQ(v[v.size() - 3], "");
    EXPECT_EQ(v[v.size() - 1], "");
}

// After reset_process a second session in the same process prints what the first printed:
// nothing of the first (seeds, sums, counters, caches) leaks into the second.
TEST_F(Loop, ResetProcessMakesASecondSessionRepeatTheFirst) {
    const auto first = simulate();
    drivertest::reset_program();
    driver::inter_routine = &stand_in_inter;
    table(1);
    run_parameters();
    const auto second = simulate();
    EXPECT_GT(first.size(), 20u);
    EXPECT_EQ(first, second);
}

TEST_F(Loop, LongFirstStepReachesEquilibriumAndOneParticleWritesNoBlocks) {
    auto& r = driver::run;
    r.npart = 1;
    r.ex = 0.0f;  // no field: no relaxation time asks for a longer phase
    r.exn = 0.0f;
    r.champ = 0.0f;
    r.tcali = 2e-10f;  // longer than the 1e-10 s cap of the equilibration time
    const auto v = simulate();
    EXPECT_TRUE(has_line(v, "      Duree de la mise a l'equilibre =****** ps"));  // 200 ps
    EXPECT_EQ(steps.nmade, 2);
    EXPECT_EQ(count_lines(v, " 2) Regime stationnaire"), 1);
    EXPECT_EQ(count_lines(v, "      Pas de temps DTEQ no   1"), 0);
    EXPECT_EQ(count_lines(v, " 3) Moyennes finales"), 1);
    // One noise record per step: one equilibration step and the stationary steps.
    const std::string bruit = read_file("bruit");
    EXPECT_EQ(bruit.size(), 16u * static_cast<size_t>(1 + steps.nmade));
}

TEST_F(Loop, EquilibrationTraceAtDebug3) {
    klip::debug.level = 3;
    const auto v = simulate();
    EXPECT_TRUE(has_line(v, "  *** Phase de mise a l'equilibre ***"));
    EXPECT_TRUE(has_line(v, "    TRLX < TCALT => l'equilibre est atteint"));
    EXPECT_GE(count_lines(v, " *** boucle sur les particules"), 2);
    // The first 1 ps step is short of the equilibration time of the second.
    const bool again = has_line(v, " TRLX > TCALT => l'equilibre n'est pas atteint");
    EXPECT_EQ(again, count_lines(v, "  *** Phase de mise a l'equilibre ***") > 1);
}

TEST_F(Loop, DynamicRunAddsEnergyAndWritesTheFileHeader) {
    auto& r = driver::run;
    r.STAT = 0;
    r.ei = 0.0f;
    r.dec = 0.1f;
    r.dt = 0.1e-12f;
    r.ndt = 3;
    klip::debug.level = 101;
    driver::build_ensemble();
    const float en1 = driver::ensemble.EN[1];
    output();
    driver::run_start();
    EXPECT_EQ(driver::ensemble.EN[1], 0.1f + en1);
    EXPECT_EQ(steps.neq, 1);
    EXPECT_EQ(steps.tcal, 0.1e-12f * 3.0f);
    // Spherical unit mass, no non-parabolicity: all the energy is in |W|.
    const auto& e = driver::ensemble;
    const float w2 = e.WX[1] * e.WX[1] + e.WY[1] * e.WY[1] + e.WZ[1] * e.WZ[1];
    EXPECT_NEAR(w2 / driver::dtafix.DQSM, e.EN[1], 1e-5f);
    EXPECT_GE(e.WX[1], 0.0f);
    const auto v = lines_of(output());
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].substr(0, 6), "  eni=");
    EXPECT_EQ(v[2], "  alp=  0.   meff=    1.00000");
    driver::close_dynamic_file();
    EXPECT_EQ(read_file("dyn.txt"),
              " temps(ps) position(nm) energie(ev) en.tot(ev) vitesse(cm/s)\n");
}

TEST_F(Loop, DynamicRunStartedWithAFieldFliesZeroTimeFirst) {
    auto& r = driver::run;
    r.STAT = 0;
    r.ei = 1e5f;
    driver::build_ensemble();
    driver::flight_setup();
    driver::run_start();
    EXPECT_EQ(steps.tcal, 0.0f);
    EXPECT_EQ(steps.neq, 0);
    const int32_t seed_before = driver::etir.ISEED[4];
    driver::time_step();
    EXPECT_EQ(steps.tcalt, 0.0f);
    // One draw per particle, no event.
    int32_t s = seed_before;
    float x = 0.0f;
    scatter::alea(s, x);
    scatter::alea(s, x);
    EXPECT_EQ(driver::etir.ISEED[4], s);
    EXPECT_TRUE(seen.empty());
}

// The ionisation coefficients count the distance along x: any other field is warned about.
TEST_F(Report, IonisationWithAFieldOffXIsWarnedAbout) {
    auto warned = [](float ex, float ey) {
        driver::run.ex = ex;
        driver::run.ey = ey;
        driver::run.ez = 0.0f;
        driver::run.STAT = 1;
        steps.fnion = 3.0f;
        ::testing::internal::CaptureStderr();
        driver::direction_warnings();
        return ::testing::internal::GetCapturedStderr().find("ionisation") != std::string::npos;
    };
    EXPECT_FALSE(warned(1e7f, 0.0f));
    EXPECT_TRUE(warned(0.0f, 1e7f));
    EXPECT_TRUE(warned(1e7f, 1e7f));
}

// An equilibration cut at its 100 ps limit, or ended by a relaxation time that is noise.
TEST_F(Report, EquilibrationShortOfItsRelaxationTimesIsWarnedAbout) {
    auto warning = [](float rlx, float tcalt) {
        driver::run.champ = 1e5f;
        driver::run.nfrlx = 10;
        driver::run.npart = 100;
        steps.rlx = rlx;
        steps.tcalt = tcalt;
        ::testing::internal::CaptureStderr();
        driver::equilibration_warnings();
        const std::string e = ::testing::internal::GetCapturedStderr();
        return e.empty() ? std::string() : e.substr(e.find("equilibration ") + 14, 5);
    };
    EXPECT_EQ(warning(1e-12f, 10e-12f), "");
    EXPECT_EQ(warning(20e-12f, 101e-12f), "stopp");
    EXPECT_EQ(warning(0.0f, 1e-20f), "ended");
}

// An equilibration step too short to add to the simulated time ends the program, not a hang.
TEST_F(Loop, EquilibrationWhoseTimeNoLongerAdvancesStops) {
    driver::run.nfrlx = 1000;
    driver::flight_setup();
    driver::run_start();
    particle(1, 1, 0.1f, 1e6f);
    particle(2, 1, 0.1f, 1e6f);
    steps.tcalt = 1e-12f;
    steps.tcal = 1e-21f;
    EXPECT_EXIT(driver::time_step(), ::testing::ExitedWithCode(2), "");
}

}  // namespace
}  // namespace simtest
