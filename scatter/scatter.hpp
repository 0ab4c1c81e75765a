// The scattering engine: the random-number generator and the scattering routine.
#pragma once

#include <cstdint>

namespace scatter {

// 19-bit congruential generator; the seed belongs to the caller and is advanced in place.
inline void alea(int32_t& seed, float& r) {
    // Wrapping product: exact for every seed the program holds (0..524287), and defined
    // for any other value.
    int32_t s = static_cast<int32_t>(static_cast<uint32_t>(seed) * 3125u + 7u);
    s = s % 524288;
    if (s == 0) s = 7;
    seed = s;
    r = static_cast<float>(s) / 524288.0f;
}

// Choose the mechanism of the event that ends the current free flight (particle::electr's F
// fields) and write the state after it into the I fields, INTERION and NBINTER.
// Inconsistent tables write their diagnostic on the output unit and end the program.
void inter();

// Build the selection rows from the tables at the start of a run, so that inter reads one
// row per event; forget them when the tables change. Without them inter follows the order
// list itself (same choice, slower).
void prepare_selection();
void forget_selection();
// Every working record of the engine back to its start-of-process value.
void reset_state();

// The energy index of an energy en whose exact index value q = en / DELTAE + 1 has been
// checked to lie within the table: while the division is still running, the product by
// 1 / DELTAE already gives the index, and the exact value, compared afterwards, wins where
// the two differ (at most one rounding near a whole number). Same result, shorter wait.
struct IndexGuess {
    bool ready = false;       // inv_deltae belongs to the tables loaded and is finite
    float inv_deltae = 0.0f;  // 1 / DELTAE (1/eV)
};
inline IndexGuess index_guess;
[[gnu::noinline]] int32_t exact_energy_index(float q);
// Returns its argument; defined out of line so that a value reached through a rarely taken
// branch stays behind that branch (the common path does not wait for the test).
[[gnu::noinline]] float taken_value(float x);

inline int32_t energy_index_of(float en, float q) {
    if (!index_guess.ready) return static_cast<int32_t>(q);
    const int32_t guess = static_cast<int32_t>(en * index_guess.inv_deltae + 1.0f);
    if (guess != static_cast<int32_t>(q)) [[unlikely]]
        return exact_energy_index(q);
    return guess;
}

// Run-wide working values of inter that carry information between calls.
struct InterState {
    float popsi = 0.0f;  // absorption events rejected because the final energy left the tables
    float enii = 0.0f;   // final energy of the last rejected absorption
};
inline InterState inter_state;

}  // namespace scatter

namespace scatter {
// An energy index beyond the valley's table (only an inconsistent table allows it): write
// the diagnostic and end the program with status 2.
[[noreturn]] void energy_index_fault(int32_t ip, int32_t iv, float energy, int32_t index,
                                     int32_t nen);

// A particle that would loop without end within a time step: after this many consecutive
// rejected absorptions of one event, or cancelled flights of one particle, the program
// writes its diagnostic and ends with status 2.
constexpr int32_t kEndlessLimit = 2'000'000;
[[noreturn, gnu::cold, gnu::noinline]] void endless_redraw_fault(int32_t ip, int32_t iv,
                                                                 float energy, int32_t count);
[[noreturn, gnu::cold, gnu::noinline]] void endless_cancel_fault(int32_t ip, int32_t iv,
                                                                 float energy, int32_t count);
}  // namespace scatter
