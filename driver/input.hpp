// The stages of the CA command before the simulation proper: the dialogue, the material and
// run data files, the parameter echo, the table load, the run banner and the preparation of
// the scattering tables and spectra grids. Each stage is a plain procedure on the shared
// records; the ones that can fail return 0 on success and 1 when the run is abandoned.
#pragma once

#include <cstdint>

namespace driver {

// Yes/no field reader: "O..." -> 1, "N..." -> 0, anything else leaves `answer` unchanged;
// a field error leaves it unchanged too (INDERR says why).
void ouinon(int32_t& answer);

// Start of every run: clear the material model (the fields that must not survive a run).
void reset_model();
// Ask for the two data file names on the terminal. 1 when the terminal input has ended.
int ask_file_names();
// Read the material data file (5 records) and the run data file (20 records).
int read_material_file();
int read_run_file();
// Echo of the run parameters on the output unit.
void echo_parameters();
// Repository search and table load.
int load_tables();
// Run data checked against the capacities once the table file is known.
int check_limits();
// Summary of the loaded tables (debug 4 and 5).
void table_summary();
// Working copy of the rate data.
void copy_rates();
// Carrier character, doping and thermal quantities.
void derive_quantities();
// The run banner.
void run_banner();
// Interaction kind code of every lambda from its packed name.
void kind_codes();
// Energy and velocity grids of the spectra (when spectra are wanted).
void spectra_grids();
// Every stage up to and including the table preparation; 1 when the run is abandoned.
int prepare_run();

}  // namespace driver
