// The material description read by the table generator: band valleys, phonons, lattice
// and run conditions, in a small line-oriented text format (see docs/materials.md).
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tabgen {

constexpr int kMaxValleys = 4;

struct Valley {
    std::string name;       // 1..6 characters, used in messages and the valley code letters
    int form = 0;           // 0 spherical, 1/2/3 ellipsoid with its long axis along x/y/z
    double ml = 0, mt = 0;  // longitudinal / transverse mass (m0); both = mass for form 0
    double md = 0;          // density-of-states mass of one valley (m0)
    double alpha = 0;       // non-parabolicity (1/eV)
    double energy = 0;      // bottom of the valley (eV)
    int count = 1;          // number of equivalent valleys this valley stands for
    double acoustic = 0;    // acoustic deformation potential (eV), 0: none
    double nonpolar = 0;    // non-polar optical coupling DtK (eV/cm), 0: none
    // Varshni law of the valley's edge, E(T) = E(0) - a T^2 / (T + b) (a = 0: none); with it,
    // `energy` is the separation from the first valley at 0 K.
    double varshni_a = 0, varshni_b = 0;
    // Holes (tabgen/holes.cpp): the valence band this valley stands for and the
    // density-of-states mass of the rates (0: the band mass), see docs/materials.md.
    int band = 0;  // 0 none (electrons), 1 heavy, 2 light, 3 split-off
    double dos = 0;
    int line = 0;  // line of the description
};

// One intervalley phonon between valley kinds, as written: "A B order hw coupling".
// A, B are valley names; B may be "=" (each valley with itself, A then "*") or "~" (every
// pair of different valleys, A then "*").
struct IntervalleySpec {
    std::string a, b;
    int order = 0;        // 0 or 1
    double hw = 0;        // phonon energy (eV)
    double coupling = 0;  // order 0: DtK (eV/cm); order 1: D1 (eV)
    int line = 0;
};

struct Material {
    std::string name;        // catalogue material name (<= 12 characters)
    std::string table;       // table file base name (<= 6 characters)
    char carrier = 'E';      // 'E' electrons, 'T' holes
    double temperature = 0;  // K
    double doping = 0;       // cm-3
    double deltae = 0;       // energy step (eV)
    double etop = 0;         // top of the tables, in total energy (eV)
    int domains = 15;        // largest number of energy domains per valley
    // One total rate for the whole valley (exact: a flight drawn with the total of its
    // start energy is selected with the total of its end energy) or one per domain.
    bool total_per_domain = false;
    double reach = 0;  // per-domain totals: energy (eV) above a domain its total still bounds
    double gap = 0;    // band gap (eV) at the temperature
    // Varshni law of the gap (gap_varshni EG0 A B): gap = EG0 - A T^2 / (T + B); the
    // first valley's edge follows it. gap_a = 0: the gap is given as is.
    double gap0 = 0, gap_a = 0, gap_b = 0;
    double density = 0;  // kg/m3
    double sound = 0;    // longitudinal sound velocity (m/s)
    double eps_static = 0, eps_optic = 0;
    double hw_polar = 0;     // LO phonon energy (eV), 0: no polar optical scattering
    double hw_nonpolar = 0;  // non-polar optical phonon energy (eV)
    // Correction of the Born-approximation impurity rate fitted to measured mobility:
    // the rate is multiplied by 1 + c x^s / (1 + x^s), x = doping / imp_n0 (c = imp_gain,
    // s = imp_power; imp_n0 = 0: no correction).
    double imp_gain = 0, imp_n0 = 0, imp_power = 0;
    bool ionisation = false;
    double ii_threshold = 0;  // eV, above the lowest valley
    double ii_rate = 0;       // Keldysh prefactor (1/s)
    std::vector<Valley> valleys;
    std::vector<IntervalleySpec> intervalley;
    // Alloy A(x) B(1-x) of two known binaries (tabgen/alloy.cpp); empty for a plain material.
    std::string alloy_a, alloy_b;
    double alloy_x = 0;
    double alloy_potential = 0;         // alloy-disorder potential (eV), 0: no alloy scattering
    double lattice = 0;                 // lattice constant (m), for the alloy-disorder rate
    std::vector<std::string> warnings;  // printed by tabgen, the tables are still written
    // Derived when the description is read: squared inverse screening length (1/m2) of the
    // free carriers (doping) with Fermi-Dirac statistics, and the reduced Fermi level.
    double beta2 = 0;
    double eta_fermi = 0;
};

// Parses a material description. On failure returns false and sets `error` to a message
// naming the line and the field.
bool parse_material(std::string_view text, Material& m, std::string& error);
// A description is a short text: a file over this size, or one that is not a regular file,
// is refused.
constexpr size_t kMaxDescriptionBytes = size_t{4} << 20;
bool read_material(const std::string& path, Material& m, std::string& error);

}  // namespace tabgen
