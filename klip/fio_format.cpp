// Fixed layouts in edit-descriptor notation.
//
// A layout is parsed into a small tree of nodes and executed against the items as a
// formatted WRITE does: literals, nX, / and kP act when reached; a data descriptor takes the
// next item, and output stops at the first data descriptor met when no item remains. When
// the layout is used up while items remain, the record ends and the layout starts again from
// the opening of its last top-level group (with that group's repeat count), or from its
// beginning. The scale factor kP stays in force until the end of the write and, as in any
// formatted write, scales the F fields that follow it.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "klip/fio.hpp"

namespace fio {
namespace {

struct Node {
    enum class Kind { Literal, Skip, Slash, Scale, A, I, F, E, Group };
    Kind kind = Kind::Literal;
    int repeat = 1;
    int w = -1;  // field width (-1: A without width)
    int d = 0;
    std::string text;
    std::vector<Node> children;
};

class Parser {
public:
    explicit Parser(std::string_view s) : s_(s) {}

    std::vector<Node> parse_top() {
        skip_blanks();
        if (pos_ < s_.size() && s_[pos_] == '(') ++pos_;
        std::vector<Node> nodes = parse_list();
        return nodes;
    }

private:
    void skip_blanks() {
        while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
    }
    bool digit() const { return pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9'; }
    int number() {
        int n = 0;
        while (digit()) n = n * 10 + (s_[pos_++] - '0');
        return n;
    }
    char upper() const {
        char c = s_[pos_];
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    }

    std::vector<Node> parse_list() {
        std::vector<Node> nodes;
        while (true) {
            skip_blanks();
            if (pos_ >= s_.size()) return nodes;
            char c = s_[pos_];
            if (c == ')') {
                ++pos_;
                return nodes;
            }
            if (c == ',') {
                ++pos_;
                continue;
            }
            if (c == '/') {
                ++pos_;
                Node n;
                n.kind = Node::Kind::Slash;
                nodes.push_back(n);
                continue;
            }
            parse_item(nodes);
        }
    }

    void parse_item(std::vector<Node>& nodes) {
        Node n;
        bool has_count = digit();
        int count = has_count ? number() : 1;
        skip_blanks();
        if (pos_ >= s_.size()) return;
        char c = upper();
        if (c == '\'' || c == '"') {
            n.kind = Node::Kind::Literal;
            n.text = literal(c);
            for (int i = 0; i < count; ++i) nodes.push_back(n);
            return;
        }
        ++pos_;
        switch (c) {
            case '(':
                n.kind = Node::Kind::Group;
                n.repeat = count;
                n.children = parse_list();
                break;
            case 'X':
                n.kind = Node::Kind::Skip;
                n.w = count;
                break;
            case 'P':
                n.kind = Node::Kind::Scale;
                n.w = has_count ? count : 0;
                break;
            case 'A':
                n.kind = Node::Kind::A;
                n.repeat = count;
                n.w = digit() ? number() : -1;
                break;
            case 'I':
                n.kind = Node::Kind::I;
                n.repeat = count;
                n.w = number();
                break;
            case 'F':
            case 'E':
                n.kind = c == 'F' ? Node::Kind::F : Node::Kind::E;
                n.repeat = count;
                n.w = number();
                if (pos_ < s_.size() && s_[pos_] == '.') {
                    ++pos_;
                    n.d = number();
                }
                break;
            default: return;  // unknown descriptor: ignored
        }
        nodes.push_back(std::move(n));
    }

    std::string literal(char quote) {
        std::string t;
        ++pos_;
        while (pos_ < s_.size()) {
            char c = s_[pos_++];
            if (c == quote) {
                if (pos_ < s_.size() && s_[pos_] == quote) {
                    t.push_back(quote);
                    ++pos_;
                    continue;
                }
                break;
            }
            t.push_back(c);
        }
        return t;
    }

    std::string_view s_;
    size_t pos_ = 0;
};

class Writer {
public:
    Writer(const std::vector<Node>& top, std::initializer_list<Arg> args)
        : top_(top), args_(args.begin()), nargs_(args.size()) {}

    std::string run() {
        // Reversion point: the last top-level group, or the beginning.
        size_t revert = 0;
        for (size_t i = 0; i < top_.size(); ++i) {
            if (top_[i].kind == Node::Kind::Group) revert = i;
        }
        size_t start = 0;
        while (true) {
            size_t used_before = next_;
            if (!exec(top_, start)) break;
            if (next_ >= nargs_ || next_ == used_before) break;
            end_record();
            start = revert;
        }
        end_record();
        return out_;
    }

private:
    // Returns false when output must stop (a data descriptor found no item).
    bool exec(const std::vector<Node>& nodes, size_t from) {
        for (size_t i = from; i < nodes.size(); ++i) {
            if (!exec_node(nodes[i])) return false;
        }
        return true;
    }

    bool exec_node(const Node& n) {
        switch (n.kind) {
            case Node::Kind::Literal: line_ += n.text; return true;
            case Node::Kind::Skip: line_.append(static_cast<size_t>(n.w), ' '); return true;
            case Node::Kind::Slash: end_record(); return true;
            case Node::Kind::Scale: scale_ = n.w; return true;
            case Node::Kind::Group:
                for (int r = 0; r < n.repeat; ++r) {
                    if (!exec(n.children, 0)) return false;
                }
                return true;
            default:
                for (int r = 0; r < n.repeat; ++r) {
                    if (next_ >= nargs_) return false;
                    line_ += field(n, args_[next_++]);
                }
                return true;
        }
    }

