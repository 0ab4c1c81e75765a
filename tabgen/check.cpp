// Validity conditions of a generated table, checked before anything is written.
#include <algorithm>
#include <cmath>

#include "tabgen/build.hpp"

namespace tabgen {
namespace {

bool bad(std::string& error, const std::string& what) {
    error = "inconsistent table: " + what;
    return false;
}

std::string at(int iv, int k) {
    return " (valley " + std::to_string(iv) + ", lambda " + std::to_string(k) + ")";
}

bool check_counts(const Generated& g, std::string& e) {
    const auto& t = g.t;
    if (t.NVA < 1 || t.NVA > tables::kValleys) return bad(e, "NVA outside 1..4");
    if (g.c.NCOMP < 0 || g.c.NCOMP > tables::kRates) return bad(e, "NCOMP above 80000");
    if (g.c.IDRLT1 < 0 || g.c.IDRLT1 > tables::kTotals) return bad(e, "IDRLT1 above 5000");
    if (!(t.DELTAE > 0)) return bad(e, "DELTAE not above 0");
    for (int iv = 1; iv <= t.NVA; ++iv) {
        if (t.NLAM[iv] < 1 || t.NLAM[iv] > tables::kLambdas) return bad(e, "NLAM outside 1..40");
        if (t.NDOM[iv] < 1 || t.NDOM[iv] > tables::kDomains) return bad(e, "NDOM outside 1..15");
        if (t.NEN[iv] < 1 || t.NEN[iv] > tables::kEnergies) return bad(e, "NEN outside 1..1500");
        if (t.IPTOT[iv] < 0 || t.IPTOT[iv] + t.NEN[iv] > g.c.IDRLT1)
            return bad(e, "IPTOT + NEN above IDRLT1");
        // Every energy the flight accepts, below ENMAX - DELTAE/2, has an index <= NEN.
        if (static_cast<int>((t.ENMAX[iv] - t.DELTAE / 2) / t.DELTAE + 1.0f) > t.NEN[iv])
            return bad(e, "ENMAX beyond the energy indices");
        for (int k = 1; k <= t.NLAM[iv]; ++k) {
            if (t.IPLAM[iv][k] < 0 || t.IPLAM[iv][k] + t.NEN[iv] > g.c.NCOMP)
                return bad(e, "IPLAM + NEN above NCOMP" + at(iv, k));
            if (t.NVFL[iv][k] < 1 || t.NVFL[iv][k] > t.NVA)
                return bad(e, "NVFL outside 1..NVA" + at(iv, k));
            if (t.IPHOL[iv][k] < 1 || t.IPHOL[iv][k] > tables::kPhonons)
                return bad(e, "IPHOL outside 1..4" + at(iv, k));
        }
        for (int j = 1; j <= t.NDOM[iv]; ++j) {
            if (t.NLDOM[iv][j] < 1 || t.NLDOM[iv][j] > tables::kLambdas)
                return bad(e, "NLDOM outside 1..40");
            for (int k = 1; k <= t.NLDOM[iv][j]; ++k)
                if (t.IORDL[iv][j][k] < 1 || t.IORDL[iv][j][k] > t.NLAM[iv])
                    return bad(e, "IORDL outside 1..NLAM");
        }
        for (int ie = 1; ie <= t.NEN[iv]; ++ie)
            if (t.IDOM[iv][ie] < 1 || t.IDOM[iv][ie] > t.NDOM[iv])
                return bad(e, "IDOM outside 1..NDOM");
    }
    return true;
}

// Along each order list the cumulative values rise to exactly 1, and the total bounds the
// tabulated rates: every value is the partial sum of the rates divided by the total.
bool check_probabilities(const Generated& g, std::string& e) {
    const auto& t = g.t;
    for (int iv = 1; iv <= t.NVA; ++iv)
        for (int ie = 1; ie <= t.NEN[iv]; ++ie) {
            const float tot = g.c.RLTCOMP[t.IPTOT[iv] + ie];
            if (!(tot < 0) || !std::isfinite(tot))
                return bad(e, "total not negative at index " + std::to_string(ie));
            const int j = t.IDOM[iv][ie];
            const int n = t.NLDOM[iv][j];
            float prev = 0;
            double sum = 0;
            for (int p = 1; p <= n; ++p) {
                const int k = t.IORDL[iv][j][p];
                const float v = g.c.RLCOMP[t.IPLAM[iv][k] + ie];
                if (!(v >= prev) || v > 1.0f)
                    return bad(e, "cumulative values not rising within 0..1" + at(iv, k));
                prev = v;
                if (!g.rates.empty()) sum += g.rates[iv - 1][k - 1][ie - 1];
            }
            if (prev != 1.0f)
                return bad(e, "last listed value is not 1" + at(iv, t.IORDL[iv][j][n]));
            if (!g.total.empty() && sum * static_cast<double>(-tot) > 1.0 + 1e-6)
                return bad(e, "total below the rates at index " + std::to_string(ie) + " of valley "
                                  + std::to_string(iv));
            // Every mechanism with a rate here is listed.
            for (int k = 1; !g.rates.empty() && k <= t.NLAM[iv]; ++k) {
                if (g.rates[iv - 1][k - 1][ie - 1] <= 0) continue;
                bool listed = false;
                for (int p = 1; p <= n; ++p) listed = listed || t.IORDL[iv][j][p] == k;
                if (!listed) return bad(e, "active lambda not listed in its domain" + at(iv, k));
            }
        }
    return true;
}

// The energy each kind of event exchanges, as the simulator applies it, matches the
// kinetic-energy change the rate was computed for.
bool check_energies(const Generated& g, std::string& e) {
    const auto& t = g.t;
    for (int iv = 1; iv <= t.NVA && !g.lambdas.empty(); ++iv)
        for (int k = 1; k <= t.NLAM[iv]; ++k) {
            const Lambda& l = g.lambdas[iv - 1][k - 1];
            const int jv = t.NVFL[iv][k], p = t.IPHOL[iv][k];
            float change = 0;
            switch (l.kind) {
                case Kind::IMP:
                case Kind::ACO:
                case Kind::ALL:
                    change = g.b.ENVAL[iv] - g.b.ENVAL[jv];
                    break;  // elastic in total energy
                case Kind::OPLE: change = -g.p.HWOPL; break;
                case Kind::OPLA: change = g.p.HWOPL; break;
                case Kind::ONPE: change = -g.p.HWONP - g.b.ENVAL[jv] + g.b.ENVAL[iv]; break;
                case Kind::ONPA: change = g.p.HWONP - g.b.ENVAL[jv] + g.b.ENVAL[iv]; break;
                case Kind::IV0E: change = -g.p.HWIV0[p][iv][jv]; break;
                case Kind::IV0A: change = g.p.HWIV0[p][jv][iv]; break;
                case Kind::IV1E: change = -g.p.HWIV1[p][iv][jv]; break;
                case Kind::IV1A: change = g.p.HWIV1[p][jv][iv]; break;
                default: continue;
            }
            // Single-precision energies: the tolerance grows with the energies involved.
            const float scale =
                std::fabs(g.b.ENVAL[iv]) + std::fabs(g.b.ENVAL[jv]) + std::fabs(change);
            if (std::fabs(change - l.shift) > 1e-6 * std::max(1.0f, scale))
                return bad(e, "exchanged energy differs from the rate's" + at(iv, k));
            if ((l.kind == Kind::OPLE || l.kind == Kind::OPLA) && g.b.IFORV[iv] != 0)
                return bad(e, "polar optical lambda in a non-spherical valley" + at(iv, k));
        }
    return true;
}

}  // namespace

bool check_tables(const Generated& g, std::string& error) {
    return check_counts(g, error) && check_probabilities(g, error) && check_energies(g, error);
}

}  // namespace tabgen
