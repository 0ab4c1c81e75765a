// Scattering rates against closed-form textbook expressions, and detailed balance.
#include <gtest/gtest.h>

#include <cmath>

#include "tabgen/build.hpp"
#include "tabgen/physics.hpp"

using namespace tabgen::phys;

namespace {

constexpr double kT300 = 300.0;
const Band kParab{0.067, 0.0};

double kt_ev(double t) { return kKb * t / kQ; }

// Parabolic acoustic rate: sqrt(2) m^3/2 Xi^2 kT sqrt(E) / (pi hbar^4 rho u^2).
double acoustic_closed(double md, double e, double t, double xi, double rho, double u) {
    const double m = md * kM0, x = xi * kQ;
    return std::sqrt(2.0) * std::pow(m, 1.5) * x * x * kKb * t * std::sqrt(e * kQ)
           / (kPi * std::pow(kHbar, 4) * rho * u * u);
}

// Parabolic polar optical rate written with inverse hyperbolic sines and the velocity.
double polar_closed(double md, double e, double t, double hw, double es, double ei, bool emission) {
    const double w = hw * kQ / kHbar;
    const double v = std::sqrt(2.0 * e * kQ / (md * kM0));
    const double n = 1.0 / (std::exp(hw / kt_ev(t)) - 1.0);
    const double pre = kQ * kQ * w * (1.0 / ei - 1.0 / es) / (2.0 * kPi * kEps0 * kHbar * v);
    return emission ? pre * (n + 1.0) * std::asinh(std::sqrt(e / hw - 1.0))
                    : pre * n * std::asinh(std::sqrt(e / hw));
}

}  // namespace

TEST(Rates, AcousticMatchesTheParabolicFormulaAndGrowsWithNonParabolicity) {
    for (double e : {0.001, 0.04, 0.3}) {
        const double r = acoustic(kParab, e, kT300, 7.0, 5360, 5240);
        EXPECT_NEAR(r / acoustic_closed(0.067, e, kT300, 7.0, 5360, 5240), 1.0, 1e-12) << e;
    }
    // Non-parabolic: sqrt(gamma)(1 + 2 alpha E) times the parabolic rate at the same E.
    const Band np{0.067, 0.6};
    const double e = 0.2;
    const double ratio = std::sqrt(1 + 0.6 * e) * (1 + 1.2 * e);
    EXPECT_NEAR(
        acoustic(np, e, kT300, 7.0, 5360, 5240) / acoustic(kParab, e, kT300, 7.0, 5360, 5240),
        ratio, 1e-12);
    // Equipartition: proportional to temperature.
    EXPECT_NEAR(acoustic(kParab, e, 77, 7, 5360, 5240) / acoustic(kParab, e, 300, 7, 5360, 5240),
                77.0 / 300.0, 1e-12);
}

TEST(Rates, PolarOpticalMatchesTheParabolicFormulaAndItsThreshold) {
    const double hw = 0.03536;
    for (double e : {0.01, 0.05, 0.1, 0.5}) {
        EXPECT_NEAR(polar(kParab, e, kT300, hw, 12.9, 10.92, false)
                        / polar_closed(0.067, e, kT300, hw, 12.9, 10.92, false),
                    1.0, 1e-9)
            << e;
        if (e > hw) {
            EXPECT_NEAR(polar(kParab, e, kT300, hw, 12.9, 10.92, true)
                            / polar_closed(0.067, e, kT300, hw, 12.9, 10.92, true),
                        1.0, 1e-9)
                << e;
        }
    }
    EXPECT_EQ(polar(kParab, 0.9 * hw, kT300, hw, 12.9, 10.92, true), 0.0);
    // Magnitude for GaAs at 0.1 eV: absorption plus emission near 1e13 /s.
    const double sum = polar(kParab, 0.1, kT300, hw, 12.9, 10.92, true)
                       + polar(kParab, 0.1, kT300, hw, 12.9, 10.92, false);
    EXPECT_GT(sum, 5e12);
    EXPECT_LT(sum, 2e13);
    // A tiny non-parabolicity changes the rate only slightly (the overlap formula tends
    // to the parabolic one).
    const Band almost{0.067, 1e-6};
    EXPECT_NEAR(polar(almost, 0.1, kT300, hw, 12.9, 10.92, true)
                    / polar(kParab, 0.1, kT300, hw, 12.9, 10.92, true),
                1.0, 1e-5);
}

