// State of the particle after each kind of event: energy and valley rules, absorption guard,
// isotropic and polar-optical draws, ionisation, and the kinds that change nothing.
#include <cmath>

#include "model_fixture.hpp"

namespace {

using scattest::kStep;
using scattest::next_draw;
using scattest::seed_giving;

constexpr float kDqsm = 3.51760e11f;

// E (1 + alpha E) of the I state against the kinetic term of its wave vector.
void expect_consistent_state() {
    const auto& e = particle::electr;
    const float alp = tables::bande.ALP[e.NVI];
    const double lhs = double(e.ENI) * (1.0 + double(alp) * e.ENI);
    const double rhs = (double(e.WXI) * e.WXI / e.MXI + double(e.WYI) * e.WYI / e.MYI
                        + double(e.WZI) * e.WZI / e.MZI)
                       / kDqsm;
    EXPECT_NEAR(rhs / lhs, 1.0, 4e-6) << "ENI " << e.ENI;
}

double norm(double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); }

class FinalState : public scattest::Material {
protected:
    // Valley 2 bottom 0.25 eV above valley 1; valley 2 is an ellipsoid along x.
    void intervalley(int32_t kind, int32_t ipho = 1) { only(kind, 2, ipho); }
};

TEST_F(FinalState, ImpurityAcousticAlloyRemeasureFromTheNewValley) {
    for (int32_t kind : {1, 2, 12}) {
        SetUp();
        intervalley(kind);
        auto& e = particle::electr;
        e.ENF = 0.5f;
        scatter::inter();
        EXPECT_EQ(particle::INTERION, kind);
        EXPECT_EQ(e.NVI, 2);
        EXPECT_EQ(e.ENI, 0.5f - 0.25f + 0.0f);
        EXPECT_EQ(e.MXI, 1.9f);
        EXPECT_EQ(e.MYI, 0.075f);
        EXPECT_EQ(e.MZI, 0.075f);
        expect_consistent_state();

        // From valley 2 back to valley 1 the energy grows by the difference of the bottoms.
        SetUp();
        lambda(2, 1, kind, 1);
        order(2, 1, {1}, {1.0f});
        e.NVF = 2;
        e.ENF = 0.125f;
        scatter::inter();
        EXPECT_EQ(e.NVI, 1);
        EXPECT_EQ(e.ENI, 0.125f + 0.25f);
    }
}

TEST_F(FinalState, ClampedKindsNeverEndBelowTheLowerBound) {
    auto& e = particle::electr;
    // Just below the bound, and negative (a jump to a valley above the carrier's energy).
    for (float enf : {0.25f + 4.0e-6f, 0.125f}) {
        SetUp();
        intervalley(1);
        e.ENF = enf;
        scatter::inter();
        EXPECT_EQ(e.ENI, 1.0e-5f) << "ENF " << enf;
        EXPECT_TRUE(std::isfinite(e.WXI) && std::isfinite(e.WYI) && std::isfinite(e.WZI));
        expect_consistent_state();
    }
    // An emission with less than the phonon energy.
    SetUp();
    only(6);
    tables::parlam.HWONP = 0.06f;
    e.ENF = 0.01f;
    scatter::inter();
    EXPECT_EQ(e.ENI, 1.0e-5f);
    expect_consistent_state();
}

TEST_F(FinalState, PiezoelectricKeepsTheEnergyExactly) {
    only(3);
    auto& e = particle::electr;
    e.ENF = 1.0e-7f;
    scatter::inter();
    EXPECT_EQ(e.NVI, 1);
    EXPECT_EQ(e.ENI, 1.0e-7f);
    expect_consistent_state();
}

TEST_F(FinalState, OpticalPhononEnergies) {
    auto& e = particle::electr;
    auto& p = tables::parlam;
    p.HWOPL = 0.03125f;
    p.HWONP = 0.0625f;
    struct Case {
        int32_t kind;
        int32_t nvfl;
        float eni;
    };
    for (Case c : {Case{4, 1, 0.5f - 0.03125f}, Case{5, 1, 0.5f + 0.03125f},
                   Case{6, 2, 0.5f - 0.0625f - 0.25f}, Case{7, 2, 0.5f + 0.0625f - 0.25f}}) {
        SetUp();
        p.HWOPL = 0.03125f;
        p.HWONP = 0.0625f;
        only(c.kind, c.nvfl);
        e.ENF = 0.5f;
        scatter::inter();
        EXPECT_EQ(e.NVI, c.kind <= 5 ? 1 : 2) << "kind " << c.kind;
        EXPECT_EQ(e.ENI, c.eni) << "kind " << c.kind;
        EXPECT_EQ(particle::etir.NDRAW[2], 1);
        EXPECT_EQ(particle::etir.NDRAW[3], 1);
    }
}

