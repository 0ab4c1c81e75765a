// Fuzz target: a whole command session of zot. The input is cut at lines "%%" into the
// text typed at the terminal and two command files "a" and "b" (for BIBLI); a fourth part,
// when present, replaces the help file. The session runs through the real start-up and
// command loop until the program ends itself (EXIT, Q, end of input, a fatal message).
// CA reaches its input stage only: there is no catalogue in the parent directory.
#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/run.hpp"
#include "fuzz/harness.hpp"

namespace {
std::string default_help;
bool have_default_help = false;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::workdir();
    fuzz::install_message_files();
    default_help = fuzz::read_file("zothlp", &have_default_help);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 32768) return 0;
    auto parts = fuzz::split(data, size, 4);
    fuzz::write_file("a", parts[1]);
    fuzz::write_file("b", parts[2]);
    if (!parts[3].empty()) {
        fuzz::write_file("zothlp", parts[3]);
    } else if (have_default_help) {
        fuzz::write_file("zothlp", default_help);
    } else {
        fuzz::remove_file("zothlp");
    }
    fuzz::reset(parts[0]);
    const int code = fuzz::guarded([] {
        driver::startup();
        driver::command_loop();
    });
    // The command loop never returns: it ends through the program's orderly end.
    if (code == -1) __builtin_trap();
    fuzz::finish();
    return 0;
}
