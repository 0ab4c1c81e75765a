// Working values of the scattering routine and its cold paths (traces and fatal
// diagnostics). Internal to the scattering engine and its tests.
#pragma once

#include <array>
#include <cstdint>

#include "tables/band.hpp"
#include "tables/model.hpp"

namespace scatter::detail {

// Static working values of inter; overwritten at every event (popsi and enii live in
// scatter::inter_state because they carry information from one call to the next).
struct Work {
    int32_t ir = 0;     // material number, always 1
    int32_t ie01 = 0;   // energy index of ENF
    int32_t nd01 = 0;   // energy domain of ENF in valley NVF
    int32_t nk01 = 0;   // position of the chosen lambda in the domain's order list
    int32_t ilamb = 0;  // number of the chosen lambda in valley NVF
    int32_t ipho = 0;   // phonon number of an intervalley lambda
    float r09 = 0.0f;   // deviate of the selection
    float r02 = 0.0f;   // deviate of the polar angle
    float r03 = 0.0f;   // deviate of the azimuth
    float r11 = 0.0f;   // deviate of the energy share kept after an impact ionisation
};
inline Work work;

// Traces (written on the output unit klip::comlu[1]).
[[gnu::cold, gnu::noinline]] void trace_selection();
// Mechanism trace of event kind `kind` (1..16) for the traced particle.
[[gnu::cold, gnu::noinline]] void trace_mechanism(int32_t kind);
// Rejected absorption of kind 5, 9 or 11 (popsi and enii already updated).
[[gnu::cold, gnu::noinline]] void trace_rejection(int32_t kind);

// Diagnostic blocks, written without ending the program (the fatal paths below call them).
void write_trilamb();
void write_unknown_lambda();
void write_anisotropy();
void write_energy_index_fault(int32_t ip, int32_t iv, float energy, int32_t index, int32_t nen);

// Fatal conditions: diagnostic block, flush, end with status 2.
[[noreturn, gnu::cold, gnu::noinline]] void fatal_trilamb();
[[noreturn, gnu::cold, gnu::noinline]] void fatal_unknown_lambda();
[[noreturn, gnu::cold, gnu::noinline]] void fatal_anisotropy();

// Truncation toward zero of a float index value that may be out of the int range or NaN
// (NaN gives 0, out-of-range values the nearest int limit).
int32_t trunc_index(float q);

}  // namespace scatter::detail

namespace scatter::detail {

// The mechanism-selection rows: for every valley and energy index, the RLAM values of the
// lambdas in the order list of the energy's domain, side by side, so that the selection reads
// one row instead of following IDOM, IORDL and IPLAM to scattered RLAM entries. Built from the
// tables at the start of a run (prepare_selection); the scan over them gives the same lambda
// as the scan over the order list.
struct Selection {
    static constexpr int32_t kWidth = tables::kLambdas;  // capacity of a row
    bool ready = false;                                  // the rows match the tables loaded
    int32_t stride = 0;  // row length in use: the longest list, rounded up to 4
    // Per valley and domain: the number of listed lambdas, their positions in the order
    // list, their numbers and their kinds (ITYPL). Rows are padded with +inf; a row that
    // could not be built holds -inf (see fill_row): the selection then follows the order
    // list itself.
    std::array<std::array<int32_t, tables::kDomains + 1>, tables::kValleys + 1> count{};
    std::array<std::array<std::array<uint8_t, kWidth>, tables::kDomains + 1>, tables::kValleys + 1>
        pos{};
    std::array<std::array<std::array<uint8_t, kWidth>, tables::kDomains + 1>, tables::kValleys + 1>
        lam{};
    std::array<std::array<std::array<int32_t, kWidth>, tables::kDomains + 1>, tables::kValleys + 1>
        kind{};
    // Per valley: the square roots of MEFF, ML and MT that scale an isotropic draw.
    using Roots = tables::MassRoots;
    std::array<Roots, tables::kValleys + 1> roots{};
    // The rows, valley after valley, energy index after energy index (see selection_row).
    alignas(64) std::array<float, tables::kValleys * tables::kEnergies * kWidth> value{};
};
inline Selection selection;

inline const float* selection_row(int32_t iv, int32_t ie) {
    const size_t row =
        static_cast<size_t>(iv - 1) * tables::kEnergies + static_cast<size_t>(ie - 1);
    return selection.value.data() + row * static_cast<size_t>(selection.stride);
}

}  // namespace scatter::detail
