// The help facility: the list of command mnemonics, or the explanation of one mnemonic,
// read from the help file. The file holds the mnemonics (columns 1..20, upper case), a
// marker line of 20 hyphens, then one explanation block per mnemonic, in the same order,
// each followed by a marker line.
#include <cstdint>
#include <string>
#include <string_view>

#include "klip/fio.hpp"
#include "klip/klip.hpp"

namespace klip {

namespace {

constexpr int kNameLen = 20;
constexpr int kHelpLine = 80;
constexpr int kLinesPerScreen = 21;
constexpr std::string_view kMarker = "--------------------";

bool is_marker(const std::string& line) { return line.compare(0, kMarker.size(), kMarker) == 0; }

// The close-and-report ending of the help file.
void fail(int lu, int32_t code) {
    fio::close(lu);
    error(code);
}

// "AIDE *": the mnemonics three per line in 20-column cells.
void list_mnemonics(int lu) {
    const int out = comlu[1];
    fio::write_line(out, "   LISTE DES COMMANDES : ");
    std::string row;
    int in_row = 0;
    std::string line;
    while (fio::read_line(lu, line)) {
        if (is_marker(line)) {
            if (in_row > 0) ecrire(row, out);
            fio::write_line(out, "POUR UNE EXPLICATION DE CES COMMANDES,");
            fio::write_line(out, "TAPER : AIDE <MNEMONIQUE>");
            fio::close(lu);
            return;
        }
        row += pad(line, kNameLen);
        if (++in_row == 3) {
            ecrire(row, out);
            row.clear();
            in_row = 0;
        }
    }
    if (in_row > 0) ecrire(row, out);
    fail(lu, -9);
}

// "SUITE ?" after a screenful: true when the user asks for more (a blank answer).
bool more_wanted() {
    fio::List(comlu[1]) << "SUITE ?";
    std::string answer;
    const fio::LineStatus st = fio::read_line_status(comlu[3], answer);
    if (st == fio::LineStatus::TooLong) error(-17);  // counted; the listing stops
    if (st != fio::LineStatus::Ok) return false;
    return pad(answer, 3) == "   ";
}

// The explanation block of mnemonic number k: the lines after the k-th marker.
void show_block(int lu, int k) {
    std::string line;
    int markers = 0;
    int shown = 0;
    while (fio::read_line(lu, line)) {
        if (is_marker(line)) {
            if (++markers > k) {
                fio::close(lu);
                return;
            }
            continue;
        }
        if (markers < k) continue;
        if (shown == kLinesPerScreen) {
            if (!more_wanted()) {
                fio::close(lu);
                return;
            }
            shown = 0;
        }
        ecrire(pad(line, kHelpLine), comlu[1]);
        ++shown;
    }
    fail(lu, -9);
}

}  // namespace

void help(std::string_view FNAME) {
    if (indic.IPAGE == 1) {
        error(-12);
        return;
    }
    if (skipb() == 1) {
        fio::write_line(comlu[1], "POUR OBTENIR LA LISTE DES COMMANDES,TAPER AIDE *");
        return;
    }
    const int lu = comlu[4] + 5;
    if (opnold(lu, FNAME) != 0) return;
    Text<kNameLen> request;
    int32_t ln = 0;
    getstm(request, ln);
    if (indic.INDERR != 0) {
        fail(lu, indic.INDERR);
        return;
    }
    if (request.trimmed() == "*") {
        list_mnemonics(lu);
        return;
    }
    std::string line;
    int k = 0;
    while (fio::read_line(lu, line)) {
        if (is_marker(line)) {
            fail(lu, -4);
            return;
        }
        ++k;
        if (pad(line, kNameLen) == request.view()) {
            show_block(lu, k);
            return;
        }
    }
    fail(lu, -9);
}

}  // namespace klip
