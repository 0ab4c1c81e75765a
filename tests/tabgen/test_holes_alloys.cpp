// Valence-band model and alloys: overlap integrals against quadrature, the split-off
// (unit-overlap) polar rate against the textbook rate, detailed balance of every hole and
// alloy mechanism pair, the alloy ends against the binaries, the alloy-disorder rate
// against a value worked out by hand, and refused descriptions.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "tabgen/alloy.hpp"
#include "tabgen/build.hpp"
#include "tabgen/holes.hpp"
#include "tabgen/physics.hpp"

using namespace tabgen;

namespace {

std::string src(const std::string& rel) { return std::string(ZOT_SOURCE_DIR) + "/" + rel; }

Material read(const std::string& mat) {
    Material m;
    std::string err;
    EXPECT_TRUE(read_material(src("examples/materials/" + mat), m, err)) << err;
    return m;
}

// Simpson's rule on 20000 intervals of overlap / (a - b c), c in [-1, 1].
double quadrature(int bi, int bj, double k, double kp) {
    const int n = 20000;
    const double a = k * k + kp * kp, b = 2 * k * kp, h = 2.0 / n;
    double s = 0;
    for (int i = 0; i <= n; ++i) {
        const double c = -1 + i * h;
        const double w = (i == 0 || i == n) ? 1 : (i % 2 ? 4 : 2);
        s += w * holes::overlap(bi, bj, c) / (a - b * c);
    }
    return s * h / 3;
}

}  // namespace

TEST(Holes, OverlapFactorsAndTheirAngularIntegrals) {
    // Wiley: heavy-heavy 1 forward, 1/4 sideways; heavy-light the complement; J = 1/2 apart.
    EXPECT_DOUBLE_EQ(holes::overlap(1, 1, 1.0), 1.0);
    EXPECT_DOUBLE_EQ(holes::overlap(1, 1, 0.0), 0.25);
    EXPECT_DOUBLE_EQ(holes::overlap(2, 1, 1.0), 0.0);
    EXPECT_DOUBLE_EQ(holes::overlap(3, 1, 0.3), 0.0);
    for (double c : {-0.7, 0.1, 0.9})
        EXPECT_DOUBLE_EQ(holes::overlap(1, 1, c) + holes::overlap(1, 2, c), 1.0);
    // Series (k' << k) and closed form (k' near k), against quadrature.
    for (double kp : {0.01, 0.3, 0.6, 0.95})
        for (auto [bi, bj] : {std::pair{1, 1}, {2, 2}, {1, 2}, {3, 3}})
            EXPECT_NEAR(holes::polar_angular(bi, bj, 1.0, kp) / quadrature(bi, bj, 1.0, kp), 1.0,
                        1e-6)
                << bi << bj << " " << kp;
    EXPECT_EQ(holes::polar_angular(1, 3, 1.0, 0.5), 0.0);
}

TEST(Holes, SplitOffPolarRateIsTheTextbookFrohlichRate) {
    // Overlap 1 and a parabolic band: the electron rate of the same band.
    const phys::Band b{0.154, 0.0};
    for (double e : {0.01, 0.05, 0.3})
        for (bool em : {false, true}) {
            const double ef = em ? e - 0.03536 : e + 0.03536;
            if (ef <= 0) continue;
            EXPECT_NEAR(holes::polar(b, e, 3, b, ef, 3, 300, 0.03536, 12.9, 10.92, em)
                            / phys::polar(b, e, 300, 0.03536, 12.9, 10.92, em),
                        1.0, 1e-9)
                << e << em;
        }
}

