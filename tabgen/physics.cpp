#include "tabgen/physics.hpp"

#include <cmath>

namespace tabgen::phys {
namespace {

double gamma_of(const Band& b, double e) { return e * (1.0 + b.alpha * e); }

// Density of states of one valley, one spin direction, per unit volume and energy (1/J m3).
double dos(const Band& b, double e) {
    if (e <= 0) return 0.0;
    const double m = b.md * kM0;
    const double g = gamma_of(b, e) * kQ;
    return std::pow(m, 1.5) * std::sqrt(2.0 * g) * (1.0 + 2.0 * b.alpha * e) / (2.0 * kPi * kPi * kHbar * kHbar * kHbar);
}

double k_squared(const Band& b, double e) { return 2.0 * b.md * kM0 * gamma_of(b, e) * kQ / (kHbar * kHbar); }

}  // namespace

double occupation(double hw, double t) { return 1.0 / std::expm1(hw * kQ / (kKb * t)); }

double acoustic(const Band& b, double e, double t, double xi, double rho, double u) {
    const double x = xi * kQ;
    return 2.0 * kPi * x * x * kKb * t / (kHbar * rho * u * u) * dos(b, e);
}

double optical0(const Band& bf, double ef, double t, double dtk, double hw, int z, double rho,
                bool emission) {
    if (ef <= 0) return 0.0;
    const double d = dtk * kQ * 100.0;  // eV/cm -> J/m
    const double w = hw * kQ / kHbar;
    const double n = occupation(hw, t) + (emission ? 1.0 : 0.0);
    return kPi * d * d * z / (rho * w) * dos(bf, ef) * n;
}

double optical1(const Band& bi, double e, const Band& bf, double ef, double t, double d1, double hw,
                int z, double rho, bool emission) {
    if (ef <= 0) return 0.0;
    const double d = d1 * kQ;
    const double w = hw * kQ / kHbar;
    const double n = occupation(hw, t) + (emission ? 1.0 : 0.0);
    const double q2 = k_squared(bi, e) + k_squared(bf, ef);
    return kPi * d * d * q2 * z / (rho * w) * dos(bf, ef) * n;
}

double polar(const Band& b, double e, double t, double hw, double eps_s, double eps_inf, bool emission) {
    const double ef = emission ? e - hw : e + hw;
    if (e <= 0 || ef <= 0) return 0.0;
    const double a = b.alpha;
    const double g = gamma_of(b, e), gf = gamma_of(b, ef);
    const double sg = std::sqrt(g), sgf = std::sqrt(gf);
    const double ca = 2.0 * (1.0 + a * e) * (1.0 + a * ef) + a * (g + gf);
    const double cA = ca * ca;
    const double cB = -2.0 * a * sg * sgf * (4.0 * (1.0 + a * e) * (1.0 + a * ef) + a * (g + gf));
    const double cC = 4.0 * (1.0 + a * e) * (1.0 + a * ef) * (1.0 + 2.0 * a * e) * (1.0 + 2.0 * a * ef);
    const double f0 = (cA * std::log(std::fabs((sg + sgf) / (sg - sgf))) + cB) / cC;
    const double w = hw * kQ / kHbar;
    const double pre = kQ * kQ * w * (1.0 / eps_inf - 1.0 / eps_s) * std::sqrt(b.md * kM0) /
                       (4.0 * kPi * std::sqrt(2.0) * kEps0 * kHbar);
    const double n = occupation(hw, t) + (emission ? 1.0 : 0.0);
    return pre * (1.0 + 2.0 * a * ef) / std::sqrt(g * kQ) * f0 * n;
}

namespace {
// Common factor (2 pi / hbar) N (q^2/eps)^2 g(E) and the screening ratio 4k^2/beta^2.
void impurity_parts(const Band& b, double e, double t, double n, double eps_s, double& pre, double& k2,
                    double& beta2) {
    const double ni = n * 1e6;
    const double eps = eps_s * kEps0;
    beta2 = kQ * kQ * ni / (eps * kKb * t);
    k2 = k_squared(b, e);
    const double c = kQ * kQ / eps;
    pre = 2.0 * kPi / kHbar * ni * c * c * dos(b, e);
}
}  // namespace

double impurity_momentum(const Band& b, double e, double t, double n, double eps_s) {
    if (e <= 0 || n <= 0) return 0.0;
    double pre, k2, beta2;
    impurity_parts(b, e, t, n, eps_s, pre, k2, beta2);
    const double eta = 4.0 * k2 / beta2;
    return pre / (8.0 * k2 * k2) * (std::log1p(eta) - eta / (1.0 + eta));
}

double impurity_total(const Band& b, double e, double t, double n, double eps_s) {
    if (e <= 0 || n <= 0) return 0.0;
    double pre, k2, beta2;
    impurity_parts(b, e, t, n, eps_s, pre, k2, beta2);
    return pre / (beta2 * (beta2 + 4.0 * k2));
}

double ionisation(double e, double eth, double p) {
    if (e <= eth) return 0.0;
    const double x = (e - eth) / eth;
    return p * x * x;
}

}  // namespace tabgen::phys
