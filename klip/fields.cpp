// The field parser: cutting the command line in BUF into fields, parameter substitution,
// and the classification of each field as integer, real, packed name and string.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "klip/fio.hpp"
#include "klip/klip.hpp"

namespace klip {

namespace {

constexpr int kLastColumn = 80;  // columns 1..79 are examined; reaching 80 ends the line
constexpr int kMaxSubstitutions = 100;
constexpr int kMinPow = -45;
constexpr int kMaxPow = 38;

// Powers of ten in single precision, correctly rounded, 1e-45 .. 1e38.
constexpr float kPow10[kMaxPow - kMinPow + 1] = {
    1e-45f, 1e-44f, 1e-43f, 1e-42f, 1e-41f, 1e-40f, 1e-39f, 1e-38f, 1e-37f, 1e-36f, 1e-35f, 1e-34f,
    1e-33f, 1e-32f, 1e-31f, 1e-30f, 1e-29f, 1e-28f, 1e-27f, 1e-26f, 1e-25f, 1e-24f, 1e-23f, 1e-22f,
    1e-21f, 1e-20f, 1e-19f, 1e-18f, 1e-17f, 1e-16f, 1e-15f, 1e-14f, 1e-13f, 1e-12f, 1e-11f, 1e-10f,
    1e-9f,  1e-8f,  1e-7f,  1e-6f,  1e-5f,  1e-4f,  1e-3f,  1e-2f,  1e-1f,  1e0f,   1e1f,   1e2f,
    1e3f,   1e4f,   1e5f,   1e6f,   1e7f,   1e8f,   1e9f,   1e10f,  1e11f,  1e12f,  1e13f,  1e14f,
    1e15f,  1e16f,  1e17f,  1e18f,  1e19f,  1e20f,  1e21f,  1e22f,  1e23f,  1e24f,  1e25f,  1e26f,
    1e27f,  1e28f,  1e29f,  1e30f,  1e31f,  1e32f,  1e33f,  1e34f,  1e35f,  1e36f,  1e37f,  1e38f};

float pow10f(int k) {
    if (k < kMinPow) return 0.0f;
    if (k > kMaxPow) return INFINITY;
    return kPow10[k - kMinPow];
}

// The scale suffixes, three characters each; the entry at 1-based position p scales by
// 10^(12 - (p - 1)). Only the eleven aligned entries count.
constexpr std::string_view kScales = "T  G  MEGK     MILU  N  P  F  A  ";

bool trace_getfld() { return debug.level >= -199 && debug.level <= -101; }
bool trace_getst1() { return debug.level >= -199 && debug.level <= -103; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool in_set(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

// Scale of the suffix starting at `s` (up to three characters, blank-padded); false when
// the suffix is not in the table.
bool scale_suffix(std::string_view s, int& power) {
    std::string key = pad(s.substr(0, 3), 3);
    for (std::size_t p = 0; p + 3 <= kScales.size(); p += 3) {
        if (kScales.substr(p, 3) == key) {
            power = 12 - static_cast<int>(p);
            return true;
        }
    }
    return false;
}

// Integer reading of an upper-cased field: optional sign, then decimal digits only.
// Digits that overflow a 32-bit signed integer make the field no integer.
bool scan_integer(std::string_view f, int32_t& value) {
    std::size_t i = 0;
    int32_t sign = 1;
    if (!f.empty() && (f[0] == '-' || f[0] == '+')) {
        if (f[0] == '-') sign = -1;
        i = 1;
    }
    int64_t v = 0;
    for (; i < f.size(); ++i) {
        if (!is_digit(f[i])) return false;
        v = v * 10 + (f[i] - '0');
        if (v > INT32_MAX) return false;
    }
    value = sign * static_cast<int32_t>(v);
    return true;
}

// Real reading of an upper-cased field: mantissa, optional fraction, optional exponent,
// optional scale suffix. A result that is not finite is no real.
bool scan_real(std::string_view f, float& value) {
    std::size_t i = 0;
    float sign = 1.0f;
    if (!f.empty() && (f[0] == '-' || f[0] == '+')) {
        if (f[0] == '-') sign = -1.0f;
        i = 1;
    }
    enum { kMantissa, kFraction, kExponent } part = kMantissa;
    float r = 0.0f;
    float b = 10.0f;
    int esign = 1;
    int32_t ex = 0;
    bool exp_start = false;
    int scale = 0;
    for (; i < f.size(); ++i) {
        char c = f[i];
        if (part == kExponent && exp_start && (c == '-' || c == '+')) {
            if (c == '-') esign = -1;
            exp_start = false;
            continue;
        }
        if (is_digit(c)) {
            float d = static_cast<float>(c - '0');
            if (part == kMantissa) {
                r = r * 10.0f + d;
            } else if (part == kFraction) {
                r = r + d / b;
                b = b * 10.0f;
            } else if (ex < 100000) {
                ex = ex * 10 + (c - '0');
            }
            exp_start = false;
            continue;
        }
        if (c == '.' && part == kMantissa) {
            part = kFraction;
            continue;
        }
        if (c == 'E' && part != kExponent) {
            part = kExponent;
            exp_start = true;
            continue;
        }
        if (!scale_suffix(f.substr(i), scale)) return false;
        break;
    }
    if (trace_getfld()) {
        fio::List(comlu[1]) << "GETFLD : mantisse, signe :" << r << sign;
        fio::List(comlu[1]) << "GETFLD : exposant, echelle :" << esign * ex
                            << static_cast<int32_t>(scale);
    }
    float v = sign * r * pow10f(scale);
    if (r != 0.0f) v = v * pow10f(esign * ex);
    if (!std::isfinite(v)) return false;
    value = v;
    return true;
}

// Replace the field "$NAME" that starts at IPTR0 and ended at column IPTR-1 by the text of
// parameter k, keeping the rest of the line from the separator onward.
void substitute(int k) {
    Text<kBufLen>& buf = ccsyn.BUF;
    std::string bufa(cpara.STPARA[static_cast<std::size_t>(k)].trimmed());
    std::size_t sep = static_cast<std::size_t>(cisyn.IPTR - 2);  // 0-based separator column
    bufa.append(buf.view().substr(sep));
    std::size_t start = static_cast<std::size_t>(cisyn.IPTR0 - 1);
    std::string tail = pad(bufa, kBufLen - start);
    std::copy(tail.begin(), tail.end(), buf.c.begin() + static_cast<std::ptrdiff_t>(start));
    cisyn.IPTR = cisyn.IPTR0;
}

}  // namespace

int skipb() {
    if (cisyn.IPTR < 1) cisyn.IPTR = 1;
    while (cisyn.IPTR < kLastColumn && ccsyn.BUF.at1(static_cast<std::size_t>(cisyn.IPTR)) == ' ') {
        ++cisyn.IPTR;
    }
    return cisyn.IPTR >= kLastColumn ? 1 : 0;
}

int searsp() {
    while (true) {
        if (cisyn.IPTR >= kLastColumn || cisyn.IPTR < 1) return 1;
        char c = ccsyn.BUF.at1(static_cast<std::size_t>(cisyn.IPTR));
        ++cisyn.IPTR;
        if (in_set(c, spcar.SEP.view())) return 0;
        if (in_set(c, spcar.TERM.view())) return 1;
    }
}

void getst1(Text<80>& STR, int32_t& LN) {
    if (trace_getst1()) fio::List(comlu[1]) << "Entree dans GETST1";
    indic.INDERR = 0;
    STR.blank();
    LN = 0;
    if (skipb() == 1) {
        indic.INDERR = -3;
    } else {
        cisyn.IPTR0 = cisyn.IPTR;
        if (searsp() == 1) {
            indic.INDERR = -3;
        } else if (cisyn.IPTR == cisyn.IPTR0 + 1) {
            indic.INDERR = -4;
        } else {
            LN = cisyn.IPTR - cisyn.IPTR0 - 1;
            STR.set(ccsyn.BUF.view().substr(static_cast<std::size_t>(cisyn.IPTR0 - 1),
                                            static_cast<std::size_t>(LN)));
        }
    }
    if (trace_getst1()) fio::List(comlu[1]) << "GETST1 : STR,LN" << STR.view() << LN;
}

// The next field into `work`, with parameter references "$NAME" replaced by their texts
// (a replaced text may hold further references). False on any error, LN then 0.
static bool next_field(Text<80>& work, int32_t& LN) {
    for (int nsub = 0;; ++nsub) {
        getst1(work, LN);
        if (indic.INDERR == 0 && LN <= 0) indic.INDERR = -1000;
        if (indic.INDERR != 0) break;
        if (work.at1(1) != '$') return true;
        int32_t name = igsr40(work.view().substr(1, 6));
        bool valid = indic.INDERR == 0;
        indic.INDERR = 0;
        int k = valid ? ic40(name, cpara.NOMPAR.data(), std::min(cpara.NPARA, kMaxParams)) : 0;
        if (k == 0) {
            indic.INDERR = -14;
            break;
        }
        if (nsub == kMaxSubstitutions) {
            indic.INDERR = -16;
            break;
        }
        if (trace_getfld()) {
            fio::List(comlu[1]) << "GETFLD : substitution de" << work.view().substr(0, 7) << "par"
                                << cpara.STPARA[static_cast<std::size_t>(k)].view();
        }
        substitute(k);
    }
    work.blank();
    LN = 0;
    return false;
}

void getfld(int32_t& INTEG, float& REEL, int32_t& I40, Text<80>& ST, int32_t& LN, int32_t& INDTYP) {
    if (trace_getfld()) fio::List(comlu[1]) << "Entree dans GETFLD";
    INTEG = 0;
    REEL = 0.0f;
    I40 = 0;
    ST.blank();
    INDTYP = 0;
    Text<80> work;
    if (!next_field(work, LN)) return;
    std::string_view field = work.view().substr(0, static_cast<std::size_t>(LN));
    if (trace_getfld()) fio::List(comlu[1]) << "GETFLD : champ,LN :" << field << LN;
    ST = work;
    INDTYP += 8;
    if (LN <= 6) {
        I40 = igsr40(field);
        if (indic.INDERR == 0) {
            INDTYP += 4;
        } else {
            indic.INDERR = 0;
            I40 = 0;
        }
    }
    std::string up = cvmaj(field, field.size());
    if (scan_integer(up, INTEG)) INDTYP += 1;
    if (scan_real(up, REEL)) INDTYP += 2;
    if (trace_getfld()) {
        fio::List(comlu[1]) << "GETFLD : INTEG,REEL,I40,INDTYP :" << INTEG << REEL << I40 << INDTYP;
    }
}

void getint(int32_t& N) {
    int32_t integ = 0, i40 = 0, ln = 0, typ = 0;
    float reel = 0.0f;
    Text<80> st;
    getfld(integ, reel, i40, st, ln, typ);
    N = 0;
    if (indic.INDERR != 0) return;
    if (typ & 1) {
        N = integ;
    } else {
        indic.INDERR = -2;
    }
}

void getstr(Text<80>& S, int32_t& LN) {
    int32_t integ = 0, i40 = 0, typ = 0;
    float reel = 0.0f;
    Text<80> st;
    getfld(integ, reel, i40, st, LN, typ);
    if (indic.INDERR == 0 && (typ & 8)) {
        S = st;
    } else {
        S.blank();
    }
}

void get40(int32_t& N) {
    int32_t integ = 0, ln = 0, typ = 0;
    float reel = 0.0f;
    Text<80> st;
    getfld(integ, reel, N, st, ln, typ);
    if (indic.INDERR != 0) {
        N = 0;
        return;
    }
    if (!(typ & 4)) {
        N = 0;
        indic.INDERR = -11;
    }
}

void getfd(Text<80>& FNAME) {
    FNAME.blank();
    int32_t ln = 0;
    setsep(spcar.SEPF.view());
    getstr(FNAME, ln);
    sepstd();
}

}  // namespace klip
