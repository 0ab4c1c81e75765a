// The band and lambda-table model of the simulated material (one material, number 1).
// Fixed capacities; arrays are indexed with the 1-based indices of the table file
// (element 0 unused), the last index written first: IDOM(ie,iv) is IDOM[iv][ie],
// IORDL(k,j,iv) is IORDL[iv][j][k], HWIV0(jv,iv,p) is HWIV0[p][iv][jv].
#pragma once

#include <array>
#include <cstdint>

namespace tables {

constexpr int kValleys = 4;
constexpr int kLambdas = 40;     // lambdas per valley, and lambdas listed per domain
constexpr int kDomains = 15;
constexpr int kEnergies = 1500;  // energy indices per valley
constexpr int kPhonons = 4;
constexpr int kRates = 80000;    // RLAM / RLCOMP
constexpr int kTotals = 5000;    // RLTOT / RLTCOMP

template <typename T, int N> using Arr1 = std::array<T, N + 1>;
template <typename T, int N1, int N2> using Arr2 = std::array<std::array<T, N1 + 1>, N2 + 1>;
template <typename T, int N1, int N2, int N3>
using Arr3 = std::array<std::array<std::array<T, N1 + 1>, N2 + 1>, N3 + 1>;

// tablam
struct Tablam {
    int32_t NVA = 0;
    Arr1<float, kValleys> ENMAX{};
    Arr2<int32_t, kEnergies, kValleys> IDOM{};               // IDOM[iv][ie]
    Arr3<int32_t, kLambdas, kDomains, kValleys> IORDL{};     // IORDL[iv][j][k]
    Arr2<int32_t, kLambdas, kValleys> IPLAM{};               // IPLAM[iv][k]
    Arr1<int32_t, kValleys> IPTOT{};
    Arr1<float, kRates> RLAM{};                              // RLAM[n], n = 1..NCOMP
    Arr1<float, kTotals> RLTOT{};                            // RLTOT[n], n = 1..IDRLT1
    Arr1<int32_t, kValleys> NEN{};
    Arr1<int32_t, kValleys> NLAM{};
    Arr1<int32_t, kValleys> NDOM{};
    float DELTAE = 0.0f;
    Arr2<int32_t, kDomains, kValleys> NLDOM{};               // NLDOM[iv][j]
    Arr2<int32_t, kLambdas, kValleys> NOMLAM{};              // NOMLAM[iv][k]
    Arr2<int32_t, kLambdas, kValleys> ITYPL{};
    Arr2<int32_t, kLambdas, kValleys> NVFL{};
    Arr2<float, kLambdas, kValleys> RLPAR{};
    Arr2<int32_t, kLambdas, kValleys> IPHOL{};
    Arr2<int64_t, kLambdas, kValleys> NBLAM{};  // events per lambda (64-bit)
};
inline Tablam tablam;

// compac: the lambda data as read from the table file
struct Compac {
    int32_t NCOMP = 0;
    int32_t IDRLT1 = 0;
    Arr1<float, kRates> RLCOMP{};
    Arr1<float, kTotals + 1> RLTCOMP{};
};
inline Compac compac;

// bande: valley parameters
struct Bande {
    int32_t IBMAT = 0;
    float ENGAP = 0.0f;
    Arr1<float, kValleys> ML{};
    Arr1<float, kValleys> MT{};
    Arr1<float, kValleys> MEFF{};
    Arr1<float, kValleys> ENVAL{};
    float ENEXTR = 0.0f;
    Arr1<int32_t, kValleys> IBVAL{};
    Arr1<int32_t, kValleys> IFORV{};
    Arr1<float, kValleys> ALP{};
};
inline Bande bande;

// parlam: phonon and material parameters
struct Parlam {
    float TEMP = 0.0f;
    float EPBF = 0.0f;
    Arr2<int32_t, kValleys, kValleys> NZIV0{};                  // NZIV0[iv][jv]
    Arr3<float, kValleys, kValleys, kPhonons> HWIV0{};          // HWIV0[p][iv][jv]
    Arr3<float, kValleys, kValleys, kPhonons> CPIV0{};
    Arr2<int32_t, kValleys, kValleys> NZIV1{};
    Arr3<float, kValleys, kValleys, kPhonons> HWIV1{};
    Arr3<float, kValleys, kValleys, kPhonons> CPIV1{};
    float HWOPL = 0.0f;
    float HWONP = 0.0f;
    float RPMAT = 0.0f;
};
inline Parlam parlam;

// cbande: the carrier character of the material ("N" electrons, "P" holes after a run's input)
inline char cbande = ' ';

// charac: two per-valley one-character codes (first filled from file group 32, second from 31)
struct Charac {
    Arr1<char, kValleys> first{};
    Arr1<char, kValleys> second{};
};
inline Charac charac;

}  // namespace tables