TEST_F(FinalState, IntervalleyPhononTablesAreIndexedFinalInitialPhonon) {
    auto& e = particle::electr;
    auto& p = tables::parlam;
    // HWIV(jv, iv, p) is held as [p][iv][jv]; the reverse direction holds another value.
    auto fill = [&] {
        p.HWIV0[3][1][2] = 0.015625f;  // emission 1 -> 2, phonon 3
        p.HWIV0[3][2][1] = 0.03125f;   // emission 2 -> 1, phonon 3
        p.HWIV1[3][1][2] = 0.0625f;
        p.HWIV1[3][2][1] = 0.125f;
        tables::bande.ENVAL[2] = 0.0f;  // no bottom term enters these kinds anyway
    };
    struct Case {
        int32_t kind;
        float eni;
    };
    for (Case c : {Case{8, 0.5f - 0.015625f}, Case{9, 0.5f + 0.03125f}, Case{10, 0.5f - 0.0625f},
                   Case{11, 0.5f + 0.125f}}) {
        SetUp();
        fill();
        tables::bande.ENVAL[2] = 0.375f;  // must not be used
        only(c.kind, 2, 3);
        e.ENF = 0.5f;
        scatter::inter();
        EXPECT_EQ(e.NVI, 2);
        EXPECT_EQ(scatter::detail::work.ipho, 3);
        EXPECT_EQ(e.ENI, c.eni) << "kind " << c.kind;
        expect_consistent_state();
    }
}

// A rejected absorption is counted and the selection starts again with a fresh draw.
using Absorption = FinalState;

TEST_F(Absorption, GuardLimitIsAcceptedAboveIsRedrawn) {
    auto& e = particle::electr;
    auto& t = tables::tablam;
    auto& p = tables::parlam;
    // ENMAX(1) - 10 DELTAE = 1.5625 - 0.078125 = 1.484375 exactly.
    p.HWOPL = 0.25f;
    absorption_then_self(5, 1);
    e.ENF = 1.234375f;  // + 0.25 = the limit
    scatter::inter();
    EXPECT_EQ(particle::INTERION, 5);
    EXPECT_EQ(e.ENI, 1.484375f);
    EXPECT_EQ(scatter::inter_state.popsi, 0.0f);
    EXPECT_EQ(particle::etir.NDRAW[9], 1);

    SetUp();
    p.HWOPL = 0.25f;
    absorption_then_self(5, 1);
    e.ENF = 1.25f;  // + 0.25 above the limit
    scatter::inter();
    EXPECT_EQ(particle::INTERION, 16);
    EXPECT_EQ(scatter::inter_state.popsi, 1.0f);
    EXPECT_EQ(scatter::inter_state.enii, 1.5f);
    EXPECT_EQ(particle::etir.NDRAW[9], 2);
    EXPECT_EQ(t.NBLAM[1][1], 1);  // the rejected event is still counted
    EXPECT_EQ(t.NBLAM[1][2], 1);
    EXPECT_EQ(particle::NBINTER, 1);
    EXPECT_EQ(particle::etir.NDRAW[2], 0);  // no wave vector drawn for the rejected event
    // The accepted self-scattering left the state of the end of the flight.
    EXPECT_EQ(e.ENI, 1.25f);
    EXPECT_EQ(e.NVI, 1);
    EXPECT_EQ(e.WXI, e.WXF);
}

