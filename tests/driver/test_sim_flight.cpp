// Free flight of one particle: the end of the step, cancelled flights, the energy floor,
// weak field components, ionisation bookkeeping, the energy-index guard and the traces.
#include "test_sim_fixture.hpp"

namespace simtest {
namespace {

using driver::electr;
using driver::ensemble;
using driver::flight;

class Flight : public Sim {
protected:
    void move(int ip) {
        electr.IP = ip;
        driver::move_particle();
    }
};

TEST_F(Flight, StepEndsWhenDrawnFlightOutlastsTheBudgetAndScattersWhenEqual) {
    driver::run.ex = 0.0f;
    driver::run.exn = 0.0f;
    particle(1, 1, 0.05f, 1e5f);
    const float tv = next_flight_time(-1e-13f);
    const int32_t seed = driver::etir.ISEED[4];

    // Budget one step below the drawn time: no event, the whole budget is flown.
    driver::steps.tcal = std::nextafter(tv, 0.0f);
    move(1);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(flight.ninter, 0);
    EXPECT_EQ(electr.TRV, driver::steps.tcal);

    // Budget equal to the drawn time: the flight ends in an event.
    driver::etir.ISEED[4] = seed;
    particle(1, 1, 0.05f, 1e5f);
    driver::steps.tcal = tv;
    move(1);
    ASSERT_GE(seen.size(), 1u);
    EXPECT_EQ(seen[0].TR, 0.0f);  // the whole budget was flown before the event
    EXPECT_EQ(flight.ninter, static_cast<int32_t>(seen.size()));
    EXPECT_EQ(driver::NBINTER, flight.ninter);
}

// Every flight cancelled and no drawn flight outlasting the time left: the step would never
// end. It stops with the program's diagnostic and status 2 instead.
TEST_F(Flight, EndlessCancelledFlightsStopWithStatus2) {
    driver::run.ex = 0.0f;
    driver::run.exn = 0.0f;
    particle(1, 1, 0.05f, sqrtf(2.0f * driver::dtafix.DQSM));  // 2 eV: beyond the table top
    driver::steps.tcal = 1e-9f;                                // 10,000 mean flight times
    EXPECT_EXIT(move(1), ::testing::ExitedWithCode(2), "");
}

TEST_F(Flight, CancelledFlightKeepsStateAndBudgetAndStillScatters) {
    driver::run.ex = 0.0f;
    driver::run.exn = 0.0f;
    // Stored energy low, wave vector far beyond the table top: every flight overflows.
    const float w = sqrtf(2.0f * driver::dtafix.DQSM);  // 2 eV with unit mass
    particle(1, 1, 0.05f, w);
    const float tv = next_flight_time(-1e-13f);
    driver::steps.tcal = tv;
    move(1);
    ASSERT_GE(seen.size(), 1u);
    EXPECT_EQ(seen[0].ENF, 0.05f);  // the unchanged start state goes to the event
    EXPECT_EQ(seen[0].WXF, w);
    EXPECT_EQ(seen[0].TR, tv);  // no time consumed
    // Every flight was cancelled, the last one ending the step without an event.
    EXPECT_EQ(flight.nlim, flight.ninter + 1);
    EXPECT_EQ(ensemble.EN[1], 0.05f);
    EXPECT_EQ(ensemble.WX[1], w);
}

TEST_F(Flight, EnergyFloorWithAndWithoutNonParabolicity) {
    driver::run.ex = 0.0f;
    driver::run.exn = 0.0f;
    driver::steps.tcal = 1e-20f;  // the first flight outlasts it
    particle(1, 1, 0.05f, 0.0f);
    move(1);
    EXPECT_EQ(ensemble.EN[1], 1e-8f);

    tables::bande.ALP[1] = 0.5f;
    particle(1, 1, 0.05f, 0.0f);
    move(1);
    EXPECT_EQ(ensemble.EN[1], 1e-8f);

    // Parabolic energy of a moving particle: W^2 / (2q/m0).
    tables::bande.ALP[1] = 0.0f;
    particle(1, 1, 0.05f, 1e5f, 2e5f);
    move(1);
    const float w2 = 1e5f * 1e5f / 1.0f + 2e5f * 2e5f / 1.0f + 0.0f;
    EXPECT_EQ(ensemble.EN[1], w2 / driver::dtafix.DQSM);
}

// The total rate changes with the start energy of each flight (here at every index above
// 0.08 eV, and again when a second run of moves starts in another valley): every flight
// time is the draw's logarithm times the entry at its own start energy.
TEST_F(Flight, EachFlightTimeUsesTheTotalRateAtItsStartEnergy) {
    table(2);
    auto& t = tables::tablam;
    for (int n = 1; n <= 200; ++n) {
        const int ie = (n - 1) % 100 + 1;
        t.RLTOT[n] = ie <= 8 ? -1e-13f : (ie % 2 == 1 ? -2e-13f : -0.5e-13f);
        if (n > 100) t.RLTOT[n] *= 1.5f;
    }
    auto& r = driver::run;
    r.ex = 1e6f;
    r.exn = r.ex * 1e-7f;
    driver::flight_setup();
    for (int iv : {1, 2, 1}) {
        driver::steps.tcal = 1e-12f;
        seen.clear();
        int32_t seed = driver::etir.ISEED[4];
        particle(1, iv, 0.05f, 1.3e5f);
        move(1);
        ASSERT_GE(seen.size(), 3u);
        float tr = 1e-12f;
        float en = 0.05f;
        int crossings = 0;
        for (const Seen& s : seen) {
            float d = 0.0f;
            scatter::alea(seed, d);
            const int32_t ie = static_cast<int32_t>(en / 0.01f + 1.0f);
            crossings += ie > 8 ? 1 : 0;
            const float tv = logf(d) * t.RLTOT[t.IPTOT[iv] + ie];
            EXPECT_EQ(s.TR, tr - tv) << "valley " << iv << ", start energy " << en;
            tr = s.TR;
            en = s.ENF;
        }
        EXPECT_GT(crossings, 1);
    }
}

TEST_F(Flight, FieldComponentsOf100VPerMetreOrLessChangeNothing) {
    auto& r = driver::run;
    r.ex = 100.0f;
    r.ey = -5e5f;
    r.ez = 0.0f;
    r.exn = r.ex * 1e-7f;
    r.eyn = r.ey * 1e-7f;
    r.ezn = 0.0f;
    driver::flight_setup();
    driver::steps.tcal = 1e-12f;
    particle(1, 1, 0.05f, 1e5f, -2e5f, 3e5f);
    move(1);
    EXPECT_EQ(ensemble.WX[1], 1e5f);
    EXPECT_EQ(ensemble.WY[1], -2e5f);
    EXPECT_EQ(ensemble.WZ[1], 3e5f);
    EXPECT_EQ(ensemble.XX[1], 0.0f);
    EXPECT_EQ(ensemble.XY[1], 0.0f);
    EXPECT_EQ(ensemble.XZ[1], 0.0f);

    // A field just above the threshold does accelerate.
    r.ex = 101.0f;
    r.exn = r.ex * 1e-7f;
    driver::flight_setup();
    particle(1, 1, 0.05f, 1e5f);
    move(1);
    EXPECT_GT(ensemble.WX[1], 1e5f);
}

TEST_F(Flight, ZeroDisplacementAddsNothingToTheReciprocalSum) {
    driver::run.ex = 0.0f;
    driver::run.exn = 0.0f;
    driver::steps.tcal = 1e-12f;
    particle(1, 1, 0.05f, 1e5f);
    move(1);
    EXPECT_GT(flight.ninter, 0);
    EXPECT_EQ(driver::steps.vxmion2m, 0.0f);
    EXPECT_EQ(driver::steps.vxmion1m, 0.0f);
}

TEST_F(Flight, IonisationCountsInTheValleyAfterTheEvent) {
    table(2);
    driver::flight_setup();
    driver::steps.tcal = 1e-12f;
    next_kind = 15;
    next_valley = 2;
    particle(1, 1, 0.05f, 1e5f);
    move(1);
    ASSERT_GT(flight.ninter, 0);
    EXPECT_EQ(flight.nion, flight.ninter);
    EXPECT_EQ(flight.nionv[2], flight.ninter);
    EXPECT_EQ(flight.nionv[1], 0);
    EXPECT_EQ(ensemble.NV[1], 2);
    EXPECT_EQ(driver::NBINTER, 0);
}

TEST_F(Flight, EnergyIndexBeyondTheTableStopsWithStatus2) {
    driver::steps.tcal = 1e-12f;
    particle(1, 1, 1.5f, 1e5f);  // index 151 of a 100-point table
    EXPECT_EXIT(move(1), ::testing::ExitedWithCode(2), "");
    particle(1, 1, -0.5f, 1e5f);  // a negative energy has no index either
    EXPECT_EXIT(move(1), ::testing::ExitedWithCode(2), "");
}

TEST_F(Flight, TraceLinesOnlyForTheTracedParticle) {
    driver::run.ex = 0.0f;
    driver::run.exn = 0.0f;
    driver::steps.tcal = 1e-12f;
    klip::debug.level = 102;
    particle(1, 1, 0.05f, 1e5f);
    particle(2, 1, 0.05f, 1e5f);
    move(1);
    auto v = lines_of(output());
    // Particle 1: only the loop line of debug >= 3.
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0], "");
    EXPECT_EQ(v[1], " *** boucle sur les particules");