    std::string field(const Node& n, const Arg& a) {
        switch (n.kind) {
            case Node::Kind::A: {
                std::string_view s = a.kind == Arg::Kind::Text ? a.s : std::string_view();
                if (n.w < 0) return std::string(s);
                size_t w = static_cast<size_t>(n.w);
                if (s.size() >= w) return std::string(s.substr(0, w));
                return std::string(w - s.size(), ' ') + std::string(s);
            }
            case Node::Kind::I:
                return fmt_i(a.kind == Arg::Kind::Int ? a.i : static_cast<int32_t>(a.r), n.w);
            case Node::Kind::F: {
                float v = a.kind == Arg::Kind::Real ? a.r : static_cast<float>(a.i);
                return scale_ == 0 ? fmt_f(v, n.w, n.d) : fmt_f_scaled(v, n.w, n.d);
            }
            default: {
                float v = a.kind == Arg::Kind::Real ? a.r : static_cast<float>(a.i);
                return fmt_e(v, n.w, n.d, scale_);
            }
        }
    }

    std::string fmt_f_scaled(float v, int w, int d) {
        // kP on an F field multiplies the value by 10^k (exactly, in double, before rounding).
        double x = static_cast<double>(v) * std::pow(10.0, scale_);
        return fmt_f(static_cast<float>(x), w, d);
    }

    void end_record() {
        out_ += line_;
        out_ += '\n';
        line_.clear();
    }

    const std::vector<Node>& top_;
    const Arg* args_;
    size_t nargs_;
    size_t next_ = 0;
    int scale_ = 0;
    std::string line_;
    std::string out_;
};

std::string stars(int w) { return std::string(static_cast<size_t>(w > 0 ? w : 0), '*'); }

std::string fit(const std::string& s, int w) {
    if (static_cast<int>(s.size()) > w) return stars(w);
    return std::string(static_cast<size_t>(w) - s.size(), ' ') + s;
}

// Infinity and NaN in an F or E field.
std::string non_finite(float v, int w) {
    if (std::isnan(v)) return w >= 3 ? fit("NaN", w) : stars(w);
    bool neg = v < 0;
    std::string full = neg ? "-Infinity" : "Infinity";
    std::string shrt = neg ? "-Inf" : "Inf";
    if (w >= static_cast<int>(full.size())) return fit(full, w);
    if (w >= static_cast<int>(shrt.size())) return fit(shrt, w);
    return stars(w);
}

}  // namespace

std::string fmt_i(int64_t value, int w) { return fit(std::to_string(value), w); }

std::string fmt_f(float value, int w, int d) {
    if (!std::isfinite(value)) return non_finite(value, w);
    char buf[128];
    std::snprintf(buf, sizeof buf, "%#.*f", d, std::fabs(static_cast<double>(value)));
    std::string s = buf;
    if (std::signbit(value)) s = "-" + s;
    return fit(s, w);
}

std::string fmt_e(float value, int w, int d, int scale) {
    if (!std::isfinite(value)) return non_finite(value, w);
    const double x = std::fabs(static_cast<double>(value));
    char buf[128];
    std::string mant;
    int exp10 = 0;
    if (scale <= 0) {
        // 0.ddddE+ee: d significant digits.
        int sig = d > 0 ? d : 1;
        std::snprintf(buf, sizeof buf, "%.*e", sig - 1, x);
        char* e = std::strchr(buf, 'e');
        exp10 = x == 0.0 ? 0 : std::atoi(e + 1) + 1;
        std::string digits;
        for (char* p = buf; p < e; ++p) {
            if (*p != '.') digits.push_back(*p);
        }
        mant = "0." + digits.substr(0, static_cast<size_t>(d));
    } else {
        // kP: k digits before the point, d - k + 1 after it.
        int after = d - scale + 1;
        if (after < 0) return stars(w);
        std::snprintf(buf, sizeof buf, "%.*e", d, x);
        char* e = std::strchr(buf, 'e');
        exp10 = x == 0.0 ? 0 : std::atoi(e + 1) - (scale - 1);
        std::string digits;
        for (char* p = buf; p < e; ++p) {
            if (*p != '.') digits.push_back(*p);
        }
        mant = digits.substr(0, static_cast<size_t>(scale)) + "."
               + digits.substr(static_cast<size_t>(scale), static_cast<size_t>(after));
    }
    char ebuf[16];
    std::snprintf(ebuf, sizeof ebuf, "E%c%02d", exp10 < 0 ? '-' : '+', std::abs(exp10));
    std::string s = mant + ebuf;
    if (std::signbit(value)) s = "-" + s;
    return fit(s, w);
}

std::string format(std::string_view layout, std::initializer_list<Arg> args) {
    Parser p(layout);
    std::vector<Node> top = p.parse_top();
    Writer wr(top, args);
    return wr.run();
}

void write_fmt(int unit, std::string_view layout, std::initializer_list<Arg> args) {
    std::string text = format(layout, args);
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        write_line(unit, std::string_view(text).substr(start, nl - start));
        start = nl + 1;
    }
}

}  // namespace fio
