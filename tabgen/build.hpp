// Construction of the scattering tables of a material: the lambdas of every valley, their
// rates on the energy grid, the energy domains with their constant totals, the order lists
// and the cumulative selection probabilities, in the layout of the simulator's table model.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/vocabulary.hpp"
#include "tables/model.hpp"
#include "tabgen/material.hpp"
#include "tabgen/physics.hpp"

namespace tabgen {

// The interaction kinds, shared with the simulator (the kind codes of its tables).
using Kind = core::Kind;

// One scattering mechanism of one valley.
struct Lambda {
    Kind kind = Kind::SSC;
    int to = 0;           // final valley (0-based)
    int phonon = 1;       // phonon number (1..4) of intervalley lambdas, 1 otherwise
    double hw = 0;        // phonon energy (eV)
    double coupling = 0;  // coupling as given in the material description
    int z = 1;            // number of final valleys
    double shift = 0;     // change of kinetic energy: final = initial + shift (eV)
    std::string name;     // six characters
    bool hole = false;    // rate from the valence-band model (tabgen/holes.cpp)
};

// Everything the table file holds, in the simulator's own model layout, plus the rates
// behind it (kept for the report and the checks).
struct Generated {
    tables::Tablam t;
    tables::Compac c;
    tables::Bande b;
    tables::Parlam p;
    char cbande = 'N';
    tables::Charac ch;
    std::vector<std::vector<Lambda>> lambdas;             // [iv][k-1]
    std::vector<std::vector<std::vector<double>>> rates;  // [iv][k-1][ie-1], 1/s
    std::vector<std::vector<double>> total;               // [iv][ie-1], sum of the rates
    std::vector<std::vector<double>> gamma;               // [iv][j-1], the domain totals
};

// The band of a valley's rates: its density-of-states mass (when given, else its mass) and
// its non-parabolicity.
phys::Band band_of(const Valley& v);

// A lambda name: a three-character head and three more characters; digit(d) is the digit d.
std::string lambda_name(const char* head, char c4, char c5, char c6);
char digit(int d);

// Radix-40 packing of a six-character name (alphabet " A-Z0-9$_&").
int32_t pack40(const std::string& name);

// Ends the lambda list of valley i: impact ionisation when the description has it, then
// self-scattering; false with a message when the list holds more than the tables take.
bool end_lambda_list(const Material& m, int i, std::vector<Lambda>& ls, std::string& error);

// Energy points of each valley and the lambdas of each valley (without rates).
bool plan_lambdas(const Material& m, std::vector<std::vector<Lambda>>& out, std::string& error);

// Rate (1/s) of lambda `l` of valley iv at kinetic energy e (eV), with no grid rules.
double lambda_rate(const Material& m, int iv, const Lambda& l, double e);

// Rate tabulated at energy index ie (1-based) of valley iv: the rate at the centre of the
// index's energy interval, or 0 when some energy of the interval could not make the
// transition (final energy below 0, an absorption, or an emission that raises the kinetic
// energy, that could land
// within 10 steps of the top of the final valley's tables, ionisation below its threshold).
double tabulated_rate(const Material& m, int iv, const Lambda& l, int ie, float enmax_final);

// Energy domains of one valley: partition of 1..n into at most `maxdom` intervals whose
// constant total max(total over [lo, hi + reach]) keeps the summed relative excess lowest.
// Returns the last index of each domain.
std::vector<int> choose_domains(const std::vector<double>& total, int maxdom, int reach);

// Builds all the tables. On failure (capacities) returns nullptr and a message naming the field.
std::unique_ptr<Generated> build_tables(const Material& m, std::string& error);

// Checks the conditions a valid table file satisfies (capacities, index ranges, offsets,
// cumulative probabilities non-decreasing along each order list and 1 at its end, totals
// negative and bounding the rates). Returns false with a message on the first violation.
bool check_tables(const Generated& g, std::string& error);

}  // namespace tabgen
