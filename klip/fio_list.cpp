// The free-format output line.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "klip/fio.hpp"

namespace fio {
namespace {

constexpr size_t kLineWidth = 80;

std::string right(std::string_view s, size_t w) {
    std::string r;
    if (s.size() < w) r.assign(w - s.size(), ' ');
    r.append(s);
    return r;
}

}  // namespace

std::string free_real(float value) {
    if (value == 0.0f) return "  0.";
    if (std::isnan(value)) return " " + right("NaN", 14);
    if (std::isinf(value)) return " " + right(value < 0 ? "-Infinity" : "Infinity", 14);
    // The choice of notation is made on the value rounded to six significant digits.
    char buf[64];
    const double x = static_cast<double>(value);
    std::snprintf(buf, sizeof buf, "%.5e", x);
    const char* epos = std::strchr(buf, 'e');
    const int e = std::atoi(epos + 1);
    if (e >= -1 && e <= 5) {
        const int d = e >= 0 ? 5 - e : 6;
        std::snprintf(buf, sizeof buf, "%#10.*f", d, x);
        return " " + std::string(buf);
    }
    std::string mant(buf, static_cast<size_t>(epos - buf));
    char exp[16];
    std::snprintf(exp, sizeof exp, "E%c%02d", e < 0 ? '-' : '+', std::abs(e));
    return " " + right(mant + exp, 14);
}

List::List(int unit) : unit_(unit), out_(" ") {}

List::~List() {
    size_t start = 0;
    while (true) {
        size_t nl = out_.find('\n', start);
        if (nl == std::string::npos) {
            write_line(unit_, std::string_view(out_).substr(start));
            break;
        }
        write_line(unit_, std::string_view(out_).substr(start, nl - start));
        start = nl + 1;
    }
}

void List::item(std::string_view field, int nominal) {
    const size_t len = out_.size() - line_start_;
    if (len >= 2 && len + static_cast<size_t>(nominal) > kLineWidth) {
        out_.push_back('\n');
        line_start_ = out_.size();
        out_.push_back(' ');
    }
    out_.append(field);
}

List& List::operator<<(std::string_view text) {
    item(text, static_cast<int>(text.size()));
    return *this;
}

List& List::operator<<(int32_t value) {
    std::string digits = std::to_string(value);
    item("  " + digits, static_cast<int>(digits.size()) + 2);
    return *this;
}

List& List::operator<<(float value) {
    item(free_real(value), value == 0.0f ? 4 : 7);
    return *this;
}

List& List::operator<<(bool value) {
    item(value ? "  T" : "  F", 3);
    return *this;
}

}  // namespace fio