    const int32_t before = flight.ninter;
    move(2);
    const int32_t events = flight.ninter - before;
    v = lines_of(output());
    ASSERT_GT(v.size(), 10u);
    EXPECT_EQ(v[2], " --------------------------");
    EXPECT_EQ(v[3], "   particule no   2");
    EXPECT_EQ(v[4], " 0 - coordonnees initiales:");
    EXPECT_EQ(v[5], "  NVI=  1   ENI=    5.00000E-02");
    EXPECT_EQ(v[6], "  WXI=    100000.   WYI=  0.   WZI=  0.");
    EXPECT_EQ(v[7], "  VXI=    100000.   VYI=  0.   VZI=  0.");
    EXPECT_EQ(v[8], "  MXI=    1.00000   MYI=    1.00000   MZI=    1.00000");
    EXPECT_EQ(v[9], "  XXI=  0.   XYI=  0.   XZI=  0.");
    EXPECT_EQ(v[10].substr(0, 5), " TR= ");
    EXPECT_EQ(v[11], " 1 - coordonnees avant vol libre:");
    EXPECT_EQ(count_lines(v, " 2 - coordonnees apres vol libre:"), events + 1);
    EXPECT_EQ(count_lines(v, " 3 - coordonnees apres interaction:"), events);
    EXPECT_EQ(count_lines(v, "     Nouveau mouvement"), events);
    EXPECT_EQ(count_lines(v, "   *** TR epuise"), 1);
    EXPECT_EQ(v[v.size() - 6], " 4 - coordonnees finales:");
}

}  // namespace
}  // namespace simtest
