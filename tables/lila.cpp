// The table file reader: loads the 45 groups of a material's table file into the band and
// lambda-table model.
//
// Every group is read in full into a scratch area, checked, and only then stored, so a
// file whose counts or indexes do not fit the model can never make the reader (or, later,
// the scattering engine) step outside an array. Groups loaded before a failing group keep
// their new values; the failing group stores nothing.
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>

#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "tables/tables.hpp"

namespace tables {
namespace {

// Message numbers of the program's message file.
constexpr int kMsgShort = 4;         // the table file is short or unreadable
constexpr int kMsgInconsistent = 5;  // the table file does not fit the model
constexpr int kGroups = 45;

// Scratch area: the largest integer group is the domain map (all energy indices of all
// valleys), the largest real group the lambda values.
struct Scratch {
    std::array<int32_t, kValleys * kEnergies> i{};
    std::array<float, kRates> r{};
    std::array<char, kValleys> c{};
};
Scratch scratch;

int unit() { return ulog.table_unit; }
int positive(int32_t n) { return n > 0 ? n : 0; }
int nva() { return tablam.NVA; }

// ------------------------------------------------------------------ raw reads
// A free-format read of n values starting on a fresh line. A read of no value still
// takes one line. Returns 0 or the message number for a short or unreadable group.
template <typename T> int read_values(int n, T* out) {
    if (n <= 0) return fio::skip_line(unit()) == fio::ReadStatus::Ok ? 0 : kMsgShort;
    fio::ListReader reader(unit());
    for (int k = 0; k < n; ++k) {
        fio::ReadStatus st;
        if constexpr (std::is_same_v<T, float>) {
            st = reader.next_real(out[k]);
        } else {
            st = reader.next_int(out[k]);
        }
        if (st != fio::ReadStatus::Ok) return kMsgShort;
    }
    reader.end();
    return 0;
}

// The scratch values of type T (int32_t or float).
template <typename T> T* scratch_of() {
    if constexpr (std::is_same_v<T, float>) {
        return scratch.r.data();
    } else {
        return scratch.i.data();
    }
}

// Reads n values of type T into the scratch area. The counts checked in the earlier groups
// keep every group inside it.
template <typename T> int read_n(int n) {
    const size_t room = std::is_same_v<T, float> ? scratch.r.size() : scratch.i.size();
    if (n > static_cast<int>(room)) return kMsgInconsistent;
    return read_values(n, scratch_of<T>());
}
int read_ints(int n) { return read_n<int32_t>(n); }
int read_reals(int n) { return read_n<float>(n); }

// One character per line: the first character of each of n lines (blank for an empty line).
int read_chars(int n) {
    std::string s;
    for (int k = 0; k < n; ++k) {
        if (fio::read_text(unit(), 1, s) != fio::ReadStatus::Ok) return kMsgShort;
        scratch.c[static_cast<size_t>(k)] = s[0];
    }
    return 0;
}

// ------------------------------------------------------------------ group shapes
// Sum of the per-valley counts (negative counts are empty loops).
int total(const Arr1<int32_t, kValleys>& counts) {
    int n = 0;
    for (int iv = 1; iv <= nva(); ++iv) n += positive(counts[static_cast<size_t>(iv)]);
    return n;
}

bool in_range(int64_t v, int64_t lo, int64_t hi) { return v >= lo && v <= hi; }

// A single integer, accepted in lo..hi.
int scalar_int(int32_t& dst, int64_t lo, int64_t hi) {
    if (int rc = read_ints(1)) return rc;
    if (!in_range(scratch.i[0], lo, hi)) return kMsgInconsistent;
    dst = scratch.i[0];
    return 0;
}

int scalar_real(float& dst) {
    if (int rc = read_reals(1)) return rc;
    dst = scratch.r[0];
    return 0;
}

// Values (iv, m), iv = 1..NVA, m = 1..counts(iv), the second index varying fastest, stored
// at dst[iv][m] once every value passes ok(iv, value).
template <typename A, typename Ok>
int per_valley_list(A& dst, const Arr1<int32_t, kValleys>& counts, Ok ok) {
    using T = std::remove_reference_t<decltype(dst[0][0])>;
    if (int rc = read_n<T>(total(counts))) return rc;
    const T* buf = scratch_of<T>();
    int at = 0;
    for (int iv = 1; iv <= nva(); ++iv) {
        for (int m = 1; m <= counts[static_cast<size_t>(iv)]; ++m) {
            if (!ok(iv, buf[at++])) return kMsgInconsistent;
        }
    }
    at = 0;
    for (int iv = 1; iv <= nva(); ++iv) {
        for (int m = 1; m <= counts[static_cast<size_t>(iv)]; ++m) {
            dst[static_cast<size_t>(iv)][static_cast<size_t>(m)] = buf[at++];
        }
    }
    return 0;
}

// One value per valley.
template <typename T, typename Ok> int per_valley(Arr1<T, kValleys>& dst, Ok ok) {
    const int n = nva();
    if (int rc = read_n<T>(n)) return rc;
    const T* buf = scratch_of<T>();
    for (int iv = 1; iv <= n; ++iv) {
        if (!ok(iv, buf[iv - 1])) return kMsgInconsistent;
    }
    for (int iv = 1; iv <= n; ++iv) dst[static_cast<size_t>(iv)] = buf[iv - 1];
    return 0;
}

auto any_value = [](int, auto) { return true; };

// A count per valley, at most cap.
int counts_per_valley(Arr1<int32_t, kValleys>& dst, int32_t cap) {
    return per_valley(dst, [cap](int, int32_t v) { return v <= cap; });
}

// Every valley holds NVA entries (the valley pairs jv = 1..NVA).
Arr1<int32_t, kValleys> pair_counts() {
    Arr1<int32_t, kValleys> c{};
    for (int iv = 1; iv <= nva(); ++iv) c[static_cast<size_t>(iv)] = nva();
    return c;
}

// Intervalley phonon reals (jv, iv, p) for p = 1..4, for iv, jv = 1..NVA.
int phonon_reals(Arr3<float, kValleys, kValleys, kPhonons>& dst) {
    int per_p = nva() * nva();
    if (int rc = read_reals(kPhonons * per_p)) return rc;
    int at = 0;
    for (size_t p = 1; p <= kPhonons; ++p) {
        for (int iv = 1; iv <= nva(); ++iv) {
            for (int jv = 1; jv <= nva(); ++jv) {
                dst[p][static_cast<size_t>(iv)][static_cast<size_t>(jv)] =
                    scratch.r[static_cast<size_t>(at++)];
            }
        }
    }
    return 0;
}

// The per-valley one-character codes, one line each.
int valley_codes(Arr1<char, kValleys>& dst) {
    if (int rc = read_chars(nva())) return rc;
    for (int iv = 1; iv <= nva(); ++iv)
        dst[static_cast<size_t>(iv)] = scratch.c[static_cast<size_t>(iv - 1)];
    return 0;
}

// The reals of rates or totals: n values stored from index 1 once every value passes ok.
template <size_t N, typename Ok> int real_series(std::array<float, N>& dst, int32_t count, Ok ok) {
    int n = positive(count);
    if (n > static_cast<int>(N) - 1) return kMsgInconsistent;
    if (int rc = read_reals(n)) return rc;
    for (int k = 0; k < n; ++k) {
        if (!ok(scratch.r[static_cast<size_t>(k)])) return kMsgInconsistent;
    }
    for (int k = 0; k < n; ++k) dst[static_cast<size_t>(k + 1)] = scratch.r[static_cast<size_t>(k)];
    return 0;
}

// ------------------------------------------------------------------ the groups
// Group 13: the order lists IORDL(k,j,iv), k = 1..NLDOM(j,iv), for iv, for j. Each listed
// lambda number must lie in 1..NLAM(iv).
template <typename F> void each_order_entry(F f) {
    const auto& t = tablam;
    for (size_t iv = 1; iv <= static_cast<size_t>(nva()); ++iv) {
        for (size_t j = 1; static_cast<int>(j) <= t.NDOM[iv]; ++j) {
            for (size_t k = 1; static_cast<int>(k) <= t.NLDOM[iv][j]; ++k) f(iv, j, k);
        }
    }
}

int order_lists() {
    int n = 0;
    each_order_entry([&](size_t, size_t, size_t) { ++n; });
    if (int rc = read_ints(n)) return rc;
    int at = 0;
    bool ok = true;
    each_order_entry([&](size_t iv, size_t, size_t) {
        ok = ok && in_range(scratch.i[static_cast<size_t>(at++)], 1, tablam.NLAM[iv]);
    });
    if (!ok) return kMsgInconsistent;
    at = 0;
    each_order_entry([&](size_t iv, size_t j, size_t k) {
        tablam.IORDL[iv][j][k] = scratch.i[static_cast<size_t>(at++)];
    });
    return 0;
}

// Group 4: the list lengths NLDOM(j,iv), j = 1..NDOM(iv).
int list_lengths() {
    return per_valley_list(tablam.NLDOM, tablam.NDOM, [](int, int32_t v) { return v <= kLambdas; });
}

int discard_reals(int n) { return read_reals(n); }

int read_group(int g) {
    auto& t = tablam;
    auto& c = compac;
    auto& b = bande;
    auto& p = parlam;
    switch (g) {
        case 1: return scalar_int(t.NVA, 1, kValleys);
        case 2: return counts_per_valley(t.NLAM, kLambdas);
        case 3: return counts_per_valley(t.NDOM, kDomains);
        case 4: return list_lengths();
        case 5: return counts_per_valley(t.NEN, kEnergies);
        case 6: return scalar_int(c.NCOMP, std::numeric_limits<int32_t>::min(), kRates);
        case 7: return scalar_int(c.IDRLT1, std::numeric_limits<int32_t>::min(), kTotals);
        case 8: return real_series(c.RLCOMP, c.NCOMP, [](float) { return true; });
        // The totals are -1/rate: a value that is not below 0 gives no flight time.
        case 9:
            return real_series(c.RLTCOMP, c.IDRLT1,
                               [](float v) { return std::isfinite(v) && v < 0.0f; });
        case 10:
            return per_valley_list(t.IPLAM, t.NLAM, [&](int iv, int32_t v) {
                return in_range(v, 0, int64_t{c.NCOMP} - t.NEN[static_cast<size_t>(iv)]);
            });
        case 11:
            return per_valley(t.IPTOT, [&](int iv, int32_t v) {
                return in_range(v, 0, int64_t{c.IDRLT1} - t.NEN[static_cast<size_t>(iv)]);
            });
        case 12:
            return per_valley_list(t.IDOM, t.NEN, [&](int iv, int32_t v) {
                return in_range(v, 1, t.NDOM[static_cast<size_t>(iv)]);
            });
        case 13: return order_lists();
        case 14:
            if (int rc = read_reals(1)) return rc;
            if (!(scratch.r[0] > 0.0f)) return kMsgInconsistent;
            t.DELTAE = scratch.r[0];
            return 0;
        // The top of each valley's table: above 0 and at least one energy step.
        case 15:
            return per_valley(t.ENMAX, [&](int, float v) { return v > 0.0f && v >= t.DELTAE; });
        case 16: return per_valley_list(t.NOMLAM, t.NLAM, any_value);
        case 17: return per_valley_list(t.RLPAR, t.NLAM, any_value);
        case 18:
            return per_valley_list(t.NVFL, t.NLAM,
                                   [](int, int32_t v) { return in_range(v, 1, nva()); });
        case 19:
            return per_valley_list(t.IPHOL, t.NLAM,
                                   [](int, int32_t v) { return in_range(v, 1, kPhonons); });
        case 20:
            if (int rc = read_chars(1)) return rc;
            cbande = scratch.c[0];
            return 0;
        case 21:
            return scalar_int(b.IBMAT, std::numeric_limits<int32_t>::min(),
                              std::numeric_limits<int32_t>::max());
        case 22: return scalar_real(b.ENGAP);
        case 23: return per_valley(b.ML, any_value);
        case 24: return per_valley(b.MT, any_value);
        case 25: return per_valley(b.MEFF, any_value);
        case 26: return per_valley(b.ENVAL, any_value);
        case 27: return scalar_real(b.ENEXTR);
        case 28: return per_valley(b.IBVAL, any_value);
        case 29: return per_valley(b.IFORV, any_value);
        case 30: return per_valley(b.ALP, any_value);
        case 31: return valley_codes(charac.second);
        case 32: return valley_codes(charac.first);
        case 33:
            if (int rc = read_reals(1)) return rc;
            if (!(std::isfinite(scratch.r[0]) && scratch.r[0] > 0.0f)) return kMsgInconsistent;
            p.TEMP = scratch.r[0];
            return 0;
        case 34: return scalar_real(p.RPMAT);
        case 35: return discard_reals(1);
        case 36: return discard_reals(nva());
        case 37: return scalar_real(p.HWOPL);
        case 38: return scalar_real(p.HWONP);
        case 39: return per_valley_list(p.NZIV0, pair_counts(), any_value);
        case 40: return phonon_reals(p.HWIV0);
        case 41: return phonon_reals(p.CPIV0);
        case 42: return per_valley_list(p.NZIV1, pair_counts(), any_value);
        case 43: return phonon_reals(p.HWIV1);
        case 44: return phonon_reals(p.CPIV1);
        case 45: return scalar_real(p.EPBF);
        default: return kMsgShort;
    }
}

}  // namespace

int lila(std::string_view fichier, int32_t imat) {
    const int out = klip::comlu[1];
    if (imat != 1) {
        // The model holds one material.
        fio::List(out) << "LILA: numero de materiau hors limites :" << imat;
        return 1;
    }
    if (klip::opnold(unit(), fichier) != 0) return 1;
    for (int g = 1; g <= kGroups; ++g) {
        if (int msg = read_group(g)) {
            fio::List(out) << " Fichier " << klip::pad(fichier, 15) << " : groupe no" << int32_t{g};
            klip::error(msg);
            fio::close(unit());
            return 1;
        }
    }
    fio::close(unit());
    if (klip::debug.level >= 5) {
        const int dbg = klip::comlu[31];
        fio::List(dbg) << "LILA: materiau no " << imat;
        fio::List(dbg) << "LILA: NVA lu = " << tablam.NVA;
        fio::List(dbg) << "LILA: EPBF lu = " << parlam.EPBF;
    }
    return 0;
}

}  // namespace tables
