// Run parameters read by CA from the material and run data files, the derived thermal
// quantities, the driver's units, and the spectra grids and histograms.
#pragma once

#include <array>
#include <cstdint>

#include "klip/text.hpp"

namespace driver {

constexpr int kMaxParticles = 50000;
constexpr int kSpectrumBins = 501;  // bins 0..500

// Driver state set at start-up.
struct Setup {
    klip::Text<80> fnaide{"zothlp"};  // help file
    klip::Text<80> fnbib;             // last command file named by BIBLI
    int32_t indbi = 0;                // listing option of the last BIBLI
    int32_t icons = 11;               // value set by CONS
    klip::Text<80> FICREP{".././replam"};
    int32_t lumat = 20, ludon = 21, luspc = 22, ludes = 23;
    int32_t lunoise = 30;
    float kbsq = 8.61708e-5f;  // Boltzmann constant (eV/K)
};
inline Setup setup;

// Run parameters (stored units: fields V/m, times s, energies eV, doping cm-3).
struct Run {
    klip::Text<12> filmat, fildon;
    klip::Text<12> nommat;
    float dopmat = 0.0f;
    int32_t npart = 0;
    int32_t nvinit = 0;
    int32_t STAT = 0;                  // nonzero stationary, 0 dynamic
    float eex = 0.0f, eey = 0.0f, eez = 0.0f;  // kV/cm as read
    float ex = 0.0f, ey = 0.0f, ez = 0.0f;     // V/m
    float exn = 0.0f, eyn = 0.0f, ezn = 0.0f;  // V/m * 1e-7
    float champ = 0.0f;
    float tcalip = 0.0f, dteqp = 0.0f, tcalmp = 0.0f;  // ps as read
    float tcali = 0.0f, dteq = 0.0f, tcalm = 0.0f;     // s
    int32_t ndteq = 0;
    int32_t nfrlx = 0;
    float ei = 0.0f, ef = 0.0f;  // V/m
    float dec = 0.0f;            // eV
    float dt = 0.0f;             // s
    float dtp = 0.0f;            // ps as read
    int32_t ndt = 0;
    float trajet = 0.0f;
    klip::Text<12> filspc, fildes;
    int32_t ispec = 0;
    klip::Text<80> nfidat;
    float rnd = 0.0f;    // m-3
    float rndo = 0.0f;   // cm-3
    float t = 0.0f;      // K
    float kbtsq = 0.0f;  // kT (eV)
    float eth = 0.0f;    // 1.5 kT (eV)
};
inline Run run;

// Spectra grids (set by the table preparation when spectra are wanted) and histograms
// (cleared at run start, counted in the stationary phase of a stationary run).
struct Spectra {
    float delten = 0.0f;  // energy bin width (eV)
    float deltv = 0.0f;   // velocity bin width (m/s)
    std::array<float, kSpectrumBins> es{};  // energy bin centres (eV)
    std::array<float, kSpectrumBins> vs{};  // velocity bin centres (cm/s)
    std::array<float, kSpectrumBins> spent{};
    std::array<std::array<float, kSpectrumBins>, 5> spenv{};  // spenv[iv][i], iv = 1..4
    std::array<std::array<float, kSpectrumBins>, 5> spvit{};
};
inline Spectra spectra;

// Ensemble arrays, indexed 1..npart.
struct Ensemble {
    std::array<float, kMaxParticles + 1> EN{}, WX{}, WY{}, WZ{}, XX{}, XY{}, XZ{};
    std::array<int32_t, kMaxParticles + 1> NV{};
};
inline Ensemble ensemble;

// Start-up, the command loop and a CA run.
void startup();
[[noreturn]] void command_loop();
// The CA command: input stage and table preparation; then the simulation. Returns to the
// command loop when the run has completed or its input stage failed.
void run_ca();
// The simulation proper, after a successful input stage and table preparation: initial
// ensemble, time-step loop, report and files.
void simulate();

}  // namespace driver