TEST_F(Absorption, LimitIsTakenInTheValleyOfArrival) {
    auto& e = particle::electr;
    auto& t = tables::tablam;
    for (int32_t kind : {7, 9}) {
        SetUp();
        tables::bande.ENVAL[2] = 0.0f;
        tables::parlam.HWONP = 0.25f;
        tables::parlam.HWIV0[1][2][1] = 0.25f;  // absorption 1 -> 2 uses the emission 2 -> 1
        t.ENMAX[2] = 1.0f;                      // limit in valley 2: 1.0 - 0.078125 = 0.921875
        absorption_then_self(kind, 2);
        e.ENF = 0.75f;  // 1.0 after absorption: inside valley 1's table, above valley 2's
        scatter::inter();
        EXPECT_EQ(particle::INTERION, 16) << "kind " << kind;
        EXPECT_EQ(scatter::inter_state.popsi, 1.0f);
        EXPECT_EQ(scatter::inter_state.enii, 1.0f);
    }
    // Polar absorption keeps the valley: its limit is that of the valley of the flight.
    SetUp();
    tables::parlam.HWOPL = 0.25f;
    t.ENMAX[2] = 0.5f;
    absorption_then_self(5, 1);
    e.ENF = 0.75f;
    scatter::inter();
    EXPECT_EQ(particle::INTERION, 5);
    EXPECT_EQ(e.ENI, 1.0f);
}

TEST_F(Absorption, PopsiRunsOverTheWholeRun) {
    auto& e = particle::electr;
    tables::parlam.HWOPL = 0.25f;
    absorption_then_self(5, 1);
    for (int n = 0; n < 4; ++n) {
        e.ENF = 1.3f + 0.01f * n;
        scatter::inter();
    }
    // Each call rejected at least the absorptions its draws chose.
    EXPECT_GE(scatter::inter_state.popsi, 1.0f);
    EXPECT_EQ(scatter::inter_state.popsi, static_cast<float>(particle::etir.NDRAW[9] - 4));
    EXPECT_EQ(tables::tablam.NBLAM[1][1] + tables::tablam.NBLAM[1][2], particle::etir.NDRAW[9]);
}

TEST_F(FinalState, IsotropicDrawInEachValleyForm) {
    auto& b = tables::bande;
    auto& e = particle::electr;
    for (int32_t form : {0, 1, 2, 3}) {
        SetUp();
        b.IFORV[2] = form;
        b.ENVAL[2] = 0.0f;
        intervalley(2);
        const float r02 = next_draw(particle::etir.ISEED[2]);
        e.ENF = 0.375f;
        scatter::inter();
        expect_consistent_state();
        const float mx[4] = {0.22f, 1.9f, 0.075f, 0.075f};
        const float my[4] = {0.22f, 0.075f, 1.9f, 0.075f};
        const float mz[4] = {0.22f, 0.075f, 0.075f, 1.9f};
        EXPECT_EQ(e.MXI, mx[form]);
        EXPECT_EQ(e.MYI, my[form]);
        EXPECT_EQ(e.MZI, mz[form]);
        // The polar angle is measured from the long axis (z in a spherical valley).
        const float w = std::sqrt(kDqsm * 0.375f * (1.0f + 0.5f * 0.375f));
        const float along[4] = {e.WZI / std::sqrt(0.22f), e.WXI / std::sqrt(1.9f),
                                e.WYI / std::sqrt(1.9f), e.WZI / std::sqrt(1.9f)};
        EXPECT_NEAR(along[form] / w, 1.0f - 2.0f * r02, 2e-6) << "form " << form;
        EXPECT_EQ(particle::etir.NDRAW[2], 1);
        EXPECT_EQ(particle::etir.NDRAW[3], 1);
    }
}

TEST_F(FinalState, UnknownValleyFormKeepsTheWaveVectorOfEntry) {
    auto& e = particle::electr;
    tables::bande.IFORV[2] = 7;
    intervalley(1);
    e.WXI = 11.0f;
    e.WYI = 12.0f;
    e.WZI = 13.0f;
    e.MXI = 0.5f;
    e.MYI = 0.6f;
    e.MZI = 0.7f;
    scatter::inter();
    EXPECT_EQ(e.NVI, 2);
    EXPECT_EQ(e.ENI, 0.25f);
    EXPECT_EQ(e.WXI, 11.0f);
    EXPECT_EQ(e.WZI, 13.0f);
    EXPECT_EQ(e.MXI, 0.5f);
    EXPECT_EQ(e.MZI, 0.7f);
    EXPECT_EQ(particle::etir.NDRAW[2], 1);
}

