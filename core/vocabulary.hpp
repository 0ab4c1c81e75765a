// The vocabulary that the simulator (zot) and the table generator (tabgen) share: the
// interaction kinds, the random streams, the unit factors, the capacities of the table
// model and the rules a table file is written by. Header only; depends on nothing else.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace core {

// ---------------------------------------------------------------- interaction kinds
// The kind code of a scattering mechanism ("lambda"): ITYPL of the table model, INTERION of
// the last event. The names are the mechanism codes of the lambda names in the table files
// (first three characters, and for phonon mechanisms E emission / A absorption in the sixth).
enum Kind : int32_t {
    IMP = 1,  // ionised impurity, elastic
    ACO,      // acoustic phonon, elastic
    PIE,      // piezoelectric, elastic
    OPLE,     // polar optical phonon emission
    OPLA,     // polar optical phonon absorption
    ONPE,     // non-polar optical phonon emission
    ONPA,     // non-polar optical phonon absorption
    IV0E,     // intervalley phonon emission, order 0
    IV0A,     // intervalley phonon absorption, order 0
    IV1E,     // intervalley phonon emission, order 1
    IV1A,     // intervalley phonon absorption, order 1
    ALL,      // alloy disorder, elastic
    SUR,      // surface
    REC,      // recombination
    ION,      // impact ionisation
    SSC,      // self-scattering: the fictitious event that fills the total rate up
};
constexpr int32_t kKinds = 16;

constexpr bool is_intervalley(int32_t k) { return k >= IV0E && k <= IV1A; }

// Kind of a lambda from its six-character name; 0 when the name matches no mechanism.
constexpr int32_t kind_of_name(std::string_view name) {
    if (name.size() < 6) return 0;
    const std::string_view head = name.substr(0, 3);
    const char sixth = name[5];
    if (head == "IMP") return IMP;
    if (head == "ACO") return ACO;
    if (head == "PIE") return PIE;
    if (head == "OPL" && sixth == 'E') return OPLE;
    if (head == "OPL" && sixth == 'A') return OPLA;
    if (head == "ONP" && sixth == 'E') return ONPE;
    if (head == "ONP" && sixth == 'A') return ONPA;
    if (head == "IV0" && sixth == 'E') return IV0E;
    if (head == "IV0" && sixth == 'A') return IV0A;
    if (head == "IV1" && sixth == 'E') return IV1E;
    if (head == "IV1" && sixth == 'A') return IV1A;
    if (head == "ALL") return ALL;
    if (head == "SUR") return SUR;
    if (head == "REC") return REC;
    if (head == "ION") return ION;
    if (head == "SSC") return SSC;
    return 0;
}

// ---------------------------------------------------------------- random streams
// Each index of the seed array ISEED (1..12) is one stream of the generator; a kind of draw
// always takes its own stream. The other indices are kept but unused.
enum Stream : int32_t {
    kEnergyStream = 1,       // initial energies of the ensemble
    kPolarStream = 2,        // polar angle of a new direction (initial ensemble and events)
    kAzimuthStream = 3,      // azimuth of a new direction (initial ensemble and events)
    kFlightStream = 4,       // free-flight times
    kSelectionStream = 9,    // choice of the scattering mechanism
    kIonisationStream = 11,  // share of the excess energy kept after an impact ionisation
};
constexpr int32_t kStreams = 12;

// ---------------------------------------------------------------- units
// The factors between the units of the input and the report and those held in the records.
// Single precision, written as the products use them, so that every result stays the same.
namespace units {
constexpr float kVPerMPerKVPerCm = 1e5f;   // field: kV/cm -> V/m
constexpr float kKVPerCmPerVPerM = 1e-5f;  // field: V/m -> kV/cm
constexpr float kSecondsPerPs = 1e-12f;    // time: ps -> s
constexpr float kPsPerSecond = 1e12f;      // time: s -> ps
constexpr float kPositionUnit = 1e-7f;     // metres per position unit (0.1 um); V/m -> eV per unit
constexpr float kCmPerM = 100.0f;          // velocity: m/s -> cm/s
constexpr float kPerM3PerCm3 = 1e6f;       // density: cm-3 -> m-3
constexpr float kPerCm3PerM3 = 1e-6f;      // density: m-3 -> cm-3
constexpr float kCm2PerM2 = 1e4f;          // mobility: m2/Vs -> cm2/Vs
}  // namespace units

// ---------------------------------------------------------------- table capacities
constexpr int kValleys = 4;      // NVA: valleys of a material
constexpr int kLambdas = 40;     // NLAM per valley, and NLDOM: lambdas listed per domain
constexpr int kDomains = 15;     // NDOM: energy domains per valley
constexpr int kEnergies = 1500;  // NEN: energy indices per valley
constexpr int kPhonons = 4;      // phonon branches of the intervalley arrays
constexpr int kRates = 80000;    // NCOMP: cumulative probabilities, all lambdas of all valleys
constexpr int kTotals = 5000;    // IDRLT1: total-rate values, all valleys

// An absorption whose final energy would come within this many energy steps of the top of
// the final valley's tables is rejected by the simulator; the generator tabulates it as 0.
constexpr int kAbsorptionGuardSteps = 10;

// ---------------------------------------------------------------- radix-40 names
// A six-character name packed into one integer: each character is a digit 0..39 of this
// alphabet; each group of three digits gives g = (k1 * 40 + k2) * 40 + k3 (0..63999), and the
// name is g1 + g2 * 65536 (g1 characters 1-3, g2 characters 4-6).
constexpr std::string_view kRadix40Alphabet = " ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789$_&";

constexpr int32_t pack_radix40(const std::array<int, 6>& k) {
    const uint32_t g1 = static_cast<uint32_t>((k[0] * 40 + k[1]) * 40 + k[2]);
    const uint32_t g2 = static_cast<uint32_t>((k[3] * 40 + k[4]) * 40 + k[5]);
    return static_cast<int32_t>(g1 + g2 * 65536u);
}

}  // namespace core