TEST(Rates, ZeroOrderOpticalMatchesTheDensityOfStatesFormula) {
    // (DtK)^2 Z m^3/2 sqrt(gamma')(1 + 2 alpha E') / (sqrt(2) pi rho omega hbar^3) (N or N+1)
    const Band b{0.222, 0.461};
    const double dtk = 1e9 * kQ * 100, hw = 0.029, ef = 0.12, rho = 5360;
    const double w = hw * kQ / kHbar, n = occupation(hw, kT300);
    const double closed = dtk * dtk * 3 * std::pow(0.222 * kM0, 1.5)
                          * std::sqrt(ef * (1 + 0.461 * ef) * kQ) * (1 + 2 * 0.461 * ef)
                          / (std::sqrt(2.0) * kPi * rho * w * std::pow(kHbar, 3));
    EXPECT_NEAR(optical0(b, ef, kT300, 1e9, hw, 3, rho, false) / (closed * n), 1.0, 1e-12);
    EXPECT_NEAR(optical0(b, ef, kT300, 1e9, hw, 3, rho, true) / (closed * (n + 1)), 1.0, 1e-12);
    EXPECT_EQ(optical0(b, 0.0, kT300, 1e9, hw, 3, rho, true), 0.0);
    EXPECT_EQ(optical0(b, -0.01, kT300, 1e9, hw, 3, rho, false), 0.0);
}

TEST(Rates, FirstOrderGrowsWithTheWaveVectorsAndVanishesBelowThreshold) {
    const Band b{0.2, 0.0};
    const double d1 = 5.0, hw = 0.03, rho = 5000;
    // Parabolic: rate / (sqrt(E') (E + E')) is a constant.
    const double c1 =
        optical1(b, 0.1, b, 0.07, kT300, d1, hw, 1, rho, true) / (std::sqrt(0.07) * 0.17);
    const double c2 =
        optical1(b, 0.5, b, 0.47, kT300, d1, hw, 1, rho, true) / (std::sqrt(0.47) * 0.97);
    EXPECT_NEAR(c1 / c2, 1.0, 1e-12);
    EXPECT_EQ(optical1(b, 0.02, b, -0.01, kT300, d1, hw, 1, rho, true), 0.0);
}

TEST(Rates, BrooksHerringMomentumRateMatchesTheClassicFormula) {
    // N q^4 / (16 sqrt(2) pi eps^2 sqrt(m) E^3/2) [ln(1+eta) - eta/(1+eta)], eta = 8 m E / (hbar^2 beta^2)
    const double n = 1e17, e = 0.05, eps = 12.9 * kEps0, m = 0.067 * kM0;
    const double beta2 = kQ * kQ * n * 1e6 / (eps * kKb * kT300);
    const double eta = 8 * m * e * kQ / (kHbar * kHbar * beta2);
    const double closed =
        n * 1e6 * std::pow(kQ, 4)
        / (16 * std::sqrt(2.0) * kPi * eps * eps * std::sqrt(m) * std::pow(e * kQ, 1.5))
        * (std::log(1 + eta) - eta / (1 + eta));
    EXPECT_NEAR(impurity_momentum(kParab, e, n, beta2, 12.9) / closed, 1.0, 1e-9);
    EXPECT_EQ(impurity_momentum(kParab, e, 0.0, beta2, 12.9), 0.0);
    // Doubly charged centres scatter four times as much at the same screening.
    EXPECT_NEAR(impurity_momentum(kParab, e, n, beta2, 12.9, 2.0) / closed, 4.0, 1e-9);
    // Strong screening: nearly isotropic, so the momentum rate approaches the total (the
    // small-eta series takes over from the logarithms here).
    const double b19 = kQ * kQ * 1e25 / (eps * kKb * kT300);
    EXPECT_NEAR(impurity_momentum(kParab, 1e-6, 1e19, b19, 12.9)
                    / impurity_total(kParab, 1e-6, 1e19, b19, 12.9),
                1.0, 1e-3);
}

