// The fuzz targets' hold on the program's process-wide state: the reset between inputs and
// the orderly end turned into an exception.
#include "fuzz/harness.hpp"

#include "driver/records.hpp"
#include "driver/run.hpp"
#include "klip/fio.hpp"
#include "klip/records.hpp"
#include "tables/model.hpp"
#include "tables/tables.hpp"

// The program's orderly end (flush, then end the process) becomes an exception, so that
// the fuzzing process survives an EXIT command or a fatal diagnostic. The linker sends every
// call of these two functions made from another object file here (-Wl,--wrap=...).
extern "C" [[noreturn]] void __wrap__ZN3fio9terminateEi(int code) {
    fio::flush_all();
    throw fuzz::ProgramEnd{code};
}
extern "C" [[noreturn]] void __wrap__ZN4klip12exit_programEi(int32_t code) {
    fio::flush_all();
    throw fuzz::ProgramEnd{code};
}

// Command lines read in one session. A command file that includes itself n times runs
// about n^6 commands (six nesting levels, each going on after the level it opened): a
// finite but, for the fuzzer, endless session. Past the budget the session is ended as if
// the program had ended it.
namespace {
constexpr int kMaxCommandLines = 10000;
int command_lines = 0;
}  // namespace

extern "C" void __real__ZN4klip4lireEv();
extern "C" void __wrap__ZN4klip4lireEv() {
    if (++command_lines > kMaxCommandLines) throw fuzz::ProgramEnd{fuzz::kLineBudget};
    __real__ZN4klip4lireEv();
}

namespace fuzz {

namespace {

void close_all_units() {
    for (int unit = 0; unit <= 99; ++unit) {
        if (unit != fio::kStdin && unit != fio::kStdout) fio::close(unit);
    }
}

}  // namespace

void reset(std::string stdin_text) {
    workdir();
    command_lines = 0;
    close_all_units();
    driver::reset_process();
    fio::capture_end();
    fio::capture_begin();
    fio::hints_enabled = false;
    fio::stdin_from_string(std::move(stdin_text));
}

void finish() {
    fio::capture_end();
    close_all_units();
}

}  // namespace fuzz
