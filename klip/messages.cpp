// The output side of the toolkit: paginated lines, numbered messages read from the message
// files, opening existing files, the banner with the date and the orderly end.
//
// Message files: line 1 is a header naming the toolkit level between apostrophes, e.g.
//     KLIP message file, level '4.1'
// The file is accepted when the text between the last two apostrophes of the header equals
// the level of the toolkit (levcom without its trailing blanks). A header without two
// apostrophes, or naming another level, makes the file incompatible. Line 1 + n holds the
// message of code n (of code -n in the toolkit's file): column 1 the type digit, columns
// 2..110 the text.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "klip/fio.hpp"
#include "klip/klip.hpp"

namespace klip {

namespace {

constexpr int kMsgLen = 110;
constexpr int kPageLines = 60;

bool trace_error() { return debug.level >= -200 && debug.level <= -106; }
bool trace_opnold() { return debug.level >= -199 && debug.level <= -101; }

int message_unit() { return comlu[4] + 5; }

bool header_accepted(std::string_view header) {
    std::size_t last = header.rfind('\'');
    if (last == std::string_view::npos || last == 0) return false;
    std::size_t first = header.rfind('\'', last - 1);
    if (first == std::string_view::npos) return false;
    return header.substr(first + 1, last - first - 1) == levcom.trimmed();
}

enum class Lookup { Found, Incompatible, Short, NotOpened };

// Find the message line of number n in `file`; `line` receives it (110 columns).
Lookup read_message(std::string_view file, int64_t n, std::string& line) {
    int lu = message_unit();
    if (fio::open_old(lu, file) != 0) return Lookup::NotOpened;
    std::string header;
    if (!fio::read_line(lu, header)) {
        fio::close(lu);
        return Lookup::Short;
    }
    header = pad(header, kMsgLen);
    if (trace_error()) {
        fio::List(comlu[1]) << "error : entete :" << std::string_view(header).substr(0, 40)
                            << " level:" << levcom.view();
    }
    if (!header_accepted(header)) {
        fio::close(lu);
        return Lookup::Incompatible;
    }
    for (int64_t i = 0; i < n; ++i) {
        if (!fio::read_line(lu, line)) {
            fio::close(lu);
            return Lookup::Short;
        }
    }
    fio::close(lu);
    line = pad(line, kMsgLen);
    return Lookup::Found;
}

}  // namespace

void ierrfd(std::string_view F1, std::string_view F2) {
    fderrc.FERSYN.set(F1);
    fderrc.FERAPP.set(F2);
}

void ecrire(std::string_view TEXT, int UNIT) {
    std::size_t l = TEXT.size() < 78 ? TEXT.size() : 78;
    cisyn.NLIGNE += 1;
    if (indic.IPAGE == 1 && cisyn.NLIGNE >= kPageLines) {
        cisyn.NPAGE += 1;
        cisyn.NLIGNE = 4;
        int32_t lt = cisyn.LTITRE < 0 ? 0 : (cisyn.LTITRE > 59 ? 59 : cisyn.LTITRE);
        std::string title = pad(ccsyn.TITRE.view().substr(0, static_cast<std::size_t>(lt)), 59);
        fio::write_fmt(UNIT, "('1',9X,A,'PAGE:',I4)", {title, cisyn.NPAGE});
        fio::write_line(UNIT, "");
        fio::write_line(UNIT, "");
    }
    fio::write_fmt(UNIT, "(1X,A)", {TEXT.substr(0, l)});
}

int error(int32_t IND) {
    if (IND == 0) return 0;
    cisyn.NERR += 1;
    const int out = comlu[1];
    const Text<80>& file = IND < 0 ? fderrc.FERSYN : fderrc.FERAPP;
    int64_t n = IND < 0 ? -static_cast<int64_t>(IND) : IND;
    ecrire(ccsyn.BUF.view(), out);

    std::string line;
    switch (read_message(file.view(), n, line)) {
        case Lookup::Found: break;
        case Lookup::Incompatible:
            fio::write_fmt(out, "('LE FICHIER ',A,' EST INCOMPATIBLE')", {file.view()});
            fio::write_fmt(out, "('ERREUR',I12)", {IND});
            return 1;
        case Lookup::Short:
            fio::write_fmt(out, "('ERREUR DE FORMAT FICHIER ERREUR ',A)", {file.view()});
            fio::write_fmt(out, "('ERREUR',I12)", {IND});
            return 1;
        case Lookup::NotOpened: fio::write_fmt(out, "('ERREUR',I12)", {IND}); return 1;
    }

    char type = line[0];
    if (type < '0' || type > '9') {
        fio::write_line(out, "ERREUR NON REPERTORIEE");
        uexit(2);
    }
    if (type != '2') {
        if (type != '1')
            fio::write_fmt(out, "('TYPE D''ERREUR INCONNU : ',I12)", {int32_t{type - '0'}});
        if (cisyn.IPTR0 >= 1 && cisyn.IPTR0 <= kMsgLen) {
            fio::write_line(out, std::string(static_cast<std::size_t>(cisyn.IPTR0), ' ') + "^");
        }
    }
    fio::write_line(out, std::string_view(line).substr(1, kMsgLen - 1));
    return 1;
}

int opnold(int LU, std::string_view FICHIER) {
    if (trace_opnold()) fio::List(comlu[1]) << "OPNOLD LU,FICHIER :" << int32_t{LU} << FICHIER;
    int status = fio::open_old(LU, FICHIER);
    if (status == 0) return 0;
    std::string lower = pad(FICHIER, 120);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (fio::open_old(LU, lower) == 0) return 0;
    error(-7);
    std::string line =
        " I/O STATUS : " + fio::fmt_i(status, 12) + " FICHIER : " + std::string(FICHIER);
    ecrire(pad(line, 120), comlu[1]);
    return 1;
}

static std::string two_digits(int v) {
    return std::string(1, static_cast<char>('0' + v / 10 % 10)) + static_cast<char>('0' + v % 10);
}

Text<26> datim() {
    static constexpr std::string_view kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (localtime_r(&now, &tm) == nullptr) return Text<26>{};
    std::string dt(kDays[tm.tm_wday % 7]);
    dt += ' ';
    dt += kMonths[tm.tm_mon % 12];
    dt += fio::fmt_i(tm.tm_mday, 3);
    dt += ' ' + two_digits(tm.tm_hour) + ':' + two_digits(tm.tm_min) + ':' + two_digits(tm.tm_sec);
    dt += fio::fmt_i(tm.tm_year + 1900, 5);
    return Text<26>{dt};
}

void idpro(int UNIT, std::string_view TEXT) {
    Text<26> dt = datim();
    fio::write_fmt(UNIT, "(1X,A,3X,A)", {TEXT, dt.view()});
}

void uexit(int32_t CODE) {
    fio::write_fmt(fio::kStdout, "(' Fin d''execution. Code de fin :',I4)", {CODE});
    exit_program(CODE);
}

// The system keeps only the low 8 bits of an exit status: an end code of 256 errors would
// read as success. Codes above 255 end with 255.
void exit_program(int32_t CODE) { fio::terminate(CODE > 255 ? 255 : CODE); }

}  // namespace klip
