#include "tabgen/output.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tabgen {
namespace {

constexpr int kPerLine = 8;

// A group of values: begins on a new line, kPerLine values per line; an empty group still
// occupies its line.
class Group {
public:
    explicit Group(std::string& out) : out_(out) {}
    ~Group() { out_ += '\n'; }
    void real(float v) {
        char buf[32];
        if (v == 0.0f) v = 0.0f;  // no negative zero
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        put(std::string_view(buf, r.ptr - buf));
    }
    void integer(int32_t v) { put(std::to_string(v)); }

private:
    void put(std::string_view s) {
        if (n_ > 0) out_ += (n_ % kPerLine == 0) ? '\n' : ' ';
        out_ += s;
        ++n_;
    }
    std::string& out_;
    int n_ = 0;
};

void counts(const Generated& g, std::string& o) {
    const auto& t = g.t;
    const int nva = t.NVA;
    {
        Group x(o);
        x.integer(nva);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv) x.integer(t.NLAM[iv]);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv) x.integer(t.NDOM[iv]);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv)
            for (int j = 1; j <= t.NDOM[iv]; ++j) x.integer(t.NLDOM[iv][j]);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv) x.integer(t.NEN[iv]);
    }
    {
        Group x(o);
        x.integer(g.c.NCOMP);
    }
    {
        Group x(o);
        x.integer(g.c.IDRLT1);
    }
}

void lambda_groups(const Generated& g, std::string& o) {
    const auto& t = g.t;
    const int nva = t.NVA;
    {
        Group x(o);
        for (int n = 1; n <= g.c.NCOMP; ++n) x.real(g.c.RLCOMP[n]);
    }
    {
        Group x(o);
        for (int n = 1; n <= g.c.IDRLT1; ++n) x.real(g.c.RLTCOMP[n]);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv)
            for (int k = 1; k <= t.NLAM[iv]; ++k) x.integer(t.IPLAM[iv][k]);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv) x.integer(t.IPTOT[iv]);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv)
            for (int ie = 1; ie <= t.NEN[iv]; ++ie) x.integer(t.IDOM[iv][ie]);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv)
            for (int j = 1; j <= t.NDOM[iv]; ++j)
                for (int k = 1; k <= t.NLDOM[iv][j]; ++k) x.integer(t.IORDL[iv][j][k]);
    }
    {
        Group x(o);
        x.real(t.DELTAE);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv) x.real(t.ENMAX[iv]);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv)
            for (int k = 1; k <= t.NLAM[iv]; ++k) x.integer(t.NOMLAM[iv][k]);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv)
            for (int k = 1; k <= t.NLAM[iv]; ++k) x.real(t.RLPAR[iv][k]);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv)
            for (int k = 1; k <= t.NLAM[iv]; ++k) x.integer(t.NVFL[iv][k]);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv)
            for (int k = 1; k <= t.NLAM[iv]; ++k) x.integer(t.IPHOL[iv][k]);
    }
}

template <typename F> void per_valley_real(std::string& o, int nva, F f) {
    Group x(o);
    for (int iv = 1; iv <= nva; ++iv) x.real(f(iv));
}

void band_groups(const Generated& g, std::string& o) {
    const int nva = g.t.NVA;
    const auto& b = g.b;
    o += g.cbande;
    o += '\n';
    {
        Group x(o);
        x.integer(b.IBMAT);
    }
    {
        Group x(o);
        x.real(b.ENGAP);
    }
    per_valley_real(o, nva, [&](int iv) { return b.ML[iv]; });
    per_valley_real(o, nva, [&](int iv) { return b.MT[iv]; });
    per_valley_real(o, nva, [&](int iv) { return b.MEFF[iv]; });
    per_valley_real(o, nva, [&](int iv) { return b.ENVAL[iv]; });
    {
        Group x(o);
        x.real(b.ENEXTR);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv) x.integer(b.IBVAL[iv]);
    }
    {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv) x.integer(b.IFORV[iv]);
    }
    per_valley_real(o, nva, [&](int iv) { return b.ALP[iv]; });
    for (int iv = 1; iv <= nva; ++iv) {
        o += g.ch.second[iv];
        o += '\n';
    }
    for (int iv = 1; iv <= nva; ++iv) {
        o += g.ch.first[iv];
        o += '\n';
    }
}