// Blakemore's normalisation: F_1/2(0) = 0.765147, F_-1/2(0) = (1 - sqrt 2) zeta(1/2) / sqrt(pi)
// = 0.604899; exp(eta) when non-degenerate; Sommerfeld's expansion when degenerate.
TEST(Rates, FermiIntegralsAndScreeningLimits) {
    EXPECT_NEAR(fermi_half(0.0), 0.765147, 2e-6);
    EXPECT_NEAR(fermi_mhalf(0.0), 0.604899, 2e-6);
    EXPECT_NEAR(fermi_half(-12.0) / std::exp(-12.0), 1.0, 1e-5);
    const double d = 25.0;
    EXPECT_NEAR(
        fermi_half(d)
            / (4.0 / (3.0 * std::sqrt(kPi)) * std::pow(d, 1.5) * (1 + kPi * kPi / (8 * d * d))),
        1.0, 1e-5);
    EXPECT_NEAR(fermi_half(reduced_fermi_level(3.7e18, 4.4e17)) * 4.4e17 / 3.7e18, 1.0, 1e-8);
    // Joyce and Dixon (Appl. Phys. Lett. 31, 354 (1977)): eta = ln r + sum A_i r^i, r = n/Nc.
    for (double r : {0.1, 1.0, 5.0}) {
        const double jd = std::log(r) + 3.53553e-1 * r - 4.95009e-3 * r * r + 1.48386e-4 * r * r * r
                          - 4.42563e-6 * r * r * r * r;
        EXPECT_NEAR(reduced_fermi_level(r * 1e18, 1e18), jd, 2e-3) << r;
    }
    // GaAs Gamma: Nc = 4.4e17 cm-3 at 300 K (Sze, Physics of semiconductor devices).
    EXPECT_NEAR(effective_dos(0.067, 300) / 4.4e17, 1.0, 0.03);
    const double eps = 12.9 * kEps0;
    // Non-degenerate: the Debye value.
    const double debye = kQ * kQ * 1e20 / (eps * kKb * kT300);
    EXPECT_NEAR(screening_beta2(1e14, 4.4e17, kT300, 12.9) / debye, 1.0, 1e-3);
    // Degenerate (1e20 cm-3 at 4 K): Thomas-Fermi, 3 q^2 n / (2 eps EF), EF = hbar^2 (3 pi^2 n)^2/3 / 2m.
    const double nc4 = effective_dos(0.067, 4.0), n = 1e26;
    const double ef = kHbar * kHbar * std::pow(3 * kPi * kPi * n, 2.0 / 3.0) / (2 * 0.067 * kM0);
    EXPECT_NEAR(screening_beta2(1e20, nc4, 4.0, 12.9) / (1.5 * kQ * kQ * n / (eps * ef)), 1.0,
                1e-3);
}

// Microscopic reversibility: Z_i g_i(E) W_abs(i->j, E) = Z_j g_j(E') W_em(j->i, E') N/(N+1),
// with E' the final energy of the absorption.
TEST(Rates, DetailedBalanceOfEmissionAndAbsorption) {
    const double t = kT300, hw = 0.03536;
    const double boltz = std::exp(-hw / kt_ev(t));
    auto g = [](const Band& b, double e) {
        return std::pow(b.md, 1.5) * std::sqrt(e * (1 + b.alpha * e)) * (1 + 2 * b.alpha * e);
    };
    const Band gam{0.063, 0.61};
    for (double e : {0.005, 0.05, 0.3}) {
        const double ab = polar(gam, e, t, hw, 12.9, 10.92, false);
        const double em = polar(gam, e + hw, t, hw, 12.9, 10.92, true);
        EXPECT_NEAR(g(gam, e) * ab / (g(gam, e + hw) * em), boltz, 1e-9 * boltz) << e;
    }
    // Intervalley between different valleys (Gamma: 1 valley, L: 4 valleys 0.29 eV higher).
    const Band l{0.222, 0.461};
    const double hwi = 0.0278, de = 0.29;
    for (double e : {0.3, 0.5, 1.0}) {  // Gamma energy, absorption to L
        const double el = e + hwi - de;
        const double ab = optical0(l, el, t, 1e9, hwi, 4, 5360, false);
        const double em =
            optical0(gam, e, t, 1e9, hwi, 1, 5360, true);  // from L at el back to Gamma
        EXPECT_NEAR(1 * g(gam, e) * ab / (4 * g(l, el) * em), std::exp(-hwi / kt_ev(t)), 1e-9) << e;
    }
}
