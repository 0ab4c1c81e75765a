// The band and lambda-table model of the simulated material (one material, number 1).
// Fixed capacities; arrays are indexed with the 1-based indices of the table file
// (element 0 unused), the last index written first: IDOM(ie,iv) is IDOM[iv][ie],
// IORDL(k,j,iv) is IORDL[iv][j][k], HWIV0(jv,iv,p) is HWIV0[p][iv][jv].
#pragma once

#include <array>
#include <cstdint>

#include "core/vocabulary.hpp"

namespace tables {

constexpr int kValleys = core::kValleys;    // valleys of the material
constexpr int kLambdas = core::kLambdas;    // lambdas per valley, and lambdas listed per domain
constexpr int kDomains = core::kDomains;    // energy domains per valley
constexpr int kEnergies = core::kEnergies;  // energy indices per valley
constexpr int kPhonons = core::kPhonons;    // phonon branches of the intervalley arrays
constexpr int kRates = core::kRates;        // values of RLAM / RLCOMP, all lambdas of all valleys
constexpr int kTotals = core::kTotals;      // values of RLTOT / RLTCOMP, all valleys

template <typename T, int N> using Arr1 = std::array<T, N + 1>;
template <typename T, int N1, int N2> using Arr2 = std::array<std::array<T, N1 + 1>, N2 + 1>;
template <typename T, int N1, int N2, int N3> using Arr3 =
    std::array<std::array<std::array<T, N1 + 1>, N2 + 1>, N3 + 1>;

// tablam: the lambda tables and their indexes. The energy index of an energy EN (eV) is
// IE = int(EN / DELTAE + 1), so [0, DELTAE) has index 1.
struct Tablam {
    int32_t NVA = 0;                                      // valleys of the material, 1..4
    Arr1<float, kValleys> ENMAX{};                        // top energy of the tables (eV)
    Arr2<int32_t, kEnergies, kValleys> IDOM{};            // IDOM[iv][ie]: domain, 1..NDOM
    Arr3<int32_t, kLambdas, kDomains, kValleys> IORDL{};  // IORDL[iv][j][k]: k-th lambda tried
    Arr2<int32_t, kLambdas, kValleys> IPLAM{};            // IPLAM[iv][k]: offset in RLAM
    Arr1<int32_t, kValleys> IPTOT{};                      // offset of the valley in RLTOT
    // RLAM[IPLAM[iv][k] + ie]: cumulative selection probability, in [0, 1]: the chance that
    // one of the lambdas listed up to k in the domain's order list is chosen; non-decreasing
    // along the list and 1 at its last lambda (self-scattering). Copy of RLCOMP, n = 1..NCOMP.
    Arr1<float, kRates> RLAM{};
    // RLTOT[IPTOT[iv] + ie]: -1/Lambda (s, negative), Lambda the total scattering rate (1/s)
    // self-scattering included; the flight time is ln(r) * RLTOT. Copy of RLTCOMP, 1..IDRLT1.
    Arr1<float, kTotals> RLTOT{};
    Arr1<int32_t, kValleys> NEN{};               // energy indices, 1..1500
    Arr1<int32_t, kValleys> NLAM{};              // lambdas, 0..40
    Arr1<int32_t, kValleys> NDOM{};              // energy domains, 1..15
    float DELTAE = 0.0f;                         // energy step of all tables (eV)
    Arr2<int32_t, kDomains, kValleys> NLDOM{};   // NLDOM[iv][j]: listed, 1..40
    Arr2<int32_t, kLambdas, kValleys> NOMLAM{};  // NOMLAM[iv][k]: radix-40 name
    Arr2<int32_t, kLambdas, kValleys> ITYPL{};   // kind 1..16 from the name
    Arr2<int32_t, kLambdas, kValleys> NVFL{};    // final valley, 1..NVA
    Arr2<float, kLambdas, kValleys> RLPAR{};     // carried from the file, unused
    Arr2<int32_t, kLambdas, kValleys> IPHOL{};   // phonon of the lambda, 1..4
    Arr2<int64_t, kLambdas, kValleys> NBLAM{};   // events drawn per lambda (64-bit)
};
inline Tablam tablam;

// compac: the lambda data as read from the table file
struct Compac {
    int32_t NCOMP = 0;                   // values in RLCOMP, 0..80000
    int32_t IDRLT1 = 0;                  // values in RLTCOMP, 0..5000
    Arr1<float, kRates> RLCOMP{};        // cumulative probabilities as read (see RLAM)
    Arr1<float, kTotals + 1> RLTCOMP{};  // -1/Lambda (s) as read (see RLTOT)
};
inline Compac compac;

// bande: valley parameters
struct Bande {
    int32_t IBMAT = 0;                // carried from the file, unused
    float ENGAP = 0.0f;               // band gap (eV)
    Arr1<float, kValleys> ML{};       // longitudinal effective mass (units of m0)
    Arr1<float, kValleys> MT{};       // transverse effective mass (units of m0)
    Arr1<float, kValleys> MEFF{};     // density-of-states mass (units of m0)
    Arr1<float, kValleys> ENVAL{};    // energy of the valley bottom (eV)
    float ENEXTR = 0.0f;              // reference energy of the valleys (eV)
    Arr1<int32_t, kValleys> IBVAL{};  // carried from the file (equivalent valleys), unused
    Arr1<int32_t, kValleys> IFORV{};  // form: 0 spherical, 1/2/3 long axis along x/y/z
    Arr1<float, kValleys> ALP{};      // non-parabolicity alpha (1/eV), E(1 + alpha E)
};
inline Bande bande;

// parlam: phonon and material parameters. HWIV0[p][a][b] is the energy (eV) an emission
// from valley a to valley b with phonon p loses; an absorption from b to a gains the same.
struct Parlam {
    float TEMP = 0.0f;                                  // lattice temperature (K)
    float EPBF = 0.0f;                                  // carried and printed
    Arr2<int32_t, kValleys, kValleys> NZIV0{};          // NZIV0[iv][jv]: carried
    Arr3<float, kValleys, kValleys, kPhonons> HWIV0{};  // HWIV0[p][iv][jv]: energy (eV)
    Arr3<float, kValleys, kValleys, kPhonons> CPIV0{};  // coupling, carried
    Arr2<int32_t, kValleys, kValleys> NZIV1{};          // as NZIV0, order 1
    Arr3<float, kValleys, kValleys, kPhonons> HWIV1{};  // as HWIV0, order 1
    Arr3<float, kValleys, kValleys, kPhonons> CPIV1{};  // as CPIV0, order 1
    float HWOPL = 0.0f;                                 // polar optical phonon (eV)
    float HWONP = 0.0f;                                 // non-polar optical (eV)
    float RPMAT = 0.0f;                                 // carried (density), unused
};
inline Parlam parlam;

// cbande: the carrier character of the material ("N" electrons, "P" holes after a run's input)
inline char cbande = ' ';

// charac: two per-valley one-character codes (first filled from file group 32, second from 31)
struct Charac {
    Arr1<char, kValleys> first{};   // file group 32; reset to '.'
    Arr1<char, kValleys> second{};  // file group 31
};
inline Charac charac;

}  // namespace tables
