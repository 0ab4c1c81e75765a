// Fixed-length, blank-padded texts (the CHARACTER*n of the command toolkit and the driver).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace klip {

template <std::size_t N> struct Text {
    std::array<char, N> c;

    Text() { c.fill(' '); }
    Text(std::string_view s) { set(s); }  // NOLINT: implicit from text is the point

    // Assign: cut to N characters or blank-padded.
    void set(std::string_view s) {
        std::size_t n = std::min(s.size(), N);
        std::copy_n(s.begin(), n, c.begin());
        std::fill(c.begin() + static_cast<std::ptrdiff_t>(n), c.end(), ' ');
    }
    void blank() { c.fill(' '); }
    std::string_view view() const { return std::string_view(c.data(), N); }
    std::string str() const { return std::string(c.data(), N); }
    // Without trailing blanks.
    std::string_view trimmed() const {
        std::size_t n = N;
        while (n > 0 && c[n - 1] == ' ') --n;
        return std::string_view(c.data(), n);
    }
    // 1-based character access, as the texts describe positions.
    char& at1(std::size_t pos) { return c[pos - 1]; }
    char at1(std::size_t pos) const { return c[pos - 1]; }
    static constexpr std::size_t size() { return N; }
    bool operator==(const Text&) const = default;
};

// Blank-pad or cut a text to n characters.
inline std::string pad(std::string_view s, std::size_t n) {
    std::string r(s.substr(0, std::min(s.size(), n)));
    r.resize(n, ' ');
    return r;
}

}  // namespace klip
