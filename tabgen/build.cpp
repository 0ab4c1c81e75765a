#include "tabgen/build.hpp"

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>

#include "tabgen/alloy.hpp"
#include "tabgen/holes.hpp"
#include "tabgen/physics.hpp"

namespace tabgen {
namespace {

bool is_absorption(Kind k) {
    return k == Kind::OPLA || k == Kind::ONPA || k == Kind::IV0A || k == Kind::IV1A;
}
bool has_final_energy(Kind k) {
    return k != Kind::IMP && k != Kind::ACO && k != Kind::ION && k != Kind::SSC && k != Kind::ALL;
}

// Number of energy points of each valley: the tables of every valley reach the same total
// energy etop, so a carrier changing valley always lands inside the new valley's table.
// Computed in double and bounded before any conversion: absurd inputs give a count above
// the capacity, not an overflow.
double points_of(const Material& m, const Valley& v) {
    return std::floor((m.etop - v.energy) / m.deltae + 1e-9);
}

struct Ordered {
    int iv, jv, order, slot;
    double hw, coupling;
};

bool expand_intervalley(const Material& m, std::vector<Ordered>& out, std::string& error) {
    const int nva = static_cast<int>(m.valleys.size());
    auto index = [&](const std::string& n) {
        for (int i = 0; i < nva; ++i)
            if (m.valleys[i].name == n) return i;
        return -1;
    };
    std::map<std::tuple<int, int, int>, int> slots;  // (low, high, order) -> phonons used
    for (const auto& s : m.intervalley) {
        std::vector<std::pair<int, int>> pairs;  // unordered pairs (a <= b)
        if (s.b == "=") {
            for (int i = 0; i < nva; ++i) pairs.push_back({i, i});
        } else if (s.b == "~") {
            for (int i = 0; i < nva; ++i)
                for (int j = i + 1; j < nva; ++j) pairs.push_back({i, j});
        } else {
            int a = index(s.a), b = index(s.b);
            pairs.push_back({std::min(a, b), std::max(a, b)});
        }
        for (auto [a, b] : pairs) {
            int& used = slots[{a, b, s.order}];
            if (used == tables::kPhonons) {
                error = "line " + std::to_string(s.line) + ": intervalley: more than 4 order-"
                        + std::to_string(s.order) + " phonons between valleys " + m.valleys[a].name
                        + " and " + m.valleys[b].name;
                return false;
            }
            ++used;
            out.push_back({a, b, s.order, used, s.hw, s.coupling});
            if (a != b) out.push_back({b, a, s.order, used, s.hw, s.coupling});
        }
    }
    return true;
}

}  // namespace

phys::Band band_of(const Valley& v) { return phys::Band{v.dos > 0 ? v.dos : v.md, v.alpha}; }

std::string lambda_name(const char* head, char c4, char c5, char c6) {
    std::string s(head);
    s += c4;
    s += c5;
    s += c6;
    return s;
}

char digit(int d) { return static_cast<char>('0' + d); }

int32_t pack40(const std::string& name) {
    std::array<int, 6> k{};
    for (int i = 0; i < 6; ++i) {
        char c = i < static_cast<int>(name.size()) ? name[i] : ' ';
        size_t code = core::kRadix40Alphabet.find(c);
        if (code == std::string_view::npos) code = 0;
        k[i] = static_cast<int>(code);
    }
    return core::pack_radix40(k);
}

bool end_lambda_list(const Material& m, int i, std::vector<Lambda>& ls, std::string& error) {
    if (m.ionisation) ls.push_back({Kind::ION, i, 1, 0, 0, 1, 0, "ION   "});
    ls.push_back({Kind::SSC, i, 1, 0, 0, 1, 0, "SSC   "});
    if (static_cast<int>(ls.size()) <= tables::kLambdas) return true;
    error = "valley " + m.valleys[i].name + ": " + std::to_string(ls.size())
            + " mechanisms, more than 40";
    return false;
}

bool plan_lambdas(const Material& m, std::vector<std::vector<Lambda>>& out, std::string& error) {
    if (m.carrier == 'T') return plan_holes(m, out, error);
    const int nva = static_cast<int>(m.valleys.size());
    out.assign(nva, {});
    std::vector<Ordered> iv;
    if (!expand_intervalley(m, iv, error)) return false;
    for (int i = 0; i < nva; ++i) {
        const Valley& v = m.valleys[i];
        auto& ls = out[i];
        if (m.doping > 0) ls.push_back({Kind::IMP, i, 1, 0, 0, 1, 0, "IMP   "});
        if (m.alloy_potential > 0)
            ls.push_back({Kind::ALL, i, 1, 0, m.alloy_potential, 1, 0, "ALL   "});
        if (v.acoustic > 0) ls.push_back({Kind::ACO, i, 1, 0, v.acoustic, 1, 0, "ACO   "});
        if (m.hw_polar > 0) {
            ls.push_back({Kind::OPLE, i, 1, m.hw_polar, 0, 1, -m.hw_polar, "OPL  E"});
            ls.push_back({Kind::OPLA, i, 1, m.hw_polar, 0, 1, m.hw_polar, "OPL  A"});
        }
        if (v.nonpolar > 0) {
            ls.push_back({Kind::ONPE, i, 1, m.hw_nonpolar, v.nonpolar, 1, -m.hw_nonpolar,
                          lambda_name("ONP", digit(i + 1), ' ', 'E')});
            ls.push_back({Kind::ONPA, i, 1, m.hw_nonpolar, v.nonpolar, 1, m.hw_nonpolar,
                          lambda_name("ONP", digit(i + 1), ' ', 'A')});
        }
        for (const auto& o : iv) {
            if (o.iv != i) continue;
            const Valley& f = m.valleys[o.jv];
            const int z = o.jv == i ? v.count - 1 : f.count;
            if (z <= 0) continue;
            const double de = f.energy - v.energy;
            const char* head = o.order == 0 ? "IV0" : "IV1";
            const Kind ke = o.order == 0 ? Kind::IV0E : Kind::IV1E;
            const Kind ka = o.order == 0 ? Kind::IV0A : Kind::IV1A;
            ls.push_back({ke, o.jv, o.slot, o.hw, o.coupling, z, -o.hw - de,
                          lambda_name(head, digit(o.jv + 1), digit(o.slot), 'E')});
            ls.push_back({ka, o.jv, o.slot, o.hw, o.coupling, z, o.hw - de,
                          lambda_name(head, digit(o.jv + 1), digit(o.slot), 'A')});
        }
        if (!end_lambda_list(m, i, ls, error)) return false;
    }
    return true;
}

double lambda_rate(const Material& m, int iv, const Lambda& l, double e) {
    const Valley& v = m.valleys[iv];
    const Valley& f = m.valleys[l.to];
    const double t = m.temperature;
    const double ef = e + l.shift;
    if (l.hole) return hole_rate(m, iv, l, e);
    switch (l.kind) {
        case Kind::IMP: {
            const double x = m.imp_n0 > 0 ? std::pow(m.doping / m.imp_n0, m.imp_power) : 0.0;
            const double c = 1.0 + m.imp_gain * x / (1.0 + x);
            return c
                   * phys::impurity_momentum(band_of(v), e, m.doping, m.beta2,
                                             m.eps_static > 0 ? m.eps_static : 1.0);
        }
        case Kind::ACO: return phys::acoustic(band_of(v), e, t, v.acoustic, m.density, m.sound);
        case Kind::OPLE:
            return phys::polar(band_of(v), e, t, l.hw, m.eps_static, m.eps_optic, true);
        case Kind::OPLA:
            return phys::polar(band_of(v), e, t, l.hw, m.eps_static, m.eps_optic, false);
        case Kind::ONPE:
        case Kind::ONPA:
        case Kind::IV0E:
        case Kind::IV0A:
            return phys::optical0(band_of(f), ef, t, l.coupling, l.hw, l.z, m.density,
                                  l.kind == Kind::ONPE || l.kind == Kind::IV0E);
        case Kind::IV1E:
        case Kind::IV1A:
            return phys::optical1(band_of(v), e, band_of(f), ef, t, l.coupling, l.hw, l.z,
                                  m.density, l.kind == Kind::IV1E);
        case Kind::ION: {
            const double eth = m.ii_threshold - (v.energy - m.valleys[0].energy);
            return phys::ionisation(e, eth, m.ii_rate);
        }
        case Kind::ALL: return alloy_rate(m, band_of(v), e);
        default: return 0.0;  // self-scattering, and the kinds not planned here
    }
    return 0.0;
}

double tabulated_rate(const Material& m, int iv, const Lambda& l, int ie, float enmax_final) {
    const double lo = (ie - 1) * m.deltae, hi = ie * m.deltae, mid = (ie - 0.5) * m.deltae;
    if ((has_final_energy(l.kind) || l.shift != 0) && lo + l.shift < 0) return 0.0;
    if ((is_absorption(l.kind) || l.shift > 0)
        && hi + l.shift > enmax_final - core::kAbsorptionGuardSteps * m.deltae)
        return 0.0;
    if (l.kind == Kind::ION) {
        const double eth = m.ii_threshold - (m.valleys[iv].energy - m.valleys[0].energy);
        if (lo < eth) return 0.0;
    }
    return lambda_rate(m, iv, l, mid);
}

std::vector<int> choose_domains(const std::vector<double>& total, int maxdom, int reach) {
    const int n = static_cast<int>(total.size());
    if (n == 0) return {};
    const double top = *std::max_element(total.begin(), total.end());
    const double floor_t = top > 0 ? top * 1e-3 : 1.0;
    std::vector<double> s(n + 1, 0.0), t(n + 1, 0.0), win(n + 1, 0.0);
    for (int i = 1; i <= n; ++i) {
        t[i] = total[i - 1];
        s[i] = s[i - 1] + 1.0 / std::max(t[i], floor_t);
    }
    for (int b = 1; b <= n; ++b) {
        double w = 0;
        for (int i = b; i <= std::min(n, b + reach); ++i) w = std::max(w, t[i]);
        win[b] = w;
    }
    const double inf = std::numeric_limits<double>::infinity();
    const int dmax = std::max(1, std::min(maxdom, n));
    std::vector<std::vector<double>> f(dmax + 1, std::vector<double>(n + 1, inf));
    std::vector<std::vector<int>> from(dmax + 1, std::vector<int>(n + 1, 0));
    f[0][0] = 0;
    for (int d = 1; d <= dmax; ++d) {
        for (int b = 1; b <= n; ++b) {
            double mx = win[b];
            for (int a = b; a >= 1; --a) {
                mx = std::max(mx, t[a]);
                if (f[d - 1][a - 1] == inf) continue;
                const double c = f[d - 1][a - 1] + std::max(mx, floor_t) * (s[b] - s[a - 1]);
                if (c < f[d][b]) {
                    f[d][b] = c;
                    from[d][b] = a - 1;
                }
            }
        }
    }
    int best = 1;
    for (int d = 2; d <= dmax; ++d)
        if (f[d][n] < f[best][n] * (1.0 - 1e-9)) best = d;
    std::vector<int> ends;
    for (int d = best, b = n; d >= 1; --d) {
        ends.push_back(b);
        b = from[d][b];
    }
    std::reverse(ends.begin(), ends.end());
    return ends;
}

namespace {

bool fill_grid(const Material& m, Generated& g, std::string& error) {
    const int nva = static_cast<int>(m.valleys.size());
    long ncomp = 0, ntot = 0;
    for (int i = 0; i < nva; ++i) {
        const double points = points_of(m, m.valleys[i]);
        if (!(points <= tables::kEnergies)) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.0f", points);
            error = "deltae/etop: valley " + m.valleys[i].name + " needs " + buf
                    + " energy points, more than 1500";
            return false;
        }
        const int n = static_cast<int>(points);
        g.t.NEN[i + 1] = n;
        g.t.ENMAX[i + 1] = static_cast<float>(n * m.deltae);
        ncomp += static_cast<long>(n) * static_cast<long>(g.lambdas[i].size());
        ntot += n;
    }
    if (ntot > tables::kTotals) {
        error = "deltae/etop: " + std::to_string(ntot) + " total-rate values, more than 5000";
        return false;
    }
    if (ncomp > tables::kRates) {
        error = "deltae/etop: " + std::to_string(ncomp)
                + " rate values (mechanisms x energy points), more than 80000";
        return false;
    }
    return true;
}

void fill_band(const Material& m, Generated& g) {
    const int nva = static_cast<int>(m.valleys.size());
    g.t.NVA = nva;
    g.t.DELTAE = static_cast<float>(m.deltae);
    g.cbande = m.carrier == 'E' ? 'N' : 'P';
    g.b.IBMAT = 1;
    g.b.ENGAP = static_cast<float>(m.gap);
    g.b.ENEXTR = static_cast<float>(m.valleys[0].energy);
    g.p.TEMP = static_cast<float>(m.temperature);
    g.p.RPMAT = static_cast<float>(m.density);
    g.p.EPBF = 0.0f;
    g.p.HWOPL = static_cast<float>(m.hw_polar);
    g.p.HWONP = static_cast<float>(m.hw_nonpolar);
    for (int i = 0; i < nva; ++i) {
        const Valley& v = m.valleys[i];
        const int iv = i + 1;
        g.b.ML[iv] = static_cast<float>(v.ml);
        g.b.MT[iv] = static_cast<float>(v.mt);
        g.b.MEFF[iv] = static_cast<float>(v.md);
        g.b.ENVAL[iv] = static_cast<float>(v.energy);
        g.b.IBVAL[iv] = v.count;
        g.b.IFORV[iv] = v.form;
        g.b.ALP[iv] = static_cast<float>(v.alpha);
        g.ch.first[iv] = v.name[0];
        g.ch.second[iv] = v.name[0];
    }
    for (int i = 0; i < nva; ++i)
        for (const Lambda& l : g.lambdas[i]) {
            const bool o0 = l.kind == Kind::IV0E || l.kind == Kind::IV0A;
            const bool o1 = l.kind == Kind::IV1E || l.kind == Kind::IV1A;
            if (!o0 && !o1) continue;
            // HWIV(jv,iv,p) is the kinetic energy lost by an emission from iv to jv,
            // hw + ENVAL(jv) - ENVAL(iv); an absorption from iv to jv gains HWIV(iv,jv,p).
            int a = i + 1, b = l.to + 1;  // stored as [p][initial][final]
            float hwiv = static_cast<float>(-l.shift);
            if (is_absorption(l.kind)) {
                std::swap(a, b);
                hwiv = static_cast<float>(l.shift);
            }
            (o0 ? g.p.NZIV0 : g.p.NZIV1)[i + 1][l.to + 1] = l.z;
            (o0 ? g.p.HWIV0 : g.p.HWIV1)[l.phonon][a][b] = hwiv;
            (o0 ? g.p.CPIV0 : g.p.CPIV1)[l.phonon][a][b] = static_cast<float>(l.coupling);
        }
}

bool fill_valley(const Material& m, Generated& g, int i, int& ncomp, int& ntot,
                 std::string& error) {
    const int iv = i + 1;
    const int n = g.t.NEN[iv];
    const auto& ls = g.lambdas[i];
    const int nl = static_cast<int>(ls.size());
    auto& rate = g.rates[i];
    auto& total = g.total[i];
    rate.assign(nl, std::vector<double>(n, 0.0));
    total.assign(n, 0.0);
    for (int k = 0; k < nl; ++k)
        for (int ie = 1; ie <= n; ++ie) {
            rate[k][ie - 1] = tabulated_rate(m, i, ls[k], ie, g.t.ENMAX[ls[k].to + 1]);
            total[ie - 1] += rate[k][ie - 1];
            if (!std::isfinite(rate[k][ie - 1]) || rate[k][ie - 1] > 1e20) {
                const std::string nm = ls[k].name.substr(0, ls[k].name.find_last_not_of(' ') + 1);
                error = "valley " + m.valleys[i].name + ": rate of " + nm
                        + " beyond 1e20 /s at index " + std::to_string(ie)
                        + " (check the parameters of this mechanism)";
                return false;
            }
        }
    // With one total for the valley every energy is bounded by the same total, and the
    // domains only shorten the order lists: equal widths, each listing what is active in it.
    int reach = n;
    std::vector<int> ends;
    if (m.total_per_domain) {
        reach = static_cast<int>(std::ceil(m.reach / m.deltae - 1e-9));
        ends = choose_domains(total, m.domains, reach);
    } else {
        const int nd = std::min(m.domains, n);
        for (int j = 1; j <= nd; ++j)
            ends.push_back(static_cast<int>(static_cast<long>(n) * j / nd));
    }
    g.t.NLAM[iv] = nl;
    g.t.NDOM[iv] = static_cast<int>(ends.size());
    g.t.IPTOT[iv] = ntot;
    for (int k = 1; k <= nl; ++k) {
        g.t.IPLAM[iv][k] = ncomp + (k - 1) * n;
        g.t.NOMLAM[iv][k] = pack40(ls[k - 1].name);
        g.t.NVFL[iv][k] = ls[k - 1].to + 1;
        g.t.IPHOL[iv][k] = ls[k - 1].phonon;
        g.t.RLPAR[iv][k] =
            static_cast<float>(*std::max_element(rate[k - 1].begin(), rate[k - 1].end()));
    }
    g.gamma[i].clear();
    int lo = 1;
    for (int j = 1; j <= static_cast<int>(ends.size()); ++j) {
        const int hi = ends[j - 1];
        double gam = 0;
        const int from = m.total_per_domain ? lo : 1;
        for (int ie = from; ie <= std::min(n, hi + reach); ++ie) gam = std::max(gam, total[ie - 1]);
        gam = gam > 0 ? gam * (1.0 + 1e-6) : 1e10;
        g.gamma[i].push_back(gam);
        // Order list: the mechanisms active in the domain, most frequent first,
        // self-scattering last.
        std::vector<std::pair<double, int>> act;
        for (int k = 0; k < nl - 1; ++k) {
            double sum = 0;
            for (int ie = lo; ie <= hi; ++ie) sum += rate[k][ie - 1];
            if (sum > 0) act.push_back({-sum, k + 1});
        }
        std::sort(act.begin(), act.end());
        act.push_back({0.0, nl});
        g.t.NLDOM[iv][j] = static_cast<int>(act.size());
        for (int p = 0; p < static_cast<int>(act.size()); ++p)
            g.t.IORDL[iv][j][p + 1] = act[p].second;
        for (int ie = lo; ie <= hi; ++ie) {
            g.t.IDOM[iv][ie] = j;
            g.c.RLTCOMP[ntot + ie] = static_cast<float>(-1.0 / gam);
            double cum = 0;
            for (int p = 0; p + 1 < static_cast<int>(act.size()); ++p) {
                const int k = act[p].second;
                cum += rate[k - 1][ie - 1];
                g.c.RLCOMP[g.t.IPLAM[iv][k] + ie] = std::min(1.0f, static_cast<float>(cum / gam));
            }
            g.c.RLCOMP[g.t.IPLAM[iv][nl] + ie] = 1.0f;
        }
        lo = hi + 1;
    }
    ncomp += nl * n;
    ntot += n;
    return true;
}

}  // namespace

std::unique_ptr<Generated> build_tables(const Material& m, std::string& error) {
    auto g = std::make_unique<Generated>();
    if (!plan_lambdas(m, g->lambdas, error)) return nullptr;
    if (!fill_grid(m, *g, error)) return nullptr;
    fill_band(m, *g);
    const int nva = static_cast<int>(m.valleys.size());
    g->rates.resize(nva);
    g->total.resize(nva);
    g->gamma.resize(nva);
    int ncomp = 0, ntot = 0;
    for (int i = 0; i < nva; ++i)
        if (!fill_valley(m, *g, i, ncomp, ntot, error)) return nullptr;
    g->c.NCOMP = ncomp;
    g->c.IDRLT1 = ntot;
    // The working copies hold what the simulator will hold after loading.
    for (int k = 1; k <= ncomp; ++k) g->t.RLAM[k] = g->c.RLCOMP[k];
    for (int k = 1; k <= ntot; ++k) g->t.RLTOT[k] = g->c.RLTCOMP[k];
    return g;
}

}  // namespace tabgen
