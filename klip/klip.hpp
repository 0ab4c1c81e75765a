// The command toolkit: line reader and field parser, keywords, dialogue and options,
// numbered messages, help, paginated output, banner and orderly end.
// Every operation works on the shared records of klip/records.hpp and reports failure
// through indic.INDERR (0 success, a negative code otherwise).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "klip/records.hpp"
#include "klip/text.hpp"

namespace klip {

// ---------------------------------------------------------------- line reader, fields
// Read the next command line into BUF (IPTR = 1): comment lines are skipped, parameter
// definitions taken, a command file's end returns to its caller; INDERR = -1 at the end.
void lire();
// Read and classify the next field. ST receives the field as typed (80 characters); INDTYP
// sums the forms the field has (integer, real, packed name, text).
void getfld(int32_t& INTEG, float& REEL, int32_t& I40, Text<80>& ST, int32_t& LN, int32_t& INDTYP);
// Next field as an integer; N = 0 and INDERR = -2 if it is not one.
void getint(int32_t& N);
// Next field as text (blank if it has no text form); LN its length.
void getstr(Text<80>& S, int32_t& LN);
// As getstr, upper-cased; S may be any length (cut or padded).
template <std::size_t N> void getstm(Text<N>& S, int32_t& LN);
// Next field as a radix-40 packed name; N = 0 and INDERR = -11 if it is not one.
void get40(int32_t& N);
// Next field as a file name (a colon belongs to the name).
void getfd(Text<80>& FNAME);
// Low-level extraction of the next field (quoted strings included).
void getst1(Text<80>& STR, int32_t& LN);
// Skip blanks from IPTR: 1 if column 80 is reached, else 0.
int skipb();
// Advance to the next separator (0), or to a terminator or column 80 (1).
int searsp();
// Field separators: SEP = S (8 characters); sepstd restores ",= : ".
void setsep(std::string_view S);
void sepstd();
// Last position (1-based) of S holding a character of SET, 0 if none.
int ianyr(std::string_view S, std::string_view SET);
// Last / first position of S holding a character not in SET, 0 if none.
int inanyr(std::string_view S, std::string_view SET);
int inanyl(std::string_view S, std::string_view SET);
// Copy S1 to S2 with a..z turned into A..Z; S2 is blank-padded (or cut) to its length.
std::string cvmaj(std::string_view S1, std::size_t len2);

// Radix-40 packing of six-character names: two groups of three alphabet digits (ALPH40),
// g = (k1 * 40 + k2) * 40 + k3, packed as g1 + g2 * 65536; igsr40 sets INDERR = -11 for a
// character outside the alphabet; dgsr40 is the inverse; ic40 finds N in TABLE (0 if none).
int32_t igsr40(std::string_view S);
Text<6> dgsr40(int32_t N);
int ic40(int32_t N, const int32_t* TABLE1, int COUNT);  // TABLE1 indexed 1..COUNT

// ---------------------------------------------------------------- keywords, dialogue
// Initialise the toolkit records (separators, alphabet, paging, debug level).
void inisyn();
// The units of a started program: output 6, command and terminal input 5, command files up
// to 12, debug output 6.
void standard_units();
// Every toolkit record back to its start-of-process value (units 0, no message files).
void reset_records();
// Read the next field and return the index (1..NTAB) of the first matching keyword, or 0.
// TABLE: NTAB entries of LKEY characters each, concatenated; IEXACT = 1 compares whole entries.
int iclef(std::string_view TABLE, int NTAB, int LKEY, int IEXACT);
// Write a prompt on UNIT and leave the line open for the answer.
void dial(int UNIT, std::string_view TEXT);
// Read an option: LIST gives 1, NLIST 0 (else INDERR = -8, IND = 1).
void list(int32_t& IND);
// Read an option: ON gives 1, OFF 0 (else INDERR = -5, IND = 0).
void onoff(int32_t& IND);

// ---------------------------------------------------------------- messages, help, files
// Name the message files: F1 toolkit messages (negative codes), F2 program messages.
void ierrfd(std::string_view F1, std::string_view F2);
// 0 for IND = 0; otherwise write message IND from its file and return 1.
int error(int32_t IND);
// Help from file FNAME on the mnemonic that follows on the command line ("*" lists them).
void help(std::string_view FNAME);
// Open the existing file FICHIER on unit LU, rewound: 0 on success, 1 on failure.
int opnold(int LU, std::string_view FICHIER);
// Write one line, with the page header when paging is on.
void ecrire(std::string_view TEXT, int UNIT);
// Banner: TEXT followed by the current date and time.
void idpro(int UNIT, std::string_view TEXT);
// The current local date and time, as "Thu Jan  1 01:00:00 1970".
Text<26> datim();
// Write the end line and end the program with status CODE.
[[noreturn]] void uexit(int32_t CODE);
// Flush all open files and end the process with status CODE.
[[noreturn]] void exit_program(int32_t CODE);

}  // namespace klip

#include "klip/getstm.ipp"
