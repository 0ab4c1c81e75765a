// The command loop of zot: one command line at a time, its keyword looked up in the
// command table and carried out; errors are reported through the toolkit and counted.
#include <string_view>

#include "driver/input.hpp"
#include "driver/run.hpp"
#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"

namespace driver {

namespace {

// The command table: 14 keywords of 20 characters, blank-padded, in lookup order.
constexpr int kKeyLen = 20;
constexpr int kNumKeys = 14;
constexpr std::string_view kTabcle =
    "EXIT                "
    "BIBRET              "
    "Q                   "
    "DEBUG               "
    "BIBLI               "
    "BATCH               "
    "INTER               "
    "ECHO                "
    "TITRE               "
    "AIDE                "
    "SUBST               "
    "SYNTAXE             "
    "CA                  "
    "CONS                ";
static_assert(kTabcle.size() == kKeyLen * kNumKeys);

enum Command {
    kExit = 1,
    kBibret,
    kQ,
    kDebug,
    kBibli,
    kBatch,
    kInter,
    kEcho,
    kTitre,
    kAide,
    kSubst,
    kSyntaxe,
    kCa,
    kCons
};

// Report the field error left by the last toolkit call, if any; 1 when there was one.
int field_error() { return klip::error(klip::indic.INDERR); }

void cmd_bibret() {
    auto& lu = klip::comlu;
    if (lu[2] == lu[3]) {
        klip::error(-1);
        return;
    }
    fio::close(lu[2]);
    lu[2] -= 1;
    if (lu[2] == lu[1]) lu[2] -= 1;
    klip::indic.IECHO = lu[4 + lu[2]];
}

void cmd_bibli() {
    auto& lu = klip::comlu;
    klip::getfd(setup.fnbib);
    if (field_error()) return;
    if (lu[2] >= lu[4]) {
        klip::error(-7);
        return;
    }
    int32_t unit = lu[2] + 1;
    if (unit == lu[1]) unit += 1;
    if (unit > lu[4]) {
        klip::error(-7);
        return;
    }
    if (klip::opnold(unit, setup.fnbib.view()) != 0) return;
    lu[2] = unit;
    klip::list(setup.indbi);
    if (klip::indic.INDERR != 0) setup.indbi = 0;
    lu[4 + unit] = setup.indbi;
    klip::indic.IECHO = setup.indbi;
}

void cmd_titre() {
    auto& c = klip::ccsyn;
    if (klip::skipb() == 1) {
        c.TITRE.blank();
        klip::cisyn.LTITRE = 1;
        return;
    }
    const std::size_t from = static_cast<std::size_t>(klip::cisyn.IPTR) - 1;
    c.TITRE.set(c.BUF.view().substr(from));
    klip::cisyn.LTITRE = klip::inanyr(c.TITRE.view(), " ");
}

void cmd_subst() {
    auto& p = klip::cpara;
    int32_t name = 0;
    klip::get40(name);
    if (field_error()) return;
    int k = klip::ic40(name, p.NOMPAR.data(), p.NPARA);
    if (k == 0) {
        if (p.NPARA >= klip::kMaxParams) {
            klip::error(-15);
            return;
        }
        p.NPARA += 1;
        k = p.NPARA;
        p.NOMPAR[k] = name;
    }
    if (klip::skipb() == 1) {
        p.STPARA[k].blank();
        return;
    }
    const std::size_t from = static_cast<std::size_t>(klip::cisyn.IPTR) - 1;
    p.STPARA[k].set(klip::ccsyn.BUF.view().substr(from, 60));
}

void cmd_syntaxe() {
    constexpr std::string_view word = "SYNTAXE";
    auto& buf = klip::ccsyn.BUF;
    const int32_t first = klip::cisyn.IPTR + 1;
    if (first >= 1 && first + static_cast<int32_t>(word.size()) - 1 <= klip::kBufLen) {
        for (std::size_t i = 0; i < word.size(); ++i) buf.at1(first + i) = word[i];
    }
    klip::help(setup.fnaide.view());
}

void cmd_cons() {
    int32_t value = 0;
    klip::getint(value);
    if (field_error()) return;
    setup.icons = value;
}

// Carry out the command of table index `cmd`.
void execute(int cmd) {
    switch (cmd) {
        case kExit:
        case kQ: klip::uexit(klip::cisyn.NERR);
        case kBibret: cmd_bibret(); break;
        case kDebug:
            klip::getint(klip::debug.level);
            field_error();
            break;
        case kBibli: cmd_bibli(); break;
        case kBatch: klip::indic.IPAGE = 1; break;
        case kInter: klip::indic.IPAGE = 0; break;
        case kEcho:
            klip::onoff(klip::indic.IECHO);
            field_error();
            break;
        case kTitre: cmd_titre(); break;
        case kAide: klip::help(setup.fnaide.view()); break;
        case kSubst: cmd_subst(); break;
        case kSyntaxe: cmd_syntaxe(); break;
        case kCa: run_ca(); break;
        case kCons: cmd_cons(); break;
        default: break;
    }
}

}  // namespace

void ouinon(int32_t& answer) {
    klip::Text<3> field;
    int32_t ln = 0;
    klip::getstm(field, ln);
    if (klip::indic.INDERR != 0) return;
    if (field.at1(1) == 'O') answer = 1;
    else if (field.at1(1) == 'N') answer = 0;
}

void command_loop() {
    for (;;) {
        klip::lire();
        // End of input ends like EXIT: the error count is the end code.
        if (klip::indic.INDERR != 0) klip::uexit(klip::cisyn.NERR);
        const int cmd = klip::iclef(kTabcle, kNumKeys, kKeyLen, 0);
        if (cmd < 1 || cmd > kNumKeys) {
            klip::error(-4);
            continue;
        }
        execute(cmd);
    }
}

}  // namespace driver
