// cumavg: asks for a number of values, reads them from "avirer" and writes their running
// mean to "MoyMobilCumul.txt".
#include <cstdio>

#include "cumavg.hpp"

int main() { return cumavg::run(stdin, stdout, stderr); }
