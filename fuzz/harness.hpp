// Shared plumbing of the fuzz targets: a private working directory, the input split into
// files, the reset of the process-wide records between inputs, and the orderly end of the
// program turned into a recoverable event so that one process can run many inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// Thrown instead of ending the process when the program ends itself (fio::terminate and
// klip::exit_program are redirected here at link time).
struct ProgramEnd {
    int code;
};
// End code given when a session has read more command lines than its budget.
constexpr int kLineBudget = -2;

// The working directory of this process: <tmp>/zotfuzz-XXXXXX/run, created once and made
// the current directory. Catalogue and table files go one level up ("../").
const std::string& workdir();

// The input cut at every line made of "%%" alone; always exactly `count` parts (missing
// parts are empty, extra text goes to the last one).
std::vector<std::string> split(const uint8_t* data, size_t size, size_t count);

// Write (replace) a file relative to the working directory.
void write_file(const std::string& name, std::string_view content);
std::string read_file(const std::string& name, bool* exists = nullptr);
void remove_file(const std::string& name);

// Copy the message and help files shipped with the program (data/) into the working
// directory, when they exist.
void install_message_files();

// Close every unit, clear the toolkit, driver and table records, route standard output
// into a discarded capture and standard input to `stdin_text`.
void reset(std::string stdin_text);

// Drop the captured output (keeps memory bounded) and close every unit.
void finish();

// Run `fn`, treating an orderly end of the program (or the end of a session's line budget)
// as a normal outcome. Returns the end code, kLineBudget, or -1 when fn returned.
template <typename Fn> int guarded(Fn&& fn) {
    try {
        fn();
    } catch (const ProgramEnd& end) {
        return end.code;
    }
    return -1;
}

}  // namespace fuzz
