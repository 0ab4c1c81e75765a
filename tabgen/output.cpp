#include "tabgen/output.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

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
    { Group x(o); x.integer(nva); }
    { Group x(o); for (int iv = 1; iv <= nva; ++iv) x.integer(t.NLAM[iv]); }
    { Group x(o); for (int iv = 1; iv <= nva; ++iv) x.integer(t.NDOM[iv]); }
    { Group x(o); for (int iv = 1; iv <= nva; ++iv) for (int j = 1; j <= t.NDOM[iv]; ++j) x.integer(t.NLDOM[iv][j]); }
    { Group x(o); for (int iv = 1; iv <= nva; ++iv) x.integer(t.NEN[iv]); }
    { Group x(o); x.integer(g.c.NCOMP); }
    { Group x(o); x.integer(g.c.IDRLT1); }
}

void lambda_groups(const Generated& g, std::string& o) {
    const auto& t = g.t;
    const int nva = t.NVA;
    { Group x(o); for (int n = 1; n <= g.c.NCOMP; ++n) x.real(g.c.RLCOMP[n]); }
    { Group x(o); for (int n = 1; n <= g.c.IDRLT1; ++n) x.real(g.c.RLTCOMP[n]); }
    { Group x(o); for (int iv = 1; iv <= nva; ++iv) for (int k = 1; k <= t.NLAM[iv]; ++k) x.integer(t.IPLAM[iv][k]); }
    { Group x(o); for (int iv = 1; iv <= nva; ++iv) x.integer(t.IPTOT[iv]); }
    { Group x(o); for (int iv = 1; iv <= nva; ++iv) for (int ie = 1; ie <= t.NEN[iv]; ++ie) x.integer(t.IDOM[iv][ie]); }
    { Group x(o);
      for (int iv = 1; iv <= nva; ++iv)
          for (int j = 1; j <= t.NDOM[iv]; ++j)
              for (int k = 1; k <= t.NLDOM[iv][j]; ++k) x.integer(t.IORDL[iv][j][k]); }
    { Group x(o); x.real(t.DELTAE); }
    { Group x(o); for (int iv = 1; iv <= nva; ++iv) x.real(t.ENMAX[iv]); }
    { Group x(o); for (int iv = 1; iv <= nva; ++iv) for (int k = 1; k <= t.NLAM[iv]; ++k) x.integer(t.NOMLAM[iv][k]); }
    { Group x(o); for (int iv = 1; iv <= nva; ++iv) for (int k = 1; k <= t.NLAM[iv]; ++k) x.real(t.RLPAR[iv][k]); }
    { Group x(o); for (int iv = 1; iv <= nva; ++iv) for (int k = 1; k <= t.NLAM[iv]; ++k) x.integer(t.NVFL[iv][k]); }
    { Group x(o); for (int iv = 1; iv <= nva; ++iv) for (int k = 1; k <= t.NLAM[iv]; ++k) x.integer(t.IPHOL[iv][k]); }
}

template <typename F>
void per_valley_real(std::string& o, int nva, F f) {
    Group x(o);
    for (int iv = 1; iv <= nva; ++iv) x.real(f(iv));
}

void band_groups(const Generated& g, std::string& o) {
    const int nva = g.t.NVA;
    const auto& b = g.b;
    o += g.cbande;
    o += '\n';
    { Group x(o); x.integer(b.IBMAT); }
    { Group x(o); x.real(b.ENGAP); }
    per_valley_real(o, nva, [&](int iv) { return b.ML[iv]; });
    per_valley_real(o, nva, [&](int iv) { return b.MT[iv]; });
    per_valley_real(o, nva, [&](int iv) { return b.MEFF[iv]; });
    per_valley_real(o, nva, [&](int iv) { return b.ENVAL[iv]; });
    { Group x(o); x.real(b.ENEXTR); }
    { Group x(o); for (int iv = 1; iv <= nva; ++iv) x.integer(b.IBVAL[iv]); }
    { Group x(o); for (int iv = 1; iv <= nva; ++iv) x.integer(b.IFORV[iv]); }
    per_valley_real(o, nva, [&](int iv) { return b.ALP[iv]; });
    for (int iv = 1; iv <= nva; ++iv) { o += g.ch.second[iv]; o += '\n'; }
    for (int iv = 1; iv <= nva; ++iv) { o += g.ch.first[iv]; o += '\n'; }
}

void phonon_groups(const Generated& g, std::string& o) {
    const int nva = g.t.NVA;
    const auto& p = g.p;
    { Group x(o); x.real(p.TEMP); }
    { Group x(o); x.real(p.RPMAT); }
    { Group x(o); x.real(0.0f); }
    per_valley_real(o, nva, [&](int) { return 0.0f; });
    { Group x(o); x.real(p.HWOPL); }
    { Group x(o); x.real(p.HWONP); }
    auto ints = [&](const auto& a) {
        Group x(o);
        for (int iv = 1; iv <= nva; ++iv) for (int jv = 1; jv <= nva; ++jv) x.integer(a[iv][jv]);
    };
    auto reals = [&](const auto& a) {
        Group x(o);
        for (int ph = 1; ph <= tables::kPhonons; ++ph)
            for (int iv = 1; iv <= nva; ++iv) for (int jv = 1; jv <= nva; ++jv) x.real(a[ph][iv][jv]);
    };
    ints(p.NZIV0);
    reals(p.HWIV0);
    reals(p.CPIV0);
    ints(p.NZIV1);
    reals(p.HWIV1);
    reals(p.CPIV1);
    { Group x(o); x.real(p.EPBF); }
}

std::string fixed(const char* fmt, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

std::string pad(const std::string& s, size_t n) { return s.size() >= n ? s.substr(0, n) : s + std::string(n - s.size(), ' '); }

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
    line = pad(m.table, 12) + "    " + pad(m.name, 12) + "    " + temp + "    " + m.carrier + "    " + dop;
    return true;
}

std::string merge_catalogue(const std::string& catalogue, const std::string& line) {
    std::istringstream in(catalogue);
    std::string out, l;
    bool replaced = false;
    const std::string key = line.substr(0, 12);
    while (std::getline(in, l)) {
        if (pad(l, 12) == key && !replaced) {
            out += line;
            replaced = true;
        } else {
            out += l;
        }
        out += '\n';
    }
    if (!replaced) out += line + '\n';
    return out;
}

namespace {

std::string temp_name(const std::string& path) { return path + ".tmp" + std::to_string(getpid()); }

bool write_temp(const std::string& tmp, const std::string& text, std::string& error) {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f) {
        error = "cannot write " + tmp;
        return false;
    }
    f << text;
    f.flush();
    if (!f) {
        error = "cannot write " + tmp;
        f.close();
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool write_all_atomic(const std::vector<std::pair<std::string, std::string>>& files, std::string& error) {
    size_t done = 0;
    for (; done < files.size(); ++done)
        if (!write_temp(temp_name(files[done].first), files[done].second, error)) break;
    if (done < files.size()) {
        for (size_t i = 0; i < done; ++i) std::remove(temp_name(files[i].first).c_str());
        return false;
    }
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string tmp = temp_name(files[i].first);
        if (std::rename(tmp.c_str(), files[i].first.c_str()) != 0) {
            error = "cannot rename " + tmp + " to " + files[i].first;
            for (size_t j = i; j < files.size(); ++j) std::remove(temp_name(files[j].first).c_str());
            return false;
        }
    }
    return true;
}

bool write_atomic(const std::string& path, const std::string& text, std::string& error) {
    return write_all_atomic({{path, text}}, error);
}

}  // namespace tabgen
