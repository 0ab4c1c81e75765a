// Shared records of the command toolkit. One instance of each lives for the whole process.
// Arrays that the texts index from 1 are sized one larger and indexed from 1 (element 0 unused).
#pragma once

#include <array>
#include <cstdint>

#include "core/vocabulary.hpp"
#include "klip/text.hpp"

namespace klip {

constexpr int kMaxParams = 100;  // capacity of the parameter table
constexpr int kBufLen = 200;     // BUF: 80 columns read, the rest serves substitution
constexpr int kLineLen = 80;     // columns of a command line

// cisyn: the line reader's positions and the page counters
struct Cisyn {
    int32_t IPTR = 1;       // current column of BUF (1-based)
    int32_t IPTR0 = 0;      // column where the last field began (0: no field read yet)
    int32_t LTITRE = 1;     // length of TITRE
    int32_t NLIGNE = 9999;  // lines written on the current page
    int32_t NPAGE = 0;      // current page number
    int32_t NERR = 0;       // errors reported so far
};
inline Cisyn cisyn;

// ccsyn: the line reader's texts
struct Ccsyn {
    Text<kBufLen> BUF;  // the current command line
    Text<80> TITRE;     // page title
    Text<10> CLE;       // last keyword read by iclef
};
inline Ccsyn ccsyn;

// spcar: the field separators and the radix-40 alphabet
struct Spcar {
    Text<8> SEP{",= :    "};                  // characters that end a field
    Text<8> TERM{";;;;;;;;"};                 // characters that end a command
    Text<8> SEPF{",=      "};                 // separators of a file-name field
    Text<40> ALPH40{core::kRadix40Alphabet};  // digit values 0..39
};
inline Spcar spcar;

// indic: status and modes of the toolkit
struct Indic {
    int32_t INDERR = 0;  // error code of the last operation, 0 = success
    int32_t IECHO = 0;   // 1 = every line read is echoed
    int32_t IPAGE = 0;   // 1 = output through ecrire is paginated
    int32_t IBIN = 0;    // 1 = command lines are unformatted 80-character records
    int32_t IREC = 1;    // next record number in that mode
};
inline Indic indic;

// comlu: entry 1 output unit, 2 current input unit, 3 terminal input unit, 4 highest
// command-file unit, 4+u echo flag to restore when input returns to unit u, 31 debug unit.
inline std::array<int32_t, 41> comlu{};

// Parameter table (cpara1, cpara2): names defined by the user and their texts
struct Cpara {
    int32_t NPARA = 0;                              // parameters defined, 0..kMaxParams
    std::array<int32_t, kMaxParams + 1> NOMPAR{};   // names, radix-40 packed
    std::array<Text<60>, kMaxParams + 1> STPARA{};  // substituted texts
};
inline Cpara cpara;

// levcom: the toolkit level
inline Text<20> levcom{"4.1"};

// fderrc: the two message files
struct Fderrc {
    Text<80> FERSYN;  // toolkit messages (negative codes)
    Text<80> FERAPP;  // program messages (positive codes)
};
inline Fderrc fderrc;

// The shared debug level (record `debug`): owned by the driver, read by the toolkit too.
struct DebugRec {
    // Trace level: 0 none; 2..99 more run traces (10..99 also every selection); 100 + ip the
    // flights of particle ip; -101..-200 the toolkit's own traces.
    int32_t level = 0;
};
inline DebugRec debug;

}  // namespace klip
