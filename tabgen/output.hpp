// The table file text (45 groups) and the catalogue line of a generated material.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tabgen/build.hpp"
#include "tabgen/files.hpp"
#include "tabgen/material.hpp"

namespace tabgen {

// The table file, group after group; deterministic to the byte. Reals are written with
// the shortest decimal form that reads back to the same single-precision value.
std::string format_tables(const Generated& g);

// One catalogue line in the repository's fixed columns: table name (1-12), material
// (17-28), temperature (33-37), carrier letter (42), doping (47-57).
bool catalogue_line(const Material& m, std::string& line, std::string& error);

// True when two catalogue lines name the same material, carrier letter and temperature and
// dopings within 1 % of the second line's (the match a run's search makes), whatever their
// table names. Lines whose fields cannot be read match nothing.
bool same_material(const std::string& a, const std::string& b);

// Enters `line` in `catalogue` (its text): it takes the place of the first line with the
// same table name or the same material (same_material); the other such lines are removed,
// so that a run finds the new table. The removed or replaced lines of other table names are
// added to `dropped`. Without such a line, the new one is appended.
std::string merge_catalogue(const std::string& catalogue, const std::string& line,
                            std::vector<std::string>* dropped = nullptr);

}  // namespace tabgen
