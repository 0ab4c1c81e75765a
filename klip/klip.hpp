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
void lire();
// Read and classify the next field. ST receives the field as typed (80 characters).
void getfld(int32_t& INTEG, float& REEL, int32_t& I40, Text<80>& ST, int32_t& LN, int32_t& INDTYP);
void getint(int32_t& N);
void getstr(Text<80>& S, int32_t& LN);
// As getstr, upper-cased; S may be any length (cut or padded).
template <std::size_t N> void getstm(Text<N>& S, int32_t& LN);
void get40(int32_t& N);
void getfd(Text<80>& FNAME);
void getst1(Text<80>& STR, int32_t& LN);
int skipb();
int searsp();
void setsep(std::string_view S);
void sepstd();
int ianyr(std::string_view S, std::string_view SET);
int inanyr(std::string_view S, std::string_view SET);
int inanyl(std::string_view S, std::string_view SET);
// Copy S1 to S2 with a..z turned into A..Z; S2 is blank-padded (or cut) to its length.
std::string cvmaj(std::string_view S1, std::size_t len2);

// Radix-40 packing of six-character names.
int32_t igsr40(std::string_view S);
Text<6> dgsr40(int32_t N);
int ic40(int32_t N, const int32_t* TABLE1, int COUNT);  // TABLE1 indexed 1..COUNT

// ---------------------------------------------------------------- keywords, dialogue
void inisyn();
// TABLE: NTAB entries of LKEY characters each, concatenated.
int iclef(std::string_view TABLE, int NTAB, int LKEY, int IEXACT);
void dial(int UNIT, std::string_view TEXT);
void list(int32_t& IND);
void onoff(int32_t& IND);

// ---------------------------------------------------------------- messages, help, files
void ierrfd(std::string_view F1, std::string_view F2);
int error(int32_t IND);
void help(std::string_view FNAME);
int opnold(int LU, std::string_view FICHIER);
void ecrire(std::string_view TEXT, int UNIT);
void idpro(int UNIT, std::string_view TEXT);
Text<26> datim();
[[noreturn]] void uexit(int32_t CODE);
[[noreturn]] void exit_program(int32_t CODE);

}  // namespace klip

#include "klip/getstm.ipp"
