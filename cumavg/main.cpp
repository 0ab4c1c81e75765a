// cumavg: asks for a number of values, reads them from "avirer" and writes their running
// mean to "MoyMobilCumul.txt".
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
    return cumavg::run(stdin, stdout, stderr);
}