// The polar-optical draw turns the old wave vector by theta around itself.
class Polar : public FinalState {
protected:
    // Expected cos(theta) for the next draw on ISEED(2).
    static float cos_theta(float eni, float enf) {
        const float a = (eni + enf) / 2.0f / std::sqrt(eni * enf);
        const float r = next_draw(particle::etir.ISEED[2]);
        return a - (a - 1.0f) * std::pow((a + 1.0f) / (a - 1.0f), r);
    }
    static void expect_turned(float eni, float ct) {
        const auto& e = particle::electr;
        const double wp = std::sqrt(double(kDqsm) * 0.067 * eni * (1.0 + 0.61 * eni));
        const double ni = norm(e.WXI, e.WYI, e.WZI);
        EXPECT_NEAR(ni / wp, 1.0, 2e-6);
        const double nf = norm(e.WXF, e.WYF, e.WZF);
        if (nf > 0.0) {
            const double dot =
                double(e.WXI) * e.WXF + double(e.WYI) * e.WYF + double(e.WZI) * e.WZF;
            const double c = dot / (ni * nf);
            EXPECT_NEAR(c, ct, 5e-6);
        }
        // The masses of the valley are those of entry.
        EXPECT_EQ(e.MXI, 0.067f);
        EXPECT_EQ(e.MZI, 0.067f);
    }
};

TEST_F(Polar, GeneralDirection) {
    auto& e = particle::electr;
    tables::parlam.HWOPL = 0.03125f;
    for (int32_t kind : {4, 5}) {
        for (int n = 0; n < 20; ++n) {
            SetUp();
            tables::parlam.HWOPL = 0.03125f;
            only(kind);
            particle::etir.ISEED[2] = 1000 + 25000 * n;
            particle::etir.ISEED[3] = 7 + 26000 * n;
            e.WXF = 1.0e5f * (n % 3 - 1);
            e.WYF = 2.0e5f;
            e.WZF = -1.5e5f + 1.0e4f * n;
            e.ENF = 0.5f;
            const float eni = kind == 4 ? 0.5f - 0.03125f : 0.5f + 0.03125f;
            const float ct = cos_theta(eni, 0.5f);
            scatter::inter();
            EXPECT_EQ(e.ENI, eni);
            EXPECT_EQ(e.NVI, 1);
            expect_turned(eni, ct);
        }
    }
}

TEST_F(Polar, OldWaveVectorAlongY) {
    auto& e = particle::electr;
    tables::parlam.HWOPL = 0.03125f;
    only(4);
    for (float wy : {-2.0e5f, 2.0e5f}) {
        e.WXF = 0.0f;
        e.WYF = wy;
        e.WZF = 0.0f;
        const float eni = 0.5f - 0.03125f;
        const float ct = cos_theta(eni, 0.5f);
        scatter::inter();
        ASSERT_TRUE(std::isfinite(e.WXI) && std::isfinite(e.WYI) && std::isfinite(e.WZI));
        const double wp = std::sqrt(double(kDqsm) * 0.067 * eni * (1.0 + 0.61 * eni));
        EXPECT_NEAR(e.WYI / wp, wy < 0 ? -ct : ct, 2e-6);
        expect_turned(eni, ct);
    }
}

TEST_F(Polar, ZeroOldWaveVectorTakesPlusYAsAxis) {
    auto& e = particle::electr;
    tables::parlam.HWOPL = 0.03125f;
    only(5);
    e.WXF = e.WYF = e.WZF = 0.0f;
    e.ENF = 0.5f;
    const float eni = 0.5f + 0.03125f;
    const float ct = cos_theta(eni, 0.5f);
    scatter::inter();
    ASSERT_TRUE(std::isfinite(e.WXI) && std::isfinite(e.WYI) && std::isfinite(e.WZI));
    const double wp = std::sqrt(double(kDqsm) * 0.067 * eni * (1.0 + 0.61 * eni));
    EXPECT_NEAR(e.WYI / wp, ct, 2e-6);
    expect_turned(eni, ct);
}

