// The mechanism-selection rows, built from the tables at the start of a run.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/reset.hpp"
#include "scatter/scatter.hpp"
#include "scatter/work.hpp"
#include "tables/model.hpp"

namespace scatter {

namespace {

using detail::selection;
using detail::Selection;

// The listed lambdas of one domain, in the order of the scan (positions holding no lambda
// number are skipped by the scan and left out here).
void list_domain(int32_t iv, int32_t nd) {
    const auto& order = tables::tablam.IORDL[iv][nd];
    int32_t n = 0;
    for (int32_t k = 1; k <= tables::kLambdas; ++k) {
        const int32_t lam = order[k];
        if (static_cast<uint32_t>(lam - 1) >= static_cast<uint32_t>(tables::kLambdas)) continue;
        selection.pos[iv][nd][n] = static_cast<uint8_t>(k);
        selection.lam[iv][nd][n] = static_cast<uint8_t>(lam);
        selection.kind[iv][nd][n] = tables::tablam.ITYPL[iv][lam];
        ++n;
    }
    selection.count[iv][nd] = n;
}

float* row_at(int32_t iv, int32_t ie) { return const_cast<float*>(detail::selection_row(iv, ie)); }

// The row of valley iv at energy index ie: the values of the listed lambdas, then +inf
// (never below a deviate). A row whose domain or entries lie outside the tables, or whose
// values are not nondecreasing numbers, stays -inf throughout (always below): the count
// then reaches the end of the row and the selection follows the order list itself.
void fill_row(int32_t iv, int32_t ie) {
    const auto& t = tables::tablam;
    const int32_t nd = t.IDOM[iv][ie];
    if (nd < 1 || nd > tables::kDomains) return;
    const int32_t n = selection.count[iv][nd];
    std::array<float, Selection::kWidth> v{};
    for (int32_t j = 0; j < n; ++j) {
        const int32_t at = t.IPLAM[iv][selection.lam[iv][nd][j]] + ie;
        if (at < 1 || at > tables::kRates) return;
        v[j] = t.RLAM[at];
        if (std::isnan(v[j]) || (j > 0 && !(v[j - 1] <= v[j]))) return;
    }
    float* row = row_at(iv, ie);
    for (int32_t j = 0; j < selection.stride; ++j) {
        row[j] = j < n ? v[j] : std::numeric_limits<float>::infinity();
    }
}

}  // namespace

void prepare_selection() {
    const auto& t = tables::tablam;
    forget_selection();
    const int32_t nva = t.NVA < 0 ? 0 : (t.NVA > tables::kValleys ? tables::kValleys : t.NVA);
    int32_t longest = 0;
    for (int32_t iv = 1; iv <= nva; ++iv) {
        for (int32_t nd = 1; nd <= tables::kDomains; ++nd) {
            list_domain(iv, nd);
            if (selection.count[iv][nd] > longest) longest = selection.count[iv][nd];
        }
    }
    selection.stride = (longest + 3) / 4 * 4;
    if (selection.stride == 0) selection.stride = 4;
    const size_t used = static_cast<size_t>(tables::kValleys) * tables::kEnergies
                        * static_cast<size_t>(selection.stride);
    std::fill_n(selection.value.begin(), used, -std::numeric_limits<float>::infinity());
    for (int32_t iv = 1; iv <= nva; ++iv) {
        int32_t nen = t.NEN[iv];
        if (nen > tables::kEnergies) nen = tables::kEnergies;
        for (int32_t ie = 1; ie <= nen; ++ie) fill_row(iv, ie);
    }
    for (int32_t iv = 1; iv <= tables::kValleys; ++iv) {
        selection.roots[iv] = tables::mass_roots_of(iv);
    }
    index_guess.inv_deltae = 1.0f / t.DELTAE;
    index_guess.ready = std::isfinite(index_guess.inv_deltae);
    selection.ready = true;
}

void reset_state() {
    core::restore_initial(selection);
    core::restore_initial(detail::work);
    core::restore_initial(index_guess);
    core::restore_initial(inter_state);
}

void forget_selection() {
    selection.ready = false;
    index_guess.ready = false;
}

int32_t exact_energy_index(float q) { return static_cast<int32_t>(q); }

float taken_value(float x) { return x; }

}  // namespace scatter
