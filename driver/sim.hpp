// The simulation of one run: initial ensemble, free flights, time-step loop, report and
// output files. All state is process-wide (one run at a time) and set again by each run.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "scatter/scatter.hpp"

namespace driver {

// Working values of the initial ensemble.
struct EnsembleWork {
    std::array<int32_t, 5> nparti{};  // particles created per valley, 1..4
    int32_t npartr = 0;               // sum of the truncated shares
    float pvtot = 0.0f;               // sum of the valley weights
    float dxmin = 0.0f;               // tolerance of the energy bisection
    float bol = 0.0f;                 // mean initial energy (meV)
};
inline EnsembleWork ensw;

// Free-flight working values and per-phase counters.
struct Flight {
    float qexs2m = 0.0f, qeys2m = 0.0f, qezs2m = 0.0f;  // qE/(2 m0) per axis (m/s^2)
    float qexsm = 0.0f, qeysm = 0.0f, qezsm = 0.0f;     // qE/m0 per axis: dW/dt (m/s^2)
    float vxi = 0.0f, vyi = 0.0f, vzi = 0.0f;           // velocity at start of flight (m/s)
    float vxf = 0.0f, vyf = 0.0f, vzf = 0.0f;           // velocity at end of flight (m/s)
    float xxi = 0.0f, xyi = 0.0f, xzi = 0.0f;           // position at start of flight (1e-7 m)
    float xxf = 0.0f, xyf = 0.0f, xzf = 0.0f;           // position at end of flight (1e-7 m)
    float varx = 0.0f;                                  // x displacement of the last flight
    float wsrm2 = 0.0f;  // sum of W^2/m over the axes at the end of the flight (m^2/s^2)
    int32_t ien = 0;     // energy index of ENI, 1..NEN: row of the flight-time lookup
    float r04 = 0.0f;    // deviate of the flight time, (0, 1)
    float tv = 0.0f;     // drawn flight time -ln(r04)/Lambda (s), > 0
    int32_t linter = 0;  // 1 when the flight ends in an event, 0 when the step's time runs out
    int64_t nlim = 0;    // cancelled flights of the phase
    int64_t ninter = 0;  // scattering events of the phase
    int32_t nion = 0;    // ionisation events of the step
    std::array<int32_t, 5> nionv{};        // ionisation events of the step per valley, 1..4
    float vxxion1 = 0.0f, vxxion2 = 0.0f;  // x displacement credited to the last flight
    float vxmion1 = 0.0f, vxmion2 = 0.0f;  // per-particle sums of displacements / reciprocals
};
inline Flight flight;

// Time-step loop state, step accumulators, derived values and stationary sums.
struct Steps {
    float tcal = 0.0f;   // duration of the current step (s)
    float tcalt = 0.0f;  // simulated time since the start of the run (s)
    float tcalo = 0.0f;  // first step of a dynamic run started with a nonzero field: never set
    int32_t lequi = 0;   // 0 during equilibration, 1 in the stationary phase
    int32_t idteq = 0;   // number of the current stationary step, 1..ndteq
    int32_t neq = 0;     // 1 in a dynamic run started at zero field (budget dt per particle)
    float rlx = 0.0f, trlx = 0.0f;  // longest momentum relaxation time, equilibration length (s)
    // Length of the stationary phase (s): t1 = nfrlx relaxation times, t2 = the steps asked
    // for, t3 = max(t1, t2), t4 = min(t3, tcalm).
    float t1 = 0.0f, t2 = 0.0f, t3 = 0.0f, t4 = 0.0f;

    // Step sums over the particles, turned into means by the step's averages.
    float enm = 0.0f, entm = 0.0f;               // kinetic and total energy (eV)
    float wxm = 0.0f, wym = 0.0f, wzm = 0.0f;    // wave vector W (m/s)
    float vxm = 0.0f, vym = 0.0f, vzm = 0.0f;    // drift velocity (m/s; cm/s once printed)
    std::array<int32_t, 5> nppv{};               // particles per valley, 1..4
    std::array<float, 5> enpv{};                 // mean energy per valley (eV)
    float vxmion1m = 0.0f, vxmion2m = 0.0f;      // ionisation displacement sums, then means
    float coeffionx1 = 0.0f, coeffionx2 = 0.0f;  // ionisation coefficients of the step (1/cm)
    float endyn = 0.0f, xpdyn = 0.0f;            // dynamic run: energy sum; xpdyn never set
    float tdyn = 0.0f;  // dynamic run: time the particles have flown since the run start (s)

