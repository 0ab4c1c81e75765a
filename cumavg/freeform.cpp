// Free-format output line and free-format read of cumavg.
#include "freeform.hpp"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/files.hpp"

namespace cumavg {

// ------------------------------------------------------------------ free-format output

namespace {

void append(Line& line, const char* chars, int n) {
    if (n > kLineMax - line.len) n = kLineMax - line.len;  // a text longer than any cumavg writes
    std::memcpy(line.text + line.len, chars, static_cast<size_t>(n));
    line.len += n;
    line.text[line.len] = '\0';
}

void write_out(Line& line) {
    std::fwrite(line.text, 1, static_cast<size_t>(line.len), line.out);
    std::fputc('\n', line.out);
    if (std::ferror(line.out)) line.ok = false;
}

void put_item(Line& line, const char* chars, int n, int nominal) {
    if (line.len >= 2 && line.len + nominal > kLineWidth) {
        write_out(line);
        line.len = 0;
        append(line, " ", 1);
    }
    append(line, chars, n);
}

// Right-aligns `body` (length n) in a field of `width` columns after one blank.
int right_align(const char* body, int n, int width, char* field) {
    field[0] = ' ';
    int pad = width - n;
    std::memset(field + 1, ' ', static_cast<size_t>(pad));
    std::memcpy(field + 1 + pad, body, static_cast<size_t>(n));
    field[1 + width] = '\0';
    return 1 + width;
}

}  // namespace

void line_begin(Line& line, std::FILE* out) {
    line.out = out;
    line.len = 0;
    line.ok = true;
    append(line, " ", 1);
}

void put_text(Line& line, const char* text) {
    const int n = static_cast<int>(std::strlen(text));
    put_item(line, text, n, n);
}

void put_int(Line& line, int64_t value) {
    char buf[32];
    const int n = std::snprintf(buf, sizeof buf, "  %lld", static_cast<long long>(value));
    put_item(line, buf, n, n);
}

void put_real(Line& line, float value) {
    char field[16];
    const int n = free_real(value, field);
    put_item(line, field, n, value == 0.0f ? 4 : 7);
}

bool line_end(Line& line) {
    write_out(line);
    return line.ok;
}

int free_real(float value, char* field) {
    if (value == 0.0f) {  // negative zero too
        std::memcpy(field, "  0.", 5);
        return 4;
    }
    if (std::isnan(value)) return right_align("NaN", 3, 14, field);
    if (std::isinf(value)) {
        return value > 0.0f ? right_align("Infinity", 8, 14, field)
                            : right_align("-Infinity", 9, 14, field);
    }
    // Six significant digits, rounded to nearest (ties to even) from the exact binary value;
    // the notation is chosen on the rounded value.
    char sci[32];
    std::snprintf(sci, sizeof sci, "%.5e", static_cast<double>(value));  // [-]d.ddddde±xx
    const bool neg = sci[0] == '-';
    const char* p = sci + (neg ? 1 : 0);
    char digits[6] = {p[0], p[2], p[3], p[4], p[5], p[6]};
    const int exp10 = std::atoi(p + 8);

    char body[16];
    int n = 0;
    if (neg) body[n++] = '-';
    if (exp10 >= -1 && exp10 <= 5) {
        if (exp10 == -1) {
            body[n++] = '0';
            body[n++] = '.';
            for (char d : digits) body[n++] = d;
        } else {
            for (int k = 0; k < 6; ++k) {
                body[n++] = digits[k];
                if (k == exp10) body[n++] = '.';
            }
        }
        return right_align(body, n, 10, field);
    }
    const int mag = exp10 < 0 ? -exp10 : exp10;  // at most 45 for a float
    body[n++] = digits[0];
    body[n++] = '.';
    for (int k = 1; k < 6; ++k) body[n++] = digits[k];
    body[n++] = 'E';
    body[n++] = exp10 < 0 ? '-' : '+';
    body[n++] = static_cast<char>('0' + mag / 10);
    body[n++] = static_cast<char>('0' + mag % 10);
    return right_align(body, n, 14, field);
}

// ------------------------------------------------------------------- free-format input

namespace {

bool is_separator(int c) { return c == ' ' || c == ',' || c == '\t'; }

// One character of the stream; a CR ending a line (before LF or the end) reads as LF.
int get_char(std::FILE* in) {
    int c = core::getc_waiting(in);
    if (c != '\r') return c;
    int d = core::getc_waiting(in);
    if (d == '\n' || d == EOF) return '\n';
    std::ungetc(d, in);
    return c;
}

// Finds the next value from the start of the next line, copies it into rd.token and drops
// the rest of its line. A line longer than kMaxLineBytes ends the read (TooLong).
ReadStatus next_token(Reader& rd) {
    int64_t len = 0;  // characters of the current line so far
    int c = get_char(rd.in);
    int64_t line = rd.lines + 1;
    while (c == '\n' || is_separator(c)) {
        if (c == '\n') {
            ++line;
            len = 0;
        } else if (++len > kMaxLineBytes) {
            rd.line = rd.lines = line;
            return ReadStatus::TooLong;
        }
        c = get_char(rd.in);
    }
    if (c == EOF) {
        rd.lines = line - 1;
        return std::ferror(rd.in) ? ReadStatus::Error : ReadStatus::End;
    }
    int n = 0;
    rd.overlong = false;
    rd.line = line;
    rd.lines = line;
    while (c != EOF && c != '\n') {
        if (++len > kMaxLineBytes) return ReadStatus::TooLong;
        if (n >= 0 && !is_separator(c)) {
            if (n < kTokenMax) rd.token[n++] = static_cast<char>(c);
            else rd.overlong = true;
        } else if (n >= 0) {
            rd.token[n] = '\0';
            n = -1;  // the rest of the line is dropped
        }
        c = get_char(rd.in);
    }
    if (n >= 0) rd.token[n] = '\0';
    if (c == EOF && std::ferror(rd.in)) return ReadStatus::Error;
    return ReadStatus::Ok;
}

int take_digits(const char* tok, int& i, char* buf, int& n) {
    int count = 0;
    while (tok[i] >= '0' && tok[i] <= '9') {
        buf[n++] = tok[i++];
        ++count;
    }
    return count;
}

}  // namespace

void reader_init(Reader& rd, std::FILE* in) {
    rd.in = in;
    rd.lines = 0;
    rd.line = 0;
    rd.token[0] = '\0';
    rd.overlong = false;
}

bool parse_int(const char* tok, int32_t& value) {
    int i = 0;
    const bool neg = tok[0] == '-';
    if (tok[0] == '+' || tok[0] == '-') ++i;
    if (tok[i] == '\0') return false;
    const int64_t limit = neg ? 2147483648LL : 2147483647LL;
    int64_t v = 0;
    for (; tok[i] != '\0'; ++i) {
        if (tok[i] < '0' || tok[i] > '9') return false;
        v = v * 10 + (tok[i] - '0');
        if (v > limit) return false;
    }
    value = static_cast<int32_t>(neg ? -v : v);
    return true;
}

bool parse_real(const char* tok, float& value) {
    char buf[kTokenMax + 2];
    int i = 0;
    int n = 0;
    if (std::strlen(tok) > static_cast<size_t>(kTokenMax)) return false;
    if (tok[i] == '+' || tok[i] == '-') buf[n++] = tok[i++];
    int mantissa = take_digits(tok, i, buf, n);
    if (tok[i] == '.') {
        buf[n++] = tok[i++];
        mantissa += take_digits(tok, i, buf, n);
    }
    if (mantissa == 0) return false;
    if (tok[i] == 'E' || tok[i] == 'e' || tok[i] == 'D' || tok[i] == 'd') {
        buf[n++] = 'e';
        ++i;
        if (tok[i] == '+' || tok[i] == '-') buf[n++] = tok[i++];
        if (take_digits(tok, i, buf, n) == 0) return false;
    }
    if (tok[i] != '\0') return false;
    buf[n] = '\0';
    const float v = std::strtof(buf, nullptr);
    if (!std::isfinite(v)) return false;
    value = v;
    return true;
}

ReadStatus read_int(Reader& rd, int32_t& value) {
    ReadStatus st = next_token(rd);
    if (st != ReadStatus::Ok) return st;
    return !rd.overlong && parse_int(rd.token, value) ? ReadStatus::Ok : ReadStatus::Bad;
}

ReadStatus read_real(Reader& rd, float& value) {
    ReadStatus st = next_token(rd);
    if (st != ReadStatus::Ok) return st;
    return !rd.overlong && parse_real(rd.token, value) ? ReadStatus::Ok : ReadStatus::Bad;
}

}  // namespace cumavg