TEST_F(Polar, NoEnergyExchangedKeepsTheDirection) {
    auto& e = particle::electr;
    tables::parlam.HWOPL = 0.0f;
    only(4);
    scatter::inter();
    ASSERT_TRUE(std::isfinite(e.WXI) && std::isfinite(e.WYI) && std::isfinite(e.WZI));
    EXPECT_EQ(e.ENI, e.ENF);
    expect_turned(0.5f, 1.0f);
}

TEST_F(Polar, AnisotropicValleyStops) {
    auto& e = particle::electr;
    tables::bande.IFORV[1] = 2;
    tables::parlam.HWOPL = 0.03125f;
    lambda(1, 1, 4, 1, 1, "OPLE01");
    order(1, 1, {1}, {1.0f});
    const float r09 = next_draw(particle::etir.ISEED[9]);
    std::string out;
    EXPECT_FATAL_OUTPUT(scatter::inter(), out);
    EXPECT_EQ(out, " INTER: interaction anisotrope dans vallee non spherique\n"
                   " cellule no   0 materiau no   1\n"
                   " ENF,DEN =   0.500000" + fio::free_real(kStep) + "\n"
                   " vallee arrivee  1 de forme   2\n"
                   " Index energie =   65\n"
                   " Domaine no =   1\n"
                   " Tirage au sort : " + fio::free_real(r09) + "\n"
                   " No d'ordre du lambda =  1\n"
                   " No du lambda =   1\n"
                   " Nom en clair de ce lambdaOPLE01\n"
                   " No du type d'interaction correspondant  4\n");
    (void)e;
}

TEST_F(FinalState, ImpactIonisation) {
    auto& e = particle::electr;
    auto& tir = particle::etir;
    only(15);
    tir.ISEED[11] = seed_giving(0.25f);
    e.ENF = 1.5f;  // ENGAP + 1.0
    scatter::inter();
    EXPECT_EQ(particle::INTERION, 15);
    EXPECT_EQ(e.NVI, 1);
    EXPECT_EQ(e.ENI, 0.25f);
    EXPECT_EQ(tir.NDRAW[11], 0);  // the share draw is not counted
    EXPECT_EQ(tir.NDRAW[2], 1);
    EXPECT_EQ(tir.NDRAW[3], 1);
    expect_consistent_state();

    // Below half an energy step, and below the gap: half a step exactly.
    tir.ISEED[11] = seed_giving(1.0f / 524288.0f);
    e.ENF = 1.5f;
    scatter::inter();
    EXPECT_EQ(e.ENI, kStep / 2.0f);
    e.ENF = 0.25f;
    scatter::inter();
    EXPECT_EQ(e.ENI, kStep / 2.0f);
    expect_consistent_state();
}

TEST_F(FinalState, SurfaceRecombinationSelfScatteringChangeNothing) {
    auto& e = particle::electr;
    for (int32_t kind : {13, 14, 16}) {
        SetUp();
        only(kind);
        e.NVF = 1;
        e.ENF = 0.3f;
        e.WXF = 1.0f;
        e.WYF = 2.0f;
        e.WZF = 3.0f;
        e.MXF = 0.1f;
        e.MYF = 0.2f;
        e.MZF = 0.3f;
        e.NVI = 2;
        e.ENI = 9.0f;
        e.WXI = e.WYI = e.WZI = 9.0f;
        e.MXI = e.MYI = e.MZI = 9.0f;
        scatter::inter();
        EXPECT_EQ(particle::INTERION, kind);
        EXPECT_EQ(e.NVI, 1);
        EXPECT_EQ(e.ENI, 0.3f);
        EXPECT_EQ(e.WXI, 1.0f);
        EXPECT_EQ(e.WYI, 2.0f);
        EXPECT_EQ(e.WZI, 3.0f);
        EXPECT_EQ(e.MXI, 0.1f);
        EXPECT_EQ(e.MYI, 0.2f);
        EXPECT_EQ(e.MZI, 0.3f);
        EXPECT_EQ(particle::NBINTER, kind == 16 ? 1 : 0);
        EXPECT_EQ(particle::etir.NDRAW[2] + particle::etir.NDRAW[3], 0);
        EXPECT_EQ(particle::etir.ISEED[11], particle::kInitialSeeds[11]);
        EXPECT_EQ(tables::tablam.NBLAM[1][1], 1);
    }
}

}  // namespace
