// The records that carry one particle between the driver and the scattering engine, the
// physical constants and the random-draw state. One instance each for the whole process.
// Below both: the scattering engine (scatter/) and the driver (driver/) include this.
#pragma once

#include <array>
#include <cstdint>

#include "core/reset.hpp"

namespace particle {

// electr: the current particle. Suffix I = start of a free flight (and state after an
// event), F = end of the free flight (input of the event).
struct Electr {
    int32_t IP = 0;                // particle being moved, 1..npart
    int32_t ITPORT = 0;            // carrier type: 1 electrons, 2 holes
    float TRV = 0.0f;              // duration of the current free flight (s)
    float TR = 0.0f;               // time still to simulate in this step (s)
    int32_t ICEL = 0;              // cell number, never assigned
    int32_t NVI = 0, NVF = 0;      // valley, 1..NVA (NVF always equals NVI)
    float ENI = 0.0f, ENF = 0.0f;  // kinetic energy (eV), >= 0
    float WXI = 0.0f, WXF = 0.0f;  // wave vector as W = hbar k / m0 (m/s), x component
    float WYI = 0.0f, WYF = 0.0f;  // y component (m/s)
    float WZI = 0.0f, WZF = 0.0f;  // z component (m/s)
    float MXI = 0.0f, MXF = 0.0f;  // effective mass along x (units of m0), set by valley form
    float MYI = 0.0f, MYF = 0.0f;  // effective mass along y (units of m0)
    float MZI = 0.0f, MZF = 0.0f;  // effective mass along z (units of m0)

    // The state at the end of the flight becomes the state at the start of the next one.
    void end_becomes_start() {
        NVI = NVF;
        ENI = ENF;
        WXI = WXF;
        WYI = WYF;
        WZI = WZF;
        MXI = MXF;
        MYI = MYF;
        MZI = MZF;
    }
};
inline Electr electr;

// dtafix: physical constants (single-precision values of the literals)
struct Dtafix {
    float XM0 = 9.10956e-31f;     // free-electron mass (kg)
    float EPS0 = 8.85425e-12f;    // vacuum permittivity (F/m)
    float PI = 3.14159f;          // pi as the single-precision value of 3.14159
    float DPI = 3.14159f * 2.0f;  // 2 pi, doubled from PI (6.2831802)
    float DSRPI = 1.128379f;      // 2/sqrt(pi)
    float XMSQ = 5.68569e-12f;    // m0/q (kg/C)
    float QE = 1.60219e-19f;      // elementary charge (C)
    float QS6M = 2.93133e10f;     // q/(6 m0) (C/kg)
    float DQSM = 3.51760e11f;     // 2q/m0 (C/kg): E = W^2 m0 / (2 q m) in eV
    float HBAR = 1.05458e-34f;    // reduced Planck constant (J s)
};
inline Dtafix dtafix;

// etir: twelve seeds and twelve draw counters, indexed 1..12. Each seed is one random
// stream (see the named streams below); a run continues the streams where the last left them.
constexpr std::array<int32_t, 13> kInitialSeeds{0,     12113, 10855, 23431, 19763, 14123, 12865,
                                                25441, 21773, 35677, 67890, 56788, 45123};
struct Etir {
    std::array<int32_t, 13> ISEED = kInitialSeeds;  // generator states, 1..524287 once used
    std::array<int32_t, 13> NDRAW{};  // draws counted by the scattering engine (2, 3, 9 only)
};
inline Etir etir;

// interion: kind code (1..16) of the last scattering event; 15 = impact ionisation
inline int32_t INTERION = 0;
// nbinter: self-scattering events, cleared by the time-step loop (64-bit: a phase of a
// large ensemble makes billions of events)
inline int64_t NBINTER = 0;

// Every record above back to its start-of-process value (the seeds included).
inline void reset_records() {
    core::restore_initial(electr);
    core::restore_initial(dtafix);
    core::restore_initial(etir);
    INTERION = 0;
    NBINTER = 0;
}

}  // namespace particle
