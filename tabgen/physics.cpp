#include "tabgen/physics.hpp"

#include <algorithm>
#include <cmath>

namespace tabgen::phys {
namespace {

double gamma_of(const Band& b, double e) { return e * (1.0 + b.alpha * e); }

// Density of states of one valley, one spin direction, per unit volume and energy (1/J m3).
double dos(const Band& b, double e) {
    if (e <= 0) return 0.0;
    const double m = b.md * kM0;
    const double g = gamma_of(b, e) * kQ;
    return std::pow(m, 1.5) * std::sqrt(2.0 * g) * (1.0 + 2.0 * b.alpha * e)
           / (2.0 * kPi * kPi * kHbar * kHbar * kHbar);
}

double k_squared(const Band& b, double e) {
    return 2.0 * b.md * kM0 * gamma_of(b, e) * kQ / (kHbar * kHbar);
}

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

double polar(const Band& b, double e, double t, double hw, double eps_s, double eps_inf,
             bool emission) {
    const double ef = emission ? e - hw : e + hw;
    if (e <= 0 || ef <= 0) return 0.0;
    const double a = b.alpha;
    const double g = gamma_of(b, e), gf = gamma_of(b, ef);
    const double sg = std::sqrt(g), sgf = std::sqrt(gf);
    const double ca = 2.0 * (1.0 + a * e) * (1.0 + a * ef) + a * (g + gf);
    const double cA = ca * ca;
    const double cB = -2.0 * a * sg * sgf * (4.0 * (1.0 + a * e) * (1.0 + a * ef) + a * (g + gf));
    const double cC =
        4.0 * (1.0 + a * e) * (1.0 + a * ef) * (1.0 + 2.0 * a * e) * (1.0 + 2.0 * a * ef);
    const double f0 = (cA * std::log(std::fabs((sg + sgf) / (sg - sgf))) + cB) / cC;
    const double w = hw * kQ / kHbar;
    const double pre = kQ * kQ * w * (1.0 / eps_inf - 1.0 / eps_s) * std::sqrt(b.md * kM0)
                       / (4.0 * kPi * std::sqrt(2.0) * kEps0 * kHbar);
    const double n = occupation(hw, t) + (emission ? 1.0 : 0.0);
    return pre * (1.0 + 2.0 * a * ef) / std::sqrt(g * kQ) * f0 * n;
}

namespace {
// Fermi integral of order j by quadrature in x = u^2 (order 1/2) or directly (the integrand
// x^j is smooth after the substitution x = u^2 for both orders used here):
// \int_0^inf x^j f dx = \int_0^inf 2 u^(2j+1) f(u^2) du.
double fermi_integral(double j, double eta) {
    const double top = std::max(eta, 0.0) + 60.0;  // f(x) < e^-60 beyond
    const double umax = std::sqrt(top);
    const int n = 4000;
    const double h = umax / n;
    double sum = 0;
    for (int i = 0; i <= n; ++i) {
        const double u = i * h;
        const double x = u * u;
        const double f = x - eta > 0 ? std::exp(eta - x) / (1.0 + std::exp(eta - x))
                                     : 1.0 / (1.0 + std::exp(x - eta));
        const double v = 2.0 * std::pow(u, 2.0 * j + 1.0) * f;
        sum += (i == 0 || i == n ? 1.0 : (i % 2 ? 4.0 : 2.0)) * v;
    }
    return sum * h / 3.0 / std::tgamma(j + 1.0);
}

// Common factor (2 pi / hbar) N (z q^2/eps)^2 g(E) and k^2.
void impurity_parts(const Band& b, double e, double ni, double eps_s, double z, double& pre,
                    double& k2) {
    const double eps = eps_s * kEps0;
    k2 = k_squared(b, e);
    const double c = z * kQ * kQ / eps;
    pre = 2.0 * kPi / kHbar * ni * 1e6 * c * c * dos(b, e);
}
}  // namespace

double fermi_half(double eta) { return fermi_integral(0.5, eta); }
double fermi_mhalf(double eta) { return fermi_integral(-0.5, eta); }

double effective_dos(double md, double t) {
    return 2.0 * std::pow(md * kM0 * kKb * t / (2.0 * kPi * kHbar * kHbar), 1.5) * 1e-6;
}

double reduced_fermi_level(double n, double nc) {
    // F_1/2 rises monotonically; bracket between the non-degenerate and degenerate limits.
    double lo = std::log(n / nc) - 1.0,
           hi = std::max(lo + 2.0, std::pow(0.75 * std::sqrt(kPi) * n / nc, 2.0 / 3.0) + 2.0);
    for (int i = 0; i < 100; ++i) {
        const double mid = 0.5 * (lo + hi);
        (fermi_half(mid) < n / nc ? lo : hi) = mid;
        if (hi - lo < 1e-10) break;
    }
    return 0.5 * (lo + hi);
}

double screening_beta2(double n, double nc, double t, double eps_s) {
    if (n <= 0) return 0.0;
    const double eta = reduced_fermi_level(n, nc);
    return kQ * kQ * n * 1e6 / (eps_s * kEps0 * kKb * t) * fermi_mhalf(eta) / fermi_half(eta);
}

double impurity_momentum(const Band& b, double e, double ni, double beta2, double eps_s, double z) {
    if (e <= 0 || ni <= 0 || beta2 <= 0) return 0.0;
    double pre, k2;
    impurity_parts(b, e, ni, eps_s, z, pre, k2);
    const double eta = 4.0 * k2 / beta2;
    // ln(1 + eta) - eta/(1 + eta), by its series when eta is small (cancellation).
    const double g = eta < 1e-3 ? eta * eta * (0.5 - 2.0 * eta / 3.0 + 0.75 * eta * eta)
                                : std::log1p(eta) - eta / (1.0 + eta);
    return pre / (8.0 * k2 * k2) * g;
}

double impurity_total(const Band& b, double e, double ni, double beta2, double eps_s, double z) {
    if (e <= 0 || ni <= 0 || beta2 <= 0) return 0.0;
    double pre, k2;
    impurity_parts(b, e, ni, eps_s, z, pre, k2);
    return pre / (beta2 * (beta2 + 4.0 * k2));
}

double ionisation(double e, double eth, double p) {
    if (e <= eth) return 0.0;
    const double x = (e - eth) / eth;
    return p * x * x;
}

}  // namespace tabgen::phys
