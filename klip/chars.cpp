// Character helpers of the toolkit: separator sets, character-set scans, upper-casing and
// the radix-40 packing of six-character names into one 32-bit integer.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/vocabulary.hpp"
#include "klip/fio.hpp"
#include "klip/klip.hpp"

namespace klip {

namespace {

bool in_set(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Upper-case traces of cvmaj are wanted from debug level -199 to -104.
bool trace_cvmaj() { return debug.level >= -199 && debug.level <= -104; }

// Code of one character in the radix-40 alphabet (0..39), or -1 when it is not in it.
int code40(char c) {
    std::string_view alph = spcar.ALPH40.view();
    std::size_t p = alph.find(upper(c));
    return p == std::string_view::npos ? -1 : static_cast<int>(p);
}

}  // namespace

void setsep(std::string_view S) { spcar.SEP.set(S); }

void sepstd() { spcar.SEP.set(",= :"); }

int ianyr(std::string_view S, std::string_view SET) {
    for (std::size_t i = S.size(); i > 0; --i) {
        if (in_set(S[i - 1], SET)) return static_cast<int>(i);
    }
    return 0;
}

int inanyr(std::string_view S, std::string_view SET) {
    for (std::size_t i = S.size(); i > 0; --i) {
        if (!in_set(S[i - 1], SET)) return static_cast<int>(i);
    }
    return 0;
}

int inanyl(std::string_view S, std::string_view SET) {
    for (std::size_t i = 0; i < S.size(); ++i) {
        if (!in_set(S[i], SET)) return static_cast<int>(i + 1);
    }
    return 0;
}

std::string cvmaj(std::string_view S1, std::size_t len2) {
    if (trace_cvmaj()) {
        fio::List(comlu[1]) << "CVMAJ:S1,LEN(S1) " << S1 << static_cast<int32_t>(S1.size());
    }
    std::string s2(len2, ' ');
    std::size_t n = S1.size() < len2 ? S1.size() : len2;
    for (std::size_t i = 0; i < n; ++i) s2[i] = upper(S1[i]);
    if (trace_cvmaj()) {
        fio::List(comlu[1]) << "CVMAJ:S2,LEN(S2) " << s2 << static_cast<int32_t>(len2);
    }
    return s2;
}

int32_t igsr40(std::string_view S) {
    std::array<int, 6> k{};
    for (std::size_t i = 0; i < 6; ++i) {
        char c = i < S.size() ? S[i] : ' ';
        k[i] = code40(c);
        if (k[i] < 0) {
            indic.INDERR = -11;
            return 0;
        }
    }
    return core::pack_radix40(k);
}

Text<6> dgsr40(int32_t N) {
    uint32_t u = static_cast<uint32_t>(N);
    uint32_t g[2] = {u % 65536u, u / 65536u};
    Text<6> s;
    std::string_view alph = spcar.ALPH40.view();
    for (int grp = 0; grp < 2; ++grp) {
        uint32_t v = g[grp];
        for (int j = 2; j >= 0; --j) {
            // A group above 63999 cannot come from a name; its top digit is folded into
            // the alphabet so that every value unpacks to something printable.
            s.c[static_cast<std::size_t>(grp * 3 + j)] = alph[v % 40u];
            v /= 40u;
        }
    }
    return s;
}

int ic40(int32_t N, const int32_t* TABLE1, int COUNT) {
    for (int i = 1; i <= COUNT; ++i) {
        if (TABLE1[i] == N) return i;
    }
    return 0;
}

}  // namespace klip
