// Run parameters read by CA from the material and run data files, the derived thermal
// quantities, the driver's units, and the spectra grids and histograms.
#pragma once

#include <array>
#include <cstdint>

#include "klip/text.hpp"

namespace driver {

constexpr int kMaxParticles = 50000;  // capacity of the ensemble arrays
// A field component at or below this (V/m) acts neither on the wave vector nor on the position.
constexpr float kFieldThreshold = 100.0f;
constexpr int kSpectrumBins = 501;  // bins 0..500
constexpr float kSpectrumBinsF = static_cast<float>(kSpectrumBins);

// Driver state set at start-up.
struct Setup {
    klip::Text<80> fnaide{"zothlp"};       // help file
    klip::Text<80> fnbib;                  // last command file named by BIBLI
    int32_t indbi = 0;                     // listing option of the last BIBLI
    int32_t icons = 11;                    // value set by CONS
    klip::Text<80> FICREP{".././replam"};  // repository of table files (catalogue path)
    // Units of the material file, the run data file, the spectra file and the dynamic-run file.
    int32_t lumat = 20, ludon = 21, luspc = 22, ludes = 23;
    int32_t lunoise = 30;      // unit of the single-particle noise file
    float kbsq = 8.61708e-5f;  // Boltzmann constant (eV/K)
};
inline Setup setup;

// Run parameters (stored units: fields V/m, times s, energies eV, doping cm-3).
struct Run {
    klip::Text<12> filmat, fildon;             // material and run data files of the CA command
    klip::Text<12> nommat;                     // material name searched in the repository
    float dopmat = 0.0f;                       // doping searched in the repository (cm-3)
    int32_t npart = 0;                         // particles of the ensemble, 1..kMaxParticles
    int32_t nvinit = 0;                        // valleys populated initially, 1..NVA
    int32_t STAT = 0;                          // nonzero stationary, 0 dynamic
    float eex = 0.0f, eey = 0.0f, eez = 0.0f;  // kV/cm as read
    float ex = 0.0f, ey = 0.0f, ez = 0.0f;     // V/m
    float exn = 0.0f, eyn = 0.0f, ezn = 0.0f;  // V/m * 1e-7
    float champ = 0.0f;                        // field magnitude (V/m)
    float tcalip = 0.0f, dteqp = 0.0f, tcalmp = 0.0f;  // ps as read
    float tcali = 0.0f, dteq = 0.0f, tcalm = 0.0f;     // s
    int32_t ndteq = 0;              // stationary steps asked for; then the number planned
    int32_t nfrlx = 0;              // relaxation times the equilibration must last
    float ei = 0.0f, ef = 0.0f;     // dynamic run: initial and final field (V/m)
    float dec = 0.0f;               // dynamic run: energy added to every particle (eV)
    float dt = 0.0f;                // dynamic run: time step (s)
    float dtp = 0.0f;               // dynamic run: time step as read (ps)
    int32_t ndt = 0;                // dynamic run: number of steps
    float trajet = 0.0f;            // dynamic parameter read and never used
    klip::Text<12> filspc, fildes;  // spectra file and dynamic-run file
    int32_t ispec = 0;              // 1 = spectra wanted
    klip::Text<80> nfidat;          // table file found by the repository search
    float rnd = 0.0f;               // doping (m-3)
    float rndo = 0.0f;              // doping (cm-3)
    float t = 0.0f;                 // lattice temperature (K)
    float kbtsq = 0.0f;             // kT/q (eV)
    float eth = 0.0f;               // thermal energy 1.5 kT/q (eV)
};
inline Run run;

// Spectra grids (set by the table preparation when spectra are wanted) and histograms
// (cleared at run start, counted in the stationary phase of a stationary run).
struct Spectra {
    float delten = 0.0f;                    // energy bin width (eV)
    float deltv = 0.0f;                     // velocity bin width (m/s)
    std::array<float, kSpectrumBins> es{};  // energy bin centres (eV)
    std::array<float, kSpectrumBins> vs{};  // velocity bin centres (cm/s)
    // Counts are whole numbers: a single-precision count would stop growing at 2^24, which a
    // long run of many particles reaches in its busiest bin.
    std::array<int64_t, kSpectrumBins> spent{};                 // counts per total-energy bin
    std::array<std::array<int64_t, kSpectrumBins>, 5> spenv{};  // per energy bin, spenv[iv][i]
    std::array<std::array<int64_t, kSpectrumBins>, 5> spvit{};  // per velocity bin (along E)
};
inline Spectra spectra;

// Ensemble arrays, indexed 1..npart.
struct Ensemble {
    // Energy (eV), wave vector W (m/s) and position (1e-7 m) of every particle.
    std::array<float, kMaxParticles + 1> EN{}, WX{}, WY{}, WZ{}, XX{}, XY{}, XZ{};
    std::array<int32_t, kMaxParticles + 1> NV{};  // valley, 1..NVA
};
inline Ensemble ensemble;

// Start-up, the command loop and a CA run.
void startup();
// Every process-wide record of the program (toolkit, tables, particle, scattering engine,
// driver) back to its start-of-process value, as before startup(). Open files are left as
// they are. For tests and the fuzz harness, which run many sessions in one process.
void reset_process();
[[noreturn]] void command_loop();
// The CA command: input stage and table preparation; then the simulation. Returns to the
// command loop when the run has completed or its input stage failed.
void run_ca();
// The simulation proper, after a successful input stage and table preparation: initial
// ensemble, time-step loop, report and files.
void simulate();

}  // namespace driver
