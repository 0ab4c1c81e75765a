// cumavg: asks for a number of values, reads them from "avirer" and writes their running
// mean to "MoyMobilCumul.txt".
#include <csignal>
#include <cstdio>

#include "cumavg.hpp"

int main(int argc, char** argv) {
    // An argument would be ignored, and "cumavg --help" would sit waiting for the count.
    if (argc > 1) {
        std::fprintf(stderr,
                     " cumavg : argument inattendu : %s ; cumavg ne prend aucun argument : il "
                     "demande le nombre de donnees, lit avirer et ecrit MoyMobilCumul.txt dans "
                     "le dossier courant\n",
                     argv[1]);
        return cumavg::kFailure;
    }
    // Beyond a file-size limit (ulimit -f) a write fails with EFBIG and is reported, instead
    // of the signal ending the program with its temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    return cumavg::run(stdin, stdout, stderr);
}