    // Derived values of the step.
    float evm = 0.0f, rlxen = 0.0f;  // power per charge E.v (V m/s), energy relaxation time (s)
    float rlxmx = 0.0f, rlxmy = 0.0f, rlxmz = 0.0f, rlxm = 0.0f;  // momentum relaxation (s)
    float mobil = 0.0f, pnself = 0.0f;  // mobility (cm^2/Vs), self-scattering share of events (%)
    float pex = 0.0f, pey = 0.0f, pez = 0.0f;  // printable field (kV/cm)
    float ptcal = 0.0f, ptcalt = 0.0f;         // printable step and elapsed time (ps)
    float prlxmx = 0.0f, prlxmy = 0.0f, prlxmz = 0.0f, prlxen = 0.0f;  // printable times (ps)

    // Sums over the stationary steps (prefix f), turned into means by final_averages.
    float frlxmx = 0.0f, frlxmy = 0.0f, frlxmz = 0.0f, frlxen = 0.0f;  // relaxation times (ps)
    float fenm = 0.0f, fentm = 0.0f;                  // kinetic and total energy (eV)
    float fvxm = 0.0f, fvym = 0.0f, fvzm = 0.0f;      // drift velocity (cm/s)
    float fmobil = 0.0f;                              // mobility (cm^2/Vs)
    std::array<float, 5> fnppv{}, fenpv{}, fnionv{};  // per valley: share (%), energy, ionisations
    int64_t sninter = 0, snlim = 0, snself = 0;       // stationary sums of the event counts
    float fninter = 0.0f, fnion = 0.0f, fnlim = 0.0f,
          fnself = 0.0f;                           // final counts as printed; fnself ends in %
    float fcoeffionx1 = 0.0f, fcoeffionx2 = 0.0f;  // ionisation coefficients (1/cm)
    int32_t nmade = 0;                             // stationary steps actually made
    // Whole-run totals for the overflow hint: cancelled flights, events, particle-steps
    // (every flight either ends in an event or ends a particle's step).
    int64_t run_lim = 0, run_events = 0, run_particle_steps = 0;
};
inline Steps steps;

// Output files of the run.
struct OutFiles {
    bool noise_open = false;    // the single-particle noise file is open
    bool dynamic_open = false;  // the dynamic-run file is open
};
inline OutFiles outfiles;

// The scattering routine called after every flight that ends in an event. Tests may point
// it at a stand-in; the simulation always uses scatter::inter.
inline void (*inter_routine)() = &scatter::inter;

// ---------------------------------------------------------------- stages of a run
// Initial ensemble with its report; stops the process (code 0) when the count is wrong.
void build_ensemble();
// Noise file, field constants and their trace.
void flight_setup();
// Move particle electr.IP through the time left to it in the current step.
void move_particle();
// Run-start clearing and the dynamic-mode branch.
void run_start();
// One whole time step: all particles, averages, equilibration test or stationary step.
// Returns true when the stationary phase has ended.
bool time_step();
// Final averages of the stationary phase.
void final_averages();
// Warnings on standard error for figures that hold only for a field along one axis.
void direction_warnings();
// Warnings on standard error for an equilibration that did not last NFRLX relaxation times.
void equilibration_warnings();
// Share of self-scattering events in percent, from the full counts (0 over no event).
float self_percent(int64_t nself, int64_t nevents);
// Per-particle accumulation at the end of a particle's step.
void accumulate_particle();
// Forget the total rate of each valley's last flight (a cache of the flight procedure).
void forget_last_rates();

// ---------------------------------------------------------------- report
void report_equilibration_trace();
void report_section1();
void report_stationary_length();
void report_section2_heading();
void report_section2_block();
void report_section3();

// ---------------------------------------------------------------- files
void clear_spectra();
void count_spectra();
void open_noise_file();
void write_noise_record();
void close_noise_file();
void write_dynamic_header();
// One line of the dynamic-run file after a time step: time (ps), mean position along the
// field (nm), mean kinetic and total energies (eV), mean velocity along the field (cm/s).
void write_dynamic_line();
void close_dynamic_file();
void write_spectra_file();
// Report an output file that cannot be opened (toolkit code -7 and the I/O status line).
void report_open_failure(int status, std::string_view name);
// Report a result file that failed (message `code`) and the I/O status line.
void report_file_failure(int32_t code, int status, std::string_view name);

}  // namespace driver
