// The table file text (45 groups) and the catalogue line of a generated material.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tabgen/build.hpp"
#include "tabgen/material.hpp"

namespace tabgen {

// The table file, group after group; deterministic to the byte. Reals are written with
// the shortest decimal form that reads back to the same single-precision value.
std::string format_tables(const Generated& g);

// One catalogue line in the repository's fixed columns: table name (1-12), material
// (17-28), temperature (33-37), carrier letter (42), doping (47-57).
bool catalogue_line(const Material& m, std::string& line, std::string& error);

// Replaces the line of `catalogue` (its text) whose table name equals the new line's, or
// appends the new line.
std::string merge_catalogue(const std::string& catalogue, const std::string& line);

// Writes `text` to `path` through a temporary file in the same directory and a rename, so
// that the file is either the old one or the whole new one.
bool write_atomic(const std::string& path, const std::string& text, std::string& error);

// The same for several files: every temporary file is written first, and only when all are
// complete are they renamed into place; when a file cannot be written the temporary files
// are removed and no file is replaced.
bool write_all_atomic(const std::vector<std::pair<std::string, std::string>>& files, std::string& error);

}  // namespace tabgen
