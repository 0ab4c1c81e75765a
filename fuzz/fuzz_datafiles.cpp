// Fuzz target: the input stage of a run (CA). The input is cut at lines "%%" into the
// material data file, the run data file, the catalogue and the table file it names; the
// stage runs from the dialogue through the repository search, the table load and the table
// preparation, and stops before the simulation.
#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/input.hpp"
#include "driver/run.hpp"
#include "fuzz/harness.hpp"
#include "klip/records.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::workdir();
    fuzz::install_message_files();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    auto parts = fuzz::split(data, size, 4);
    fuzz::write_file("mat", parts[0]);
    fuzz::write_file("don", parts[1]);
    fuzz::write_file("../replam", parts[2]);
    fuzz::write_file("../GAAS01-bin", parts[3]);
    fuzz::reset("mat\ndon\n");
    fuzz::guarded([] {
        driver::startup();
        const int status = driver::prepare_run();
        if (status != 0 && status != 1) __builtin_trap();
        if (status == 0) {
            // A run that passed its input stage must have sane sizes.
            if (driver::run.npart < 1 || driver::run.npart > driver::kMaxParticles)
                __builtin_trap();
        }
    });
    fuzz::finish();
    return 0;
}
