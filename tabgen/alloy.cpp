#include "tabgen/alloy.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace tabgen {
namespace {

// One conduction valley of a binary: band edge above the valence-band top (eV, 300 K),
// density-of-states mass of one valley, non-parabolicity, acoustic deformation potential.
struct Edge {
    double e, m, alpha, acoustic;
};

// Three-valley model of a binary at 300 K (sources in docs/materials.md).
struct Binary {
    const char* name;
    Edge g, l, x;
    double density, sound, eps_s, eps_inf, hw_lo, hw_np, np_l, lattice;
    double hw_gl, hw_gx, hw_ll, hw_lx, hw_xx;  // intervalley phonons (eV)
};

// The 300 K edges of gaas.mat: gap 1.519 - 5.405e-4 T^2 / (T + 204) eV, and the L and X
// separations of its valley statements with their own Varshni coefficients.
constexpr double kVarshni300 = 300.0 * 300.0 / (300.0 + 204.0);
constexpr double kGaasGap300 = 1.519 - 5.405e-4 * kVarshni300;
constexpr double kGaasL300 = 0.3015178 - (6.05e-4 - 5.405e-4) * kVarshni300;
constexpr double kGaasX300 = 0.465625 - (4.60e-4 - 5.405e-4) * kVarshni300;

// clang-format off
constexpr Binary kBinaries[] = {
    // GaAs: the shipped three-valley model (gaas.mat) at 300 K, its band edges from the same
    // Varshni laws: 1.4225 / 1.7125 / 1.9025 eV.
    {"GAAS", {kGaasGap300, 0.063, 0.610, 7.01}, {kGaasGap300 + kGaasL300, 0.222, 0.461, 9.2},
     {kGaasGap300 + kGaasX300, 0.58, 0.204, 9.27},
     5360, 5240, 12.90, 10.92, 0.03536, 0.0343, 3e8, 5.6533e-10, 0.0278, 0.0299, 0.0290, 0.0293, 0.0299},
    // InAs
    {"INAS", {0.354, 0.023, 2.70, 5.8}, {1.07, 0.29, 0.54, 9.2}, {1.37, 0.64, 0.27, 9.27},
     5680, 4280, 15.15, 12.30, 0.0302, 0.0302, 3e8, 6.0583e-10, 0.0278, 0.0299, 0.0290, 0.0293, 0.0299},
    // AlAs
    {"ALAS", {2.95, 0.150, 0.245, 7.01}, {2.35, 0.23, 0.461, 9.2}, {2.17, 0.36, 0.204, 9.27},
     3760, 5650, 10.06, 8.16, 0.0502, 0.0502, 3e8, 5.6611e-10, 0.0413, 0.0413, 0.0413, 0.0413, 0.0413},
};
// clang-format on

// Bowing C(x) = c0 + c1 x of the band edges and of the Gamma mass, E = x Ea + (1-x) Eb - x(1-x) C,
// x the fraction of the first binary (Vurgaftman, Meyer and Ram-Mohan 2001).
struct Pair {
    const char* a;
    const char* b;
    double g0, g1, l, x, mg;
    double warn_lo, warn_hi;  // range of x where the interpolation is poor
    const char* warn;
};

constexpr Pair kPairs[] = {
    {"INAS", "GAAS", 0.477, 0, 0.33, 1.4, 0.0091, 2, 2, ""},
    {"ALAS", "GAAS", 0.37, 0, 0, 0.143, 0, 0.35, 0.5,
     "close to the direct-indirect crossover of AlGaAs (x about 0.4-0.45): the order and spacing "
     "of the "
     "Gamma, L and X valleys are uncertain there"},
};

const Binary* find_binary(const std::string& n) {
    for (const auto& b : kBinaries)
        if (n == b.name) return &b;
    return nullptr;
}

double lin(double a, double b, double x) { return x * a + (1.0 - x) * b; }

}  // namespace

