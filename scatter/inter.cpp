// The scattering routine: choice of the mechanism that ends a free flight and the state of
// the particle after the event. Runs once per scattering event of every particle: no
// allocation, no formatting outside the cold trace and diagnostic functions.
#include <cmath>
#include <cstdint>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "core/vocabulary.hpp"
#include "particle/records.hpp"
#include "klip/records.hpp"
#include "scatter/scatter.hpp"
#include "scatter/work.hpp"
#include "tables/band.hpp"
#include "tables/model.hpp"

namespace scatter {

namespace {

using detail::work;

constexpr float kMinEnergy = 1.0e-5f;  // lower bound of the final energy of the clamped kinds
// Safety margin of an absorption below the table top, in energy steps.
constexpr float kGuardSteps = static_cast<float>(core::kAbsorptionGuardSteps);

using core::Kind;

// The lambda at position k of the order list, number lam, ends the flight.
inline void chosen(int32_t nvf, int32_t k, int32_t lam, int32_t kind) {
    auto& t = tables::tablam;
    work.nk01 = k;
    work.ilamb = lam;
    particle::INTERION = kind;
    const int32_t dbg = klip::debug.level;
    if (dbg >= 10 && dbg <= 99) detail::trace_selection();
    t.NBLAM[nvf][lam] += 1;
}

// Number of values below r in a selection row. The listed values of a row are
// nondecreasing, so this is the place of the first value at least r; the padding (+inf) is
// never below r, and a row that could not be built (-inf) always is, so that the count then
// reaches the end of the row. Counted without a branch on the values.
inline int32_t count_below(const float* row, float r) {
    const int32_t n = detail::selection.stride;
#if defined(__SSE2__)
    const __m128 rr = _mm_set1_ps(r);
    __m128i below = _mm_setzero_si128();
    for (int32_t j = 0; j < n; j += 4) {
        below = _mm_sub_epi32(below, _mm_castps_si128(_mm_cmplt_ps(_mm_loadu_ps(row + j), rr)));
    }
    below = _mm_add_epi32(below, _mm_shuffle_epi32(below, _MM_SHUFFLE(1, 0, 3, 2)));
    below = _mm_add_epi32(below, _mm_shuffle_epi32(below, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(below);
#else
    int32_t below = 0;
    for (int32_t j = 0; j < n; ++j) below += row[j] < r ? 1 : 0;
    return below;
#endif
}

// Energy index of ENF, domain, one draw on the selection stream and the scan of the
// domain's order list: the first listed lambda whose cumulative probability reaches the draw.
// Sets INTERION and counts the event in NBLAM.
inline void select_mechanism() {
    auto& e = particle::electr;
    auto& t = tables::tablam;
    const int32_t nvf = e.NVF;
    work.ir = 1;

    const float q = e.ENF / t.DELTAE + 1.0f;
    int32_t nen = t.NEN[nvf];
    if (nen > tables::kEnergies) nen = tables::kEnergies;
    if (!(q >= 1.0f) || !(q < static_cast<float>(nen) + 1.0f)) {
        energy_index_fault(e.IP, nvf, e.ENF, detail::trunc_index(q), t.NEN[nvf]);
    }
    const int32_t ie01 = energy_index_of(e.ENF, q);
    work.ie01 = ie01;
    const int32_t nd01 = t.IDOM[nvf][ie01];
    work.nd01 = nd01;

    float r09;
    alea(particle::etir.ISEED[core::kSelectionStream], r09);
    particle::etir.NDRAW[core::kSelectionStream] += 1;
    work.r09 = r09;

    if (detail::selection.ready) {
        const auto& s = detail::selection;
        const float* row = detail::selection_row(nvf, ie01);
        const int32_t n = s.count[nvf][nd01];
        // The last listed lambda (self-scattering in the usual tables) is the most frequent
        // choice: told from its neighbour's value alone.
        int32_t j = 0;
        if (n >= 2 && row[n - 2] < r09 && row[n - 1] >= r09) {
            j = n - 1;
        } else {
            j = count_below(row, r09);
        }
        if (j < n) {
            chosen(nvf, s.pos[nvf][nd01][j], s.lam[nvf][nd01][j], s.kind[nvf][nd01][j]);
            return;
        }
    }
    const auto& order = t.IORDL[nvf][nd01];
    const auto& iplam = t.IPLAM[nvf];
    for (int32_t k = 1; k <= tables::kLambdas; ++k) {
        const int32_t lam = order[k];
        // A position holding no lambda number is skipped.
        if (static_cast<uint32_t>(lam - 1) >= static_cast<uint32_t>(tables::kLambdas)) continue;
        if (t.RLAM[iplam[lam] + ie01] >= r09) {
            chosen(nvf, k, lam, t.ITYPL[nvf][lam]);
            return;
        }
    }
    detail::fatal_trilamb();
}

inline bool traced() {
    const int32_t dbg = klip::debug.level;
    return dbg > 100 && particle::electr.IP == dbg - 100;
}

// Square roots of the valley's masses (kept from the start of the run when there is one).
inline tables::MassRoots mass_roots(int32_t iv) {
    if (detail::selection.ready) return detail::selection.roots[iv];
    return tables::mass_roots_of(iv);
}

// Isotropic final wave vector of energy ENI in valley NVI, drawn where the valley is
// spherical (polar axis = the long axis, or z), then scaled to the valley's masses.
// Direction: cos theta = 1 - 2 r02, phi = 2 pi r03 (uniform on the sphere); modulus
// sqrt(2q/m0 E (1 + alpha E)), the non-parabolic band; the scaling by sqrt(m) per axis maps
// the sphere onto the ellipsoid (Herring and Vogt, Phys. Rev. 101, 944, 1956).
inline void isotropic_draw(float eni) {
    auto& e = particle::electr;
    const auto& b = tables::bande;
    auto& tir = particle::etir;
    e.ENI = eni;

    float r02, r03;
    alea(tir.ISEED[core::kPolarStream], r02);
    tir.NDRAW[core::kPolarStream] += 1;
    const float ct = 1.0f - 2.0f * r02;
    const float st = sqrtf(1.0f - ct * ct);
    alea(tir.ISEED[core::kAzimuthStream], r03);
    tir.NDRAW[core::kAzimuthStream] += 1;
    const float phi = particle::dtafix.DPI * r03;
    work.r02 = r02;
    work.r03 = r03;

    const int32_t iv = e.NVI;
    const float wp = sqrtf(particle::dtafix.DQSM * eni * (1.0f + b.ALP[iv] * eni));
    const float d1 = wp * st * cosf(phi);
    const float d2 = wp * st * sinf(phi);
    const float d3 = wp * ct;

    // An unknown valley form keeps the wave vector and masses of entry.
    const tables::MassRoots r = mass_roots(iv);
    if (!tables::place_on_axes(b.IFORV[iv], r, d1, d2, d3, e.WXI, e.WYI, e.WZI)) return;
    tables::AxisMasses m;
    tables::axis_masses(iv, m);
    e.MXI = m.x;
    e.MYI = m.y;
    e.MZI = m.z;
}

// Polar-optical final wave vector: the new direction makes the angle theta with the old
// wave vector (WXF, WYF, WZF), the y axis serving as reference of the rotation. The valley
// does not change; the masses of entry are kept. The rate favours small angles,
// P(theta) ~ sin theta / (E + E' - 2 sqrt(E E') cos theta); inverting its distribution gives
// cos theta = a - (a - 1) ((a + 1) / (a - 1))^r with a = (E + E') / (2 sqrt(E E'))
// (Fawcett, Boardman and Swain, J. Phys. Chem. Solids 31, 1963, 1970).
inline void polar_draw(float eni) {
    auto& e = particle::electr;
    const auto& b = tables::bande;
    auto& tir = particle::etir;
    e.ENI = eni;
    const float enf = e.ENF;

    const float a = (eni + enf) / 2.0f / sqrtf(eni * enf);
    float r02;
    alea(tir.ISEED[core::kPolarStream], r02);
    tir.NDRAW[core::kPolarStream] += 1;
    work.r02 = r02;
    // A = 1 (no energy exchanged) would give 0 * infinity; its limit is no deflection.
    float ct = 1.0f;
    if (a > 1.0f) ct = a - (a - 1.0f) * powf((a + 1.0f) / (a - 1.0f), r02);

    const int32_t iv = e.NVI;
    const float wp = sqrtf(particle::dtafix.DQSM * b.MEFF[iv] * eni * (1.0f + b.ALP[e.NVF] * eni));
    if (b.IFORV[iv] != 0) detail::fatal_anisotropy();

    float r03;
    alea(tir.ISEED[core::kAzimuthStream], r03);
    tir.NDRAW[core::kAzimuthStream] += 1;
    work.r03 = r03;
    const float phi = particle::dtafix.DPI * r03;
    float s2 = 1.0f - ct * ct;
    if (s2 < 0.0f) s2 = 0.0f;  // rounding of |cos| a hair above 1
    const float st = sqrtf(s2);
    const float cphi = cosf(phi);
    const float sphi = sinf(phi);

    const float wx = e.WXF, wy = e.WYF, wz = e.WZF;
    const float w = sqrtf(wx * wx + wy * wy + wz * wz);
    const float rho = sqrtf(wx * wx + wz * wz);
    if (rho > 0.0f) {
        const float t = ct * rho / w + st * cphi * wy / w;
        e.WXI = wp * (t * wx / rho + st * sphi * wz / rho);
        e.WYI = wp * (ct * wy / w - st * cphi * rho / w);
        e.WZI = wp * (t * wz / rho - st * sphi * wx / rho);
    } else {
        // Old wave vector along y, or of zero length: the y axis is the polar axis
        // (pointing the way of the old wave vector, +y for a zero vector).
        e.WXI = wp * st * cphi;
        e.WYI = wy < 0.0f ? -(wp * ct) : wp * ct;
        e.WZI = wp * st * sphi;
    }
}

inline float clamp_low(float en) { return en < kMinEnergy ? kMinEnergy : en; }

// Absorption guard: true when the final energy comes within kGuardSteps energy steps of
// the top of the tables (the event is then rejected and counted in popsi).
inline bool absorption_rejected(float eni, int32_t iv) {
    const auto& t = tables::tablam;
    if (eni > t.ENMAX[iv] - kGuardSteps * t.DELTAE) {
        inter_state.popsi += 1.0f;
        inter_state.enii = eni;
        return true;
    }
    return false;
}

// The same, with the rejection's trace (debug level 4 and above).
inline bool absorption_rejected_traced(float eni, int32_t iv, int32_t kind) {
    if (!absorption_rejected(eni, iv)) return false;
    if (klip::debug.level >= 4) detail::trace_rejection(kind);
    return true;
}

// Final state of the event of kind `kind`. Returns false when an absorption is rejected
// (the selection then starts again with a fresh draw). Energy balance E' = E -+ hw, plus
// ENVAL(initial) - ENVAL(final) when the valley changes; elastic kinds keep E.
inline bool final_state(int32_t kind) {
    auto& e = particle::electr;
    const auto& t = tables::tablam;
    const auto& b = tables::bande;
    const auto& p = tables::parlam;
    const int32_t nvf = e.NVF;
    const int32_t ilamb = work.ilamb;
    const bool trace = traced();
    float eni;

    switch (kind) {
        case Kind::IMP:
        case Kind::ACO:
        case Kind::ALL: {
            const int32_t nvi = t.NVFL[nvf][ilamb];
            e.NVI = nvi;
            if (trace) detail::trace_mechanism(kind);
            eni = e.ENF - b.ENVAL[nvi] + b.ENVAL[nvf];
            isotropic_draw(clamp_low(eni));
            return true;
        }
        case Kind::PIE:
            e.NVI = nvf;
            if (trace) detail::trace_mechanism(kind);
            isotropic_draw(e.ENF);
            return true;
        case Kind::OPLE:
            e.NVI = nvf;
            if (trace) detail::trace_mechanism(kind);
            polar_draw(clamp_low(e.ENF - p.HWOPL));
            return true;
        case Kind::OPLA:
            e.NVI = nvf;
            if (trace) detail::trace_mechanism(kind);
            eni = e.ENF + p.HWOPL;
            if (absorption_rejected_traced(eni, nvf, kind)) return false;
            polar_draw(clamp_low(eni));
            return true;
        case Kind::ONPE:
        case Kind::ONPA: {
            const int32_t nvi = t.NVFL[nvf][ilamb];
            e.NVI = nvi;
            if (trace) detail::trace_mechanism(kind);
            if (kind == Kind::ONPE) {
                eni = e.ENF - p.HWONP - b.ENVAL[nvi] + b.ENVAL[nvf];
            } else {
                eni = e.ENF + p.HWONP - b.ENVAL[nvi] + b.ENVAL[nvf];
                if (absorption_rejected(eni, nvi)) return false;  // silent
            }
            isotropic_draw(clamp_low(eni));
            return true;
        }
        case Kind::IV0E:
        case Kind::IV0A:
        case Kind::IV1E:
        case Kind::IV1A: {
            const int32_t nvi = t.NVFL[nvf][ilamb];
            const int32_t ipho = t.IPHOL[nvf][ilamb];
            e.NVI = nvi;
            work.ipho = ipho;
            if (trace) detail::trace_mechanism(kind);
            const auto& hw = (kind <= Kind::IV0A) ? p.HWIV0 : p.HWIV1;
            if (kind == Kind::IV0E || kind == Kind::IV1E) {
                eni = e.ENF - hw[ipho][nvf][nvi];  // (final, initial, phonon)
            } else {
                eni = e.ENF + hw[ipho][nvi][nvf];  // the reverse emission's energy
                if (absorption_rejected_traced(eni, nvi, kind)) return false;
            }
            isotropic_draw(clamp_low(eni));
            return true;
        }
        case Kind::SUR:
        case Kind::REC:
            if (trace) detail::trace_mechanism(kind);
            particle::electr.end_becomes_start();
            return true;
        case Kind::ION: {
            e.NVI = nvf;
            if (trace) detail::trace_mechanism(kind);
            const float x = e.ENF - b.ENGAP;
            float r11;
            alea(particle::etir.ISEED[core::kIonisationStream], r11);
            work.r11 = r11;
            eni = r11 * x;
            const float half_step = t.DELTAE / 2.0f;
            if (eni < half_step) eni = half_step;
            isotropic_draw(eni);
            return true;
        }
        case Kind::SSC:
            if (trace) detail::trace_mechanism(kind);
            particle::electr.end_becomes_start();
            particle::NBINTER += 1;
            return true;
        default: detail::fatal_unknown_lambda();
    }
}

}  // namespace

void inter() {
    // A rejected absorption is drawn again; a table whose draw is rejected every time (an
    // order list that always selects the absorption at the table top) must not loop for ever.
    int32_t redraws = 0;
    for (;;) {
        select_mechanism();
        if (final_state(particle::INTERION)) return;
        if (++redraws >= kEndlessLimit) [[unlikely]] {
            const auto& e = particle::electr;
            endless_redraw_fault(e.IP, e.NVF, e.ENF, redraws);
        }
    }
}

}  // namespace scatter