// g_i(E) W_ij(E) = g_j(E') W_ji(E') exp(-hw/kT) for each absorption and its emission, and
// symmetry of the elastic transitions, through the generated lambdas.
TEST(Holes, DetailedBalanceOfEveryPairInTheShippedHoleAndAlloyModels) {
    for (const char* f : {"si_h.mat", "gaas_h.mat", "ingaas.mat", "algaas.mat"}) {
        const Material m = read(f);
        std::vector<std::vector<Lambda>> ls;
        std::string err;
        ASSERT_TRUE(plan_lambdas(m, ls, err)) << err;
        auto g = [&](int v, double e) {
            const auto& val = m.valleys[v];
            const double md = val.dos > 0 ? val.dos : val.md;
            return val.count * std::pow(md, 1.5) * std::sqrt(e * (1 + val.alpha * e))
                   * (1 + 2 * val.alpha * e);
        };
        int pairs = 0;
        for (int i = 0; i < static_cast<int>(ls.size()); ++i)
            for (const auto& ab : ls[i]) {
                const bool elastic = ab.kind == Kind::ACO && ab.to != i && ab.shift >= 0;
                const bool absorb =
                    ab.kind == Kind::OPLA || ab.kind == Kind::ONPA || ab.kind == Kind::IV0A;
                if (!elastic && !absorb) continue;
                for (const auto& em : ls[ab.to]) {
                    const bool partner =
                        em.to == i && em.phonon == ab.phonon
                        && std::fabs(em.shift + ab.shift) < 1e-12
                        && (elastic ? em.kind == Kind::ACO
                                    : static_cast<int>(em.kind) == static_cast<int>(ab.kind) - 1);
                    if (!partner) continue;
                    const double e = 0.4 + std::max(0.0, -ab.shift), ef = e + ab.shift;
                    const double lhs = g(i, e) * lambda_rate(m, i, ab, e);
                    const double rhs = g(ab.to, ef) * lambda_rate(m, ab.to, em, ef);
                    const double boltz =
                        elastic ? 1.0 : std::exp(-ab.hw * phys::kQ / (phys::kKb * m.temperature));
                    ASSERT_GT(lhs, 0) << f << " " << ab.name;
                    EXPECT_NEAR(lhs / rhs, boltz, 1e-9)
                        << f << " " << ab.name << " valley " << i + 1;
                    ++pairs;
                }
            }
        EXPECT_GE(pairs, 4) << f;
    }
}

namespace {

const std::string kHoles = R"(material  T
table     TEST_H
carrier   holes
temperature 300
doping    1e15
deltae    0.002
etop      1.0
gap       1.1
density   2329
sound     9040
eps_static 11.7
nonpolar_phonon 0.063
valley HH band heavy mass 0.5 alpha 0.5 energy 0 acoustic 9 nonpolar 2e9
valley LH band light mass 0.16 alpha 0 energy 0 acoustic 9 nonpolar 2e9
)";

const std::string kAlloy = R"(material  T
table     TEST_A
carrier   electrons
temperature 300
doping    1e15
deltae    0.002
etop      1.8
alloy     INAS GAAS 0.53
alloy_potential 0.5
)";

std::string edit(std::string s, const std::string& from, const std::string& to) {
    const size_t p = s.find(from);
    EXPECT_NE(p, std::string::npos) << from;
    if (p != std::string::npos) s.replace(p, from.size(), to);
    return s;
}

std::string error_of(const std::string& text) {
    Material m;
    std::string err;
    if (parse_material(text, m, err)) return "";
    return err;
}

}  // namespace

TEST(Holes, DescriptionsMixingCarriersOrMissingBandParametersAreRefused) {
    EXPECT_EQ(error_of(kHoles), "");
    EXPECT_EQ(error_of(kAlloy), "");
    const struct {
        std::string text, want;
    } cases[] = {
        {kHoles + "intervalley HH LH 0 0.03 1e9\n", "line 15: intervalley: an electron field"},
        {edit(kHoles, "energy 0 acoustic 9 nonpolar 2e9\nvalley LH",
              "energy 0 count 2 acoustic 9 nonpolar 2e9\nvalley LH"),
         "line 13: valley HH count"},
        {edit(kHoles, "band light mass 0.16 alpha 0 energy 0 acoustic 9",
              "band light mass 0.16 alpha 0 energy 0"),
         "line 14: valley LH acoustic: missing"},
        {edit(kHoles, "alpha 0 energy 0 acoustic 9 nonpolar 2e9", "alpha 0 energy 0 acoustic 9"),
         "valley HH nonpolar: missing"},
        {edit(kHoles, "band light ", ""), "line 14: valley LH band: missing"},
        {edit(kHoles, "band light", "band heavy"), "line 14: valley LH band: a second heavy band"},
        {edit(kHoles, "carrier   holes", "carrier   electrons"),
         "line 13: valley HH band: a hole-band field"},
        {edit(kAlloy, "INAS GAAS", "INSB GAAS"), "line 8: alloy: unknown binary \"INSB\""},
        {edit(kAlloy, "0.53", "1.2"), "line 8: alloy: x: must lie within 0..1"},
        {edit(kAlloy, "0.53", "0.5x"), "line 8: alloy: x: not a number"},
        {edit(kAlloy, "INAS GAAS", "INAS ALAS"), "line 8: alloy: no alloy of INAS and ALAS"},
        {kAlloy + "gap 0.75\n", "line 10: gap: given by the alloy's binaries"},
        {kAlloy + "valley G mass 0.04 alpha 1 energy 0\n",
         "line 10: valley: the valleys of an alloy"},
        {edit(kAlloy, "carrier   electrons", "carrier   holes"),
         "line 8: alloy: the alloy model describes electrons"},
        {edit(kHoles, "gap", "alloy_potential 0.5\ngap"),
         "line 8: alloy_potential: only for an alloy"},
    };
    for (const auto& c : cases)
        EXPECT_NE(error_of(c.text).find(c.want), std::string::npos) << error_of(c.text);
}

