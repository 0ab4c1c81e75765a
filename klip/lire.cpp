// The line reader: one command line from the terminal or from the current command file,
// with the prompt, the echo, comment lines, inline parameter definitions and the return to
// the previous input level at the end of a command file.
#include <algorithm>
#include <cstdint>
#include <string>

#include "klip/fio.hpp"
#include "klip/klip.hpp"

namespace klip {

namespace {

enum class ReadResult { Line, End, TooLong };

// Toolkit code of a line longer than the text layer accepts.
constexpr int32_t kLineTooLong = -17;

bool at_terminal() { return comlu[2] == comlu[3]; }

bool is_terminator(char c) { return spcar.TERM.view().find(c) != std::string_view::npos; }

// Read one raw line of the current input unit into BUF(1:80).
ReadResult read_raw() {
    ccsyn.BUF.blank();
    std::string line;
    if (indic.IBIN == 0 && at_terminal()) dial(comlu[1], "->");
    const fio::LineStatus st = fio::read_line_status(comlu[2], line);
    if (st == fio::LineStatus::End) return ReadResult::End;
    // Record mode: the records of the command file are its successive 80-column lines.
    if (indic.IBIN != 0) indic.IREC += 1;
    std::size_t n = line.size() < static_cast<std::size_t>(kLineLen) ? line.size() : kLineLen;
    std::copy_n(line.begin(), n, ccsyn.BUF.c.begin());
    return st == fio::LineStatus::Ok ? ReadResult::Line : ReadResult::TooLong;
}

// End of a command file: close it and return to the previous input level, skipping the
// output unit and the debug unit; the echo flag saved for that level comes back.
void pop_command_file() {
    int32_t u = comlu[2];
    fio::close(u);
    do {
        --u;
    } while ((u == comlu[1] || u == comlu[31]) && u > comlu[3]);
    if (u < comlu[3]) u = comlu[3];
    comlu[2] = u;
    std::size_t slot = static_cast<std::size_t>(4 + u);
    indic.IECHO = (u >= 0 && slot < comlu.size()) ? comlu[slot] : 0;
}

// Inline definition "<NAME TEXT" starting at column p. Returns the error code (0 when the
// parameter is defined); the command before "<" then stands alone on the line.
int32_t inline_definition(int32_t p) {
    cisyn.IPTR = p + 1;
    int32_t name = 0;
    get40(name);
    if (indic.INDERR != 0) return indic.INDERR;
    Text<80> text;
    int32_t ln = 0;
    getstr(text, ln);
    if (indic.INDERR != 0) return indic.INDERR;
    int k = ic40(name, cpara.NOMPAR.data(), std::min(cpara.NPARA, kMaxParams));
    if (k == 0) {
        if (cpara.NPARA >= kMaxParams) return -15;
        cpara.NPARA += 1;
        k = cpara.NPARA;
        cpara.NOMPAR[static_cast<std::size_t>(k)] = name;
    }
    cpara.STPARA[static_cast<std::size_t>(k)].set(text.view());
    ccsyn.BUF.at1(static_cast<std::size_t>(p)) = ';';
    cisyn.IPTR = 1;
    return 0;
}

}  // namespace

void lire() {
    while (true) {
        indic.INDERR = 0;
        cisyn.IPTR = 1;
        const ReadResult got = read_raw();
        if (got == ReadResult::End) {
            ccsyn.BUF.blank();
            if (at_terminal()) {
                indic.INDERR = -1;
                return;
            }
            pop_command_file();
            continue;
        }
        if (indic.IECHO == 1) ecrire(ccsyn.BUF.view(), comlu[1]);
        if (got == ReadResult::TooLong) {
            // Not a command: reported, counted, and reading goes on with the next line.
            error(kLineTooLong);
            continue;
        }
        if (is_terminator(ccsyn.BUF.at1(1))) continue;  // comment line
        std::size_t lt = ccsyn.BUF.view().substr(0, kLineLen).find('<');
        if (lt == std::string_view::npos) return;
        int32_t code = inline_definition(static_cast<int32_t>(lt + 1));
        if (code == 0) return;
        // A failed definition is reported and its line dropped; reading goes on.
        error(code);
    }
}

}  // namespace klip
