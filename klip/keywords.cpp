// Toolkit start, keyword lookup, prompts and the LIST/NLIST and ON/OFF option readers.
#include <cstdint>
#include <string_view>

#include "core/reset.hpp"
#include "klip/fio.hpp"
#include "klip/klip.hpp"

namespace klip {

namespace {

constexpr std::string_view kListTable = "LIST NLIST";
constexpr std::string_view kOnOffTable = "ON OFF";

}  // namespace

void inisyn() {
    indic.INDERR = 0;
    sepstd();
    spcar.TERM.set(";;;;;;;;");
    spcar.SEPF.set(",=");
    levcom.set("4.1");
    if (comlu[2] < 1 || comlu[2] > 9999) {
        comlu[1] = 6;
        comlu[2] = 5;
        comlu[3] = 5;
        comlu[4] = 12;
    }
    ccsyn.TITRE.blank();
    cisyn.LTITRE = 1;
    cisyn.NLIGNE = 9999;
    cisyn.NPAGE = 0;
    spcar.ALPH40.set(core::kRadix40Alphabet);
    indic.IPAGE = 0;
    indic.IBIN = 0;
    debug.level = 0;
    fio::write_fmt(comlu[1], "(' KLIP ',A)", {levcom.view()});
}

void standard_units() {
    comlu[1] = 6;   // output
    comlu[2] = 5;   // current command input
    comlu[3] = 5;   // terminal input
    comlu[4] = 12;  // highest command-file unit
    comlu[31] = 6;  // debug output
}

void reset_records() {
    core::restore_initial(cisyn);
    core::restore_initial(ccsyn);
    core::restore_initial(spcar);
    core::restore_initial(indic);
    comlu.fill(0);
    core::restore_initial(cpara);
    levcom.set("4.1");
    core::restore_initial(fderrc);
    core::restore_initial(debug);
}

int iclef(std::string_view TABLE, int NTAB, int LKEY, int IEXACT) {
    int32_t ln = 0;
    getstm(ccsyn.CLE, ln);
    if (indic.INDERR != 0) return 0;
    if (LKEY <= 0) return 0;
    std::string_view cle = ccsyn.CLE.view();
    for (int i = 1; i <= NTAB; ++i) {
        std::size_t from = static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(LKEY);
        if (from >= TABLE.size()) break;
        std::string entry =
            pad(TABLE.substr(from, static_cast<std::size_t>(LKEY)), static_cast<std::size_t>(LKEY));
        std::size_t l = entry.find(' ');
        if (l == 0 && IEXACT != 1) continue;  // an entry without a keyword matches nothing
        if (l == std::string::npos || IEXACT == 1) l = entry.size();
        // The keyword holds 10 characters; a longer entry is compared on those only.
        if (l > cle.size()) l = cle.size();
        if (cle.substr(0, l) == std::string_view(entry).substr(0, l)) return i;
    }
    return 0;
}

void dial(int UNIT, std::string_view TEXT) { fio::write_prompt(UNIT, TEXT); }

namespace {

// A two-word option: the first word gives 1, the second 0; anything else sets `code` and
// the default.
void option(std::string_view table, int lkey, int32_t code, int32_t fallback, int32_t& IND) {
    int k = iclef(table, 2, lkey, 0);
    if (indic.INDERR != 0) k = 0;
    if (k == 1) {
        IND = 1;
    } else if (k == 2) {
        IND = 0;
    } else {
        indic.INDERR = code;
        IND = fallback;
    }
}

}  // namespace

void list(int32_t& IND) { option(kListTable, 5, -8, 1, IND); }

void onoff(int32_t& IND) { option(kOnOffTable, 3, -5, 0, IND); }

}  // namespace klip