bool parse_alloy_line(const std::vector<std::string>& t, Material& m, std::string& what) {
    if (t.size() != 4) {
        what = "expected: binary binary x (for example: alloy INAS GAAS 0.53)";
        return false;
    }
    for (int i : {1, 2})
        if (!find_binary(t[i])) {
            what = "unknown binary \"" + t[i] + "\" (known: GAAS, INAS, ALAS)";
            return false;
        }
    const char* b = t[3].c_str();
    char* e = nullptr;
    errno = 0;
    const double x = std::strtod(b, &e);
    if (e != b + t[3].size() || errno != 0 || !std::isfinite(x)) {
        what = "x: not a number: \"" + t[3] + "\"";
        return false;
    }
    if (x < 0 || x > 1) {
        what = "x: must lie within 0..1 (the fraction of " + t[1] + ")";
        return false;
    }
    m.alloy_a = t[1];
    m.alloy_b = t[2];
    m.alloy_x = x;
    return true;
}

bool interpolate(const std::string& an, const std::string& bn, double xin, Material& out,
                 std::string& error, std::string& warning) {
    const Binary* a = find_binary(an);
    const Binary* b = find_binary(bn);
    if (!a || !b) {
        error = "unknown binary";
        return false;
    }
    if (!(xin >= 0 && xin <= 1)) {
        error = "x must lie within 0..1";
        return false;
    }
    const Pair* p = nullptr;
    double x = xin;
    for (const auto& q : kPairs) {
        if (an == q.a && bn == q.b) p = &q;
        if (an == q.b && bn == q.a) {
            p = &q;
            x = 1.0 - xin;
            std::swap(a, b);
        }
    }
    if (!p && a != b) {
        error = "no alloy of " + an + " and " + bn + " is known (known: INAS GAAS, ALAS GAAS)";
        return false;
    }
    const double xx = x * (1.0 - x);
    const double cg = p ? p->g0 + p->g1 * x : 0, cl = p ? p->l : 0, cx = p ? p->x : 0,
                 cm = p ? p->mg : 0;
    warning.clear();
    if (p && x > p->warn_lo && x < p->warn_hi) warning = p->warn;

    Edge g{lin(a->g.e, b->g.e, x) - xx * cg, lin(a->g.m, b->g.m, x) - xx * cm, 0,
           lin(a->g.acoustic, b->g.acoustic, x)};
    // Gamma non-parabolicity: Kane's two-band law (1 - m)^2 / Eg, scaled so that each binary
    // keeps its own value.
    auto kane = [](const Edge& v) { return (1.0 - v.m) * (1.0 - v.m) / v.e; };
    g.alpha = kane(g) * lin(a->g.alpha / kane(a->g), b->g.alpha / kane(b->g), x);
    auto side = [&](const Edge& ea, const Edge& eb, double c) {
        return Edge{lin(ea.e, eb.e, x) - xx * c, lin(ea.m, eb.m, x), lin(ea.alpha, eb.alpha, x),
                    lin(ea.acoustic, eb.acoustic, x)};
    };
    const Edge l = side(a->l, b->l, cl), xv = side(a->x, b->x, cx);

    out.gap = std::min({g.e, l.e, xv.e});
    out.density = lin(a->density, b->density, x);
    out.sound = lin(a->sound, b->sound, x);
    out.eps_static = lin(a->eps_s, b->eps_s, x);
    out.eps_optic = lin(a->eps_inf, b->eps_inf, x);
    out.hw_polar = lin(a->hw_lo, b->hw_lo, x);
    out.hw_nonpolar = lin(a->hw_np, b->hw_np, x);
    out.lattice = lin(a->lattice, b->lattice, x);
    struct V {
        const char* n;
        Edge e;
        int count;
        double np;
    };
    std::vector<V> vs = {{"G", g, 1, 0}, {"L", l, 4, lin(a->np_l, b->np_l, x)}, {"X", xv, 3, 0}};
    std::stable_sort(vs.begin(), vs.end(), [](const V& u, const V& w) { return u.e.e < w.e.e; });
    out.valleys.clear();
    for (const auto& v : vs) {
        Valley val;
        val.name = v.n;
        val.ml = val.mt = val.md = v.e.m;
        val.alpha = v.e.alpha;
        val.energy = v.e.e - out.gap;
        val.count = v.count;
        val.acoustic = v.e.acoustic;
        val.nonpolar = v.np;
        out.valleys.push_back(val);
    }
    // Intervalley couplings of the GaAs model (order 0, DtK in eV/cm), phonons interpolated.
    out.intervalley = {{"G", "L", 0, lin(a->hw_gl, b->hw_gl, x), 1e9, 0},
                       {"G", "X", 0, lin(a->hw_gx, b->hw_gx, x), 1e9, 0},
                       {"L", "L", 0, lin(a->hw_ll, b->hw_ll, x), 1e9, 0},
                       {"L", "X", 0, lin(a->hw_lx, b->hw_lx, x), 5e8, 0},
                       {"X", "X", 0, lin(a->hw_xx, b->hw_xx, x), 7e8, 0}};
    return true;
}