TEST(Alloys, EndsAreTheBinariesAndTheOrderOfTheBinariesDoesNotMatter) {
    std::string err, warn;
    Material a, gaas = read("gaas.mat");
    ASSERT_TRUE(interpolate("INAS", "GAAS", 0.0, a, err, warn)) << err;
    // x = 0: the shipped GaAs model.
    EXPECT_DOUBLE_EQ(a.gap, gaas.gap);
    EXPECT_DOUBLE_EQ(a.density, gaas.density);
    EXPECT_DOUBLE_EQ(a.sound, gaas.sound);
    EXPECT_DOUBLE_EQ(a.eps_static, gaas.eps_static);
    EXPECT_DOUBLE_EQ(a.eps_optic, gaas.eps_optic);
    EXPECT_DOUBLE_EQ(a.hw_polar, gaas.hw_polar);
    EXPECT_DOUBLE_EQ(a.hw_nonpolar, gaas.hw_nonpolar);
    ASSERT_EQ(a.valleys.size(), gaas.valleys.size());
    for (size_t i = 0; i < a.valleys.size(); ++i) {
        const auto &u = a.valleys[i], &v = gaas.valleys[i];
        EXPECT_EQ(u.name, v.name);
        EXPECT_NEAR(u.energy, v.energy, 1e-12) << v.name;
        EXPECT_DOUBLE_EQ(u.md, v.md) << v.name;
        EXPECT_NEAR(u.alpha, v.alpha, 1e-12) << v.name;
        EXPECT_DOUBLE_EQ(u.acoustic, v.acoustic) << v.name;
        EXPECT_DOUBLE_EQ(u.nonpolar, v.nonpolar) << v.name;
        EXPECT_EQ(u.count, v.count) << v.name;
    }
    ASSERT_EQ(a.intervalley.size(), gaas.intervalley.size());
    for (size_t i = 0; i < a.intervalley.size(); ++i) {
        EXPECT_DOUBLE_EQ(a.intervalley[i].hw, gaas.intervalley[i].hw);
        EXPECT_DOUBLE_EQ(a.intervalley[i].coupling, gaas.intervalley[i].coupling);
    }
    // x = 1: InAs (Gamma gap 0.354 eV, mass 0.023, alpha 2.70; L 0.716 and X 1.016 eV above).
    ASSERT_TRUE(interpolate("INAS", "GAAS", 1.0, a, err, warn));
    EXPECT_NEAR(a.gap, 0.354, 1e-12);
    EXPECT_NEAR(a.valleys[0].md, 0.023, 1e-12);
    EXPECT_NEAR(a.valleys[0].alpha, 2.70, 1e-12);
    EXPECT_NEAR(a.valleys[1].energy, 0.716, 1e-12);
    EXPECT_NEAR(a.valleys[2].energy, 1.016, 1e-12);
    EXPECT_NEAR(a.eps_static, 15.15, 1e-12);
    // AlAs is indirect: X lowest, then L, then Gamma.
    ASSERT_TRUE(interpolate("ALAS", "GAAS", 1.0, a, err, warn));
    EXPECT_EQ(a.valleys[0].name + a.valleys[1].name + a.valleys[2].name, "XLG");
    EXPECT_NEAR(a.gap, 2.17, 1e-12);
    // In(0.53)Ga(0.47)As either way round, with the bowed gap 0.53 Ea + 0.47 Eb - 0.53 0.47 0.477.
    Material b;
    ASSERT_TRUE(interpolate("INAS", "GAAS", 0.53, a, err, warn));
    ASSERT_TRUE(interpolate("GAAS", "INAS", 0.47, b, err, warn));
    const double gaas_gap = read("gaas.mat").gap;  // 1.4225 eV at 300 K from its Varshni law
    EXPECT_NEAR(a.gap, 0.53 * 0.354 + 0.47 * gaas_gap - 0.53 * 0.47 * 0.477, 1e-12);
    EXPECT_NEAR(b.gap, a.gap, 1e-12);
    EXPECT_NEAR(b.valleys[0].alpha, a.valleys[0].alpha, 1e-12);
    // Near the direct-indirect crossover of AlGaAs a warning, not at x = 0.3.
    ASSERT_TRUE(interpolate("ALAS", "GAAS", 0.3, a, err, warn));
    EXPECT_EQ(warn, "");
    ASSERT_TRUE(interpolate("ALAS", "GAAS", 0.42, a, err, warn));
    EXPECT_NE(warn.find("crossover"), std::string::npos);
}
