// Free-format input and text records.
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "klip/fio.hpp"

namespace fio {
namespace {

bool is_sep(char c) { return c == ' ' || c == ',' || c == '\t' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool parse_int(std::string_view tok, int32_t& value) {
    size_t i = 0;
    bool neg = false;
    if (i < tok.size() && (tok[i] == '+' || tok[i] == '-')) neg = tok[i++] == '-';
    if (i >= tok.size()) return false;
    int64_t v = 0;
    for (; i < tok.size(); ++i) {
        if (!is_digit(tok[i])) return false;
        v = v * 10 + (tok[i] - '0');
        if (v > 2147483648LL) return false;
    }
    if (neg) v = -v;
    if (v > 2147483647LL || v < -2147483648LL) return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool parse_real(std::string_view tok, float& value) {
    // [sign] digits [. digits] [(E|D) [sign] digits], at least one mantissa digit.
    std::string s;
    size_t i = 0;
    if (i < tok.size() && (tok[i] == '+' || tok[i] == '-')) s.push_back(tok[i++]);
    size_t mant_digits = 0;
    while (i < tok.size() && is_digit(tok[i])) {
        s.push_back(tok[i++]);
        ++mant_digits;
    }
    if (i < tok.size() && tok[i] == '.') {
        s.push_back(tok[i++]);
        while (i < tok.size() && is_digit(tok[i])) {
            s.push_back(tok[i++]);
            ++mant_digits;
        }
    }
    if (mant_digits == 0) return false;
    if (i < tok.size()) {
        char c = tok[i];
        if (c != 'E' && c != 'e' && c != 'D' && c != 'd') return false;
        s.push_back('e');
        ++i;
        if (i < tok.size() && (tok[i] == '+' || tok[i] == '-')) s.push_back(tok[i++]);
        size_t exp_digits = 0;
        while (i < tok.size() && is_digit(tok[i])) {
            s.push_back(tok[i++]);
            ++exp_digits;
        }
        if (exp_digits == 0 || i != tok.size()) return false;
    }
    errno = 0;
    char* end = nullptr;
    float v = std::strtof(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

ReadStatus ListReader::next_token(std::string_view& tok) {
    while (true) {
        if (!have_line_) {
            const LineStatus st = read_line_status(unit_, line_);
            if (st != LineStatus::Ok)
                return st == LineStatus::End ? ReadStatus::End : ReadStatus::Bad;
            have_line_ = true;
            pos_ = 0;
            ++lines_;
        }
        while (pos_ < line_.size() && is_sep(line_[pos_])) ++pos_;
        if (pos_ >= line_.size()) {
            have_line_ = false;
            continue;
        }
        size_t start = pos_;
        while (pos_ < line_.size() && !is_sep(line_[pos_])) ++pos_;
        tok = std::string_view(line_).substr(start, pos_ - start);
        return ReadStatus::Ok;
    }
}

ReadStatus ListReader::next_int(int32_t& value) {
    std::string_view tok;
    ReadStatus st = next_token(tok);
    if (st != ReadStatus::Ok) return st;
    return parse_int(tok, value) ? ReadStatus::Ok : ReadStatus::Bad;
}

ReadStatus ListReader::next_real(float& value) {
    std::string_view tok;
    ReadStatus st = next_token(tok);
    if (st != ReadStatus::Ok) return st;
    return parse_real(tok, value) ? ReadStatus::Ok : ReadStatus::Bad;
}

ReadStatus read_text(int unit, int n, std::string& out) {
    std::string line;
    const LineStatus st = read_line_status(unit, line);
    if (st != LineStatus::Ok) {
        out.assign(static_cast<size_t>(n > 0 ? n : 0), ' ');
        return st == LineStatus::End ? ReadStatus::End : ReadStatus::Bad;
    }
    line.resize(static_cast<size_t>(n > 0 ? n : 0), ' ');
    out = std::move(line);
    return ReadStatus::Ok;
}

ReadStatus skip_line(int unit) {
    std::string line;
    const LineStatus st = read_line_status(unit, line);
    if (st == LineStatus::Ok) return ReadStatus::Ok;
    return st == LineStatus::End ? ReadStatus::End : ReadStatus::Bad;
}

}  // namespace fio