bool apply_alloy(Material& m, std::set<std::string>& seen, std::map<std::string, int>& lines,
                 std::string& error) {
    const std::string at = "line " + std::to_string(lines["alloy"]) + ": alloy: ";
    for (const char* f :
         {"gap", "density", "sound", "eps_static", "eps_optic", "polar_phonon", "nonpolar_phonon"})
        if (seen.count(f)) {
            error = "line " + std::to_string(lines[f]) + ": " + f
                    + ": given by the alloy's binaries (remove it)";
            return false;
        }
    if (!m.valleys.empty()) {
        error = "line " + std::to_string(m.valleys[0].line)
                + ": valley: the valleys of an alloy come from its binaries (remove it)";
        return false;
    }
    if (!m.intervalley.empty()) {
        error = "line " + std::to_string(m.intervalley[0].line)
                + ": intervalley: given by the alloy's binaries (remove it)";
        return false;
    }
    if (m.carrier == 'T') {
        error = at + "the alloy model describes electrons (carrier electrons)";
        return false;
    }
    std::string warning;
    if (!interpolate(m.alloy_a, m.alloy_b, m.alloy_x, m, error, warning)) {
        error = at + error;
        return false;
    }
    if (!warning.empty())
        m.warnings.push_back(at + "x = " + std::to_string(m.alloy_x).substr(0, 5) + " is "
                             + warning);
    if (std::fabs(m.temperature - 300.0) > 10.0)
        m.warnings.push_back(
            at + "the binaries' band edges and masses are 300 K values, not corrected for "
            + std::to_string(static_cast<int>(m.temperature)) + " K");
    for (auto& s : m.intervalley) s.line = lines["alloy"];
    for (auto& v : m.valleys) v.line = lines["alloy"];
    for (const char* f :
         {"gap", "density", "sound", "eps_static", "eps_optic", "polar_phonon", "nonpolar_phonon"})
        seen.insert(f);
    return true;
}

double alloy_rate(const Material& m, const phys::Band& b, double e) {
    if (e <= 0 || !(m.alloy_potential > 0)) return 0.0;
    // Harrison and Hauser (1976): (3 pi^3 / 8 hbar) Omega U^2 x(1-x) g(E), Omega = a^3/4 the
    // volume of one atom pair's cation site, g the density of states of one spin.
    const double mass = b.md * phys::kM0;
    const double gam = e * (1.0 + b.alpha * e) * phys::kQ;
    const double g = std::pow(mass, 1.5) * std::sqrt(2.0 * gam) * (1.0 + 2.0 * b.alpha * e)
                     / (2.0 * phys::kPi * phys::kPi * std::pow(phys::kHbar, 3));
    const double u = m.alloy_potential * phys::kQ;
    const double omega = m.lattice * m.lattice * m.lattice / 4.0;
    const double x = m.alloy_x;
    return 3.0 * std::pow(phys::kPi, 3) / (8.0 * phys::kHbar) * omega * u * u * x * (1.0 - x) * g;
}

}  // namespace tabgen
