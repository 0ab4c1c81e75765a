// Fuzz target: the command-line reader and field parser. The input is typed at the terminal
// line after line; every line is cut into fields with the typed readers, so that
// substitution parameters ("$X"), inline definitions ("... < X text") and every field
// classification are reached. A first field "DEBUG" sets the debug level from the next
// field, which reaches the toolkit's traces (negative levels).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/harness.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"

namespace {

constexpr int kMaxLines = 64;
constexpr int kMaxFields = 48;

// Keywords of this target: DEBUG sets the level, the others choose how fields are read.
constexpr std::string_view kKeys =
    "DEBUG     "
    "FILE      "
    "NAME      "
    "INT       "
    "OPT       "
    "ONOFF     "
    "UPPER     ";

void read_fields(int how) {
    for (int f = 0; f < kMaxFields; ++f) {
        klip::indic.INDERR = 0;
        int32_t n = 0;
        float r = 0.0f;
        int32_t i40 = 0;
        klip::Text<80> st;
        int32_t ln = 0;
        int32_t typ = 0;
        switch ((how + f) % 7) {
            case 0: klip::getfld(n, r, i40, st, ln, typ); break;
            case 1: klip::getfd(st); break;
            case 2: klip::get40(n); break;
            case 3: klip::getint(n); break;
            case 4: klip::list(n); break;
            case 5: klip::onoff(n); break;
            default: {
                klip::Text<10> up;
                klip::getstm(up, ln);
                break;
            }
        }
        if (klip::indic.INDERR == -3) {
            // The terminator ends the command; the next request goes on after it.
            if (klip::cisyn.IPTR >= klip::kLineLen) return;
        } else if (klip::indic.INDERR != 0) {
            klip::error(klip::indic.INDERR);
        }
        if (klip::cisyn.IPTR < 1 || klip::cisyn.IPTR > klip::kBufLen + 1) __builtin_trap();
    }
}

void session() {
    klip::standard_units();
    klip::ierrfd(klip::pad("synerr", 50), klip::pad("zotmer", 50));
    klip::inisyn();
    for (int line = 0; line < kMaxLines; ++line) {
        klip::lire();
        if (klip::indic.INDERR == -1) return;  // end of input
        if (klip::indic.INDERR != 0) continue;
        const int key = klip::iclef(kKeys, 7, 10, 0);
        if (key == 1) {
            klip::getint(klip::debug.level);
            klip::error(klip::indic.INDERR);
            continue;
        }
        read_fields(key + line);
        if (klip::cpara.NPARA < 0 || klip::cpara.NPARA > klip::kMaxParams) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::workdir();
    fuzz::install_message_files();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    fuzz::reset(std::string(reinterpret_cast<const char*>(data), size));
    fuzz::guarded(session);
    fuzz::finish();
    return 0;
}
