// zot: with no argument, the command loop on standard input. "--help" and "--version" print
// on standard output and end; any other argument is refused with status 2.
#include <csignal>
#include <cstdio>
#include <cstring>

#include "driver/run.hpp"

#ifndef ZOT_VERSION
#define ZOT_VERSION "unknown"
#endif
#ifndef ZOT_SYNERR_DIR
#define ZOT_SYNERR_DIR ""
#endif

namespace {

constexpr const char* kUsage =
    "Usage: zot            (commands on standard input)\n"
    "       zot --help     this text\n"
    "       zot --version  the version\n"
    "\n"
    "zot is an ensemble Monte Carlo simulator of hot-carrier transport in a bulk\n"
    "semiconductor under a constant electric field. It reads commands, one per line,\n"
    "on standard input (a terminal, a pipe or a file) and writes its report, in\n"
    "French, on standard output. AIDE * lists the commands, AIDE <command> explains\n"
    "one, EXIT ends.\n"
    "\n"
    "The command CA makes one run. It asks for two file names:\n"
    "  nom du fichier de donnees du materiau ?   the material data file (5 records)\n"
    "  nom du fichier de donnees du run ?        the run data file (20 records)\n"
    "The material's table file is found through the catalogue .././replam, one folder\n"
    "up from the current one.\n"
    "\n"
    "Example:  printf 'CA\\ngaas.mat\\ngaas.run\\nEXIT\\n' | zot > report.txt\n"
    "\n";

void usage() {
    std::fputs(kUsage, stdout);
    const char* dir = ZOT_SYNERR_DIR;
    if (*dir == '\0') {
        std::fputs(
            "The message files synerr and zotmer and the help file zothlp are read from the\n"
            "current folder.\n",
            stdout);
    } else {
        std::printf(
            "The message file zotmer and the help file zothlp are read from the current\n"
            "folder, the message file synerr from %s.\n",
            dir);
    }
    std::fputs(
        "\n"
        "Documentation: README.md and docs/runs.md in the zot source tree (the data files\n"
        "record by record, the report line by line, the output files, the exit codes).\n"
        "Exit status: 0, or the number of errors reported; 2 for a fatal stop or a bad\n"
        "argument; 3 when standard output cannot be written.\n",
        stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        usage();
        return std::fflush(stdout) == 0 ? 0 : 3;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("zot %s\n", ZOT_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 3;
    }
    if (argc > 1) {
        // "--help --help" used to be called an unknown argument '--help'.
        const bool known =
            std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "--version") == 0;
        std::fprintf(stderr,
                     "zot: %s argument '%s'. zot reads its commands on standard input; "
                     "its only options are --help and --version, given alone.\n",
                     known ? "unexpected" : "unknown", argv[known ? 2 : 1]);
        return 2;
    }
    // Beyond a file-size limit (ulimit -f) a write fails with EFBIG and is reported like a
    // full disk, instead of the signal ending the run and leaving a temporary file behind.
    std::signal(SIGXFSZ, SIG_IGN);
    driver::startup();
    driver::command_loop();
}
