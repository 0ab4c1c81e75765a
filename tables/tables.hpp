// The table file reader and the repository search.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/reset.hpp"
#include "klip/text.hpp"
#include "tables/model.hpp"

namespace tables {

// Units, set by the driver at start-up: ulog word 1 (catalogue) and word 9 (table file).
struct Ulog {
    int32_t catalogue_unit = 18;  // unit of the repository catalogue (replam)
    int32_t table_unit = 26;      // unit of the table file being loaded
};
inline Ulog ulog;

// Every record of the table model and the units back to their start-of-process values.
inline void reset_records() {
    core::restore_initial(tablam);
    core::restore_initial(compac);
    core::restore_initial(bande);
    core::restore_initial(parlam);
    cbande = ' ';
    core::restore_initial(charac);
    core::restore_initial(ulog);
}

// Load the table file `fichier` (15 characters, trailing blanks not part of the name) as
// material `imat` (always 1). Returns 0 after a complete load, 1 when the file cannot be
// opened, is short or malformed, or is inconsistent (each reported with its message).
int lila(std::string_view fichier, int32_t imat);

// Search the catalogue `ficrep` for the first table file that fits the run.
// Returns 0 and the 12-character name (padded to 80) in `nfidat`, or 1 when none fits.
int search(std::string_view ficrep, std::string_view nommat, float temp, char type, float dopmat,
           klip::Text<80>& nfidat);

}  // namespace tables
