// Ternary alloys A(x)B(1-x) of two known binaries: parameters interpolated linearly or
// with cited bowing, and alloy-disorder scattering (docs/materials.md).
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tabgen/material.hpp"
#include "tabgen/physics.hpp"

namespace tabgen {

// Reads "alloy A B x" into m; on failure returns false with what is wrong in `what`.
bool parse_alloy_line(const std::vector<std::string>& t, Material& m, std::string& what);

// Fills the bands and the lattice of m from its binaries and x. Refuses a description that
// also gives them itself; `lines` holds the line of each statement given once.
bool apply_alloy(Material& m, std::set<std::string>& seen, std::map<std::string, int>& lines,
                 std::string& error);

// Alloy-disorder rate (1/s) at kinetic energy e in a band with density-of-states band b.
double alloy_rate(const Material& m, const phys::Band& b, double e);

// Band and lattice parameters of A(x)B(1-x) as a material (valleys, phonons, lattice), the
// valleys ordered from the lowest. `warning` is set where the interpolation is known to be
// poor. Returns false for an unknown binary, an unknown pair or x outside 0..1.
bool interpolate(const std::string& a, const std::string& b, double x, Material& out,
                 std::string& error, std::string& warning);

}  // namespace tabgen