void phonon_groups(const Generated& g, std::string& o) {
    const int nva = g.t.NVA;
    const auto& p = g.p;
    {
        Group x(o);
        x.real(p.TEMP);
    }
    {
        Group x(o);
        x.real(p.RPMAT);
    }
    {
        Group x(o);
        x.real(0.0f);
    }
    per_valley_real(o, nva, [&](int) { return 0.0f; });
    {
        Group x(o);
        x.real(p.HWOPL);
    }
    {
        Group x(o);
        x.real(p.HWONP);
    }
    auto ints = [&](const auto& a) {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv)
            for (int jv = 1; jv <= nva; ++jv) x.integer(a[iv][jv]);
    };
    auto reals = [&](const auto& a) {
        Group x(o);
        for (int ph = 1; ph <= tables::kPhonons; ++ph)
            for (int iv = 1; iv <= nva; ++iv)
                for (int jv = 1; jv <= nva; ++jv) x.real(a[ph][iv][jv]);
    };
    ints(p.NZIV0);
    reals(p.HWIV0);
    reals(p.CPIV0);
    ints(p.NZIV1);
    reals(p.HWIV1);
    reals(p.CPIV1);
    {
        Group x(o);
        x.real(p.EPBF);
    }
}

std::string fixed(const char* fmt, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

std::string pad(const std::string& s, size_t n) {
    return s.size() >= n ? s.substr(0, n) : s + std::string(n - s.size(), ' ');
}

}  // namespace

std::string format_tables(const Generated& g) {
    std::string o;
    o.reserve(1 << 20);
    counts(g, o);
    lambda_groups(g, o);
    band_groups(g, o);
    phonon_groups(g, o);
    return o;
}

bool catalogue_line(const Material& m, std::string& line, std::string& error) {
    // Temperature in columns 33-37, read back exactly as the run's temperature.
    std::string temp;
    const double t = m.temperature;
    if (t == std::floor(t) && t < 10000) temp = fixed("%4.0f.", t);
    else if (t * 10 == std::floor(t * 10) && t < 1000) temp = fixed("%5.1f", t);
    else {
        error = "temperature: must have at most one decimal and fit 5 columns in the catalogue";
        return false;
    }
    const std::string dop = fixed("%11.4E", m.doping);
    if (dop.size() != 11) {
        error = "doping: does not fit the catalogue";
        return false;
    }
    line = pad(m.table, 12) + "    " + pad(m.name, 12) + "    " + temp + "    " + m.carrier + "    "
           + dop;
    return true;
}

namespace {

// The fields a run's search matches a catalogue line on.
struct Key {
    std::string material;  // up to its first blank
    double temperature = 0;
    char carrier = ' ';
    double doping = 0;
};

std::string column(const std::string& line, size_t first, size_t last) {
    std::string s = line.size() >= first ? line.substr(first - 1, last - first + 1) : std::string();
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

bool number(const std::string& field, double& v) {
    if (field.empty()) return false;
    std::string t = field;
    for (char& c : t)
        if (c == 'D' || c == 'd') c = 'E';
    char* end = nullptr;
    v = std::strtod(t.c_str(), &end);
    return *end == '\0' && std::isfinite(v);
}

bool key_of(std::string line, Key& k) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string mat = column(line, 17, 28);
    const std::string car = column(line, 42, 42);
    const std::string dop = column(line, 47, 57);
    if (mat.empty() || car.size() != 1 || !number(column(line, 33, 37), k.temperature)
        || !number(dop, k.doping))
        return false;
    k.material = mat.substr(0, mat.find(' '));
    k.carrier = car[0];
    if (dop.find_first_of("EeDd") == std::string::npos) k.doping /= 10;  // a scale factor of one
    return true;
}

}  // namespace

bool same_material(const std::string& a, const std::string& b) {
    Key x, y;
    if (!key_of(a, x) || !key_of(b, y)) return false;
    return x.material == y.material && x.carrier == y.carrier
           && static_cast<float>(x.temperature) == static_cast<float>(y.temperature)
           && std::fabs(x.doping - y.doping) <= 0.01 * std::fabs(y.doping);
}

std::string merge_catalogue(const std::string& catalogue, const std::string& line,
                            std::vector<std::string>* dropped) {
    std::istringstream in(catalogue);
    std::string out, l;
    bool placed = false;
    const std::string key = line.substr(0, 12);
    while (std::getline(in, l)) {
        const bool same_table = pad(l, 12) == key;
        if (same_table || same_material(l, line)) {
            if (!same_table && dropped != nullptr) dropped->push_back(l);
            if (placed) continue;
            out += line;
            placed = true;
        } else {
            out += l;
        }
        out += '\n';
    }
    if (!placed) out += line + '\n';
    return out;
}

}  // namespace tabgen
