#include "tabgen/material.hpp"

#include "tabgen/files.hpp"
#include "tabgen/alloy.hpp"
#include "tabgen/holes.hpp"
#include "tabgen/physics.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace tabgen {
namespace {

struct Ctx {
    int line = 0;
    std::string& error;
    bool fail(const std::string& field, const std::string& what) {
        error = "line " + std::to_string(line) + ": " + printable(field.substr(0, 60)) + ": "
                + printable(what);
        return false;
    }
    // Text taken from the description, shortened and with unprintable bytes shown as '?'.
    static std::string printable(const std::string& s) {
        std::string out = s;
        for (char& c : out)
            if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = '?';
        return out;
    }
};

std::vector<std::string> split(std::string_view s) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) ++i;
        size_t j = i;
        while (j < s.size() && s[j] != ' ' && s[j] != '\t' && s[j] != '\r') ++j;
        if (j > i) out.emplace_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

bool to_real(const std::string& tok, double& v) {
    if (tok.empty()) return false;
    const char* b = tok.c_str();
    char* e = nullptr;
    errno = 0;
    v = std::strtod(b, &e);
    return e == b + tok.size() && errno == 0 && std::isfinite(v);
}

bool to_int(const std::string& tok, int& v) {
    double d;
    if (!to_real(tok, d) || d != std::floor(d) || std::fabs(d) > 1e9) return false;
    if (tok.find_first_of(".eE") != std::string::npos) return false;
    v = static_cast<int>(d);
    return true;
}

// A number as a message shows it: 881, -385.131, 1e+14.
std::string short_number(double d) {
    char b[32];
    std::snprintf(b, sizeof b, "%g", d);
    return b;
}

// Bounds beyond which a description is not a semiconductor band model: phonon energies (eV)
// and band energies, the table top included (eV).
constexpr double kMaxPhonon = 1.0;
constexpr double kMaxEnergy = 20.0;
// The temperatures (K) and the doping (cm-3) the models are checked over.
constexpr double kCheckedTempLow = 77.0;
constexpr double kCheckedTempHigh = 500.0;
constexpr double kCheckedDopingHigh = 1e19;

bool name_ok(const std::string& s, size_t maxlen) {
    if (s.empty() || s.size() > maxlen) return false;
    for (char c : s)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

// Reads one real value of a one-value keyword with a lower bound.
bool one_real(Ctx& cx, const std::vector<std::string>& t, double& out, double lo, bool strict) {
    if (t.size() != 2) return cx.fail(t[0], "expected exactly one value");
    if (!to_real(t[1], out)) return cx.fail(t[0], "not a number: \"" + t[1] + "\"");
    if (strict && !(out > lo)) return cx.fail(t[0], "must be above 0");
    if (!strict && !(out >= lo)) return cx.fail(t[0], "must not be negative");
    return true;
}

bool parse_valley(Ctx& cx, const std::vector<std::string>& t, Valley& v) {
    if (t.size() < 2) return cx.fail("valley", "missing valley name");
    v.name = t[1];
    if (!name_ok(v.name, 6) || v.name == "=" || v.name == "~")
        return cx.fail("valley", "name must be 1 to 6 characters A-Z, 0-9, _");
    std::set<std::string> seen;
    double mass[2] = {0, 0};
    int nmass = 0;
    for (size_t i = 2; i < t.size();) {
        const std::string key = t[i];
        const std::string field = "valley " + v.name + " " + key;
        if (!seen.insert(key).second) return cx.fail(field, "given twice");
        if (key == "mass") {
            size_t j = i + 1;
            while (j < t.size() && nmass < 2 && to_real(t[j], mass[nmass])) {
                ++nmass;
                ++j;
            }
            if (nmass == 0) return cx.fail(field, "missing value");
            i = j;
            continue;
        }
        if (i + 1 >= t.size()) return cx.fail(field, "missing value");
        const std::string& val = t[i + 1];
        double d = 0;
        if (key == "form") {
            if (!to_int(val, v.form) || v.form < 0 || v.form > 3)
                return cx.fail(field, "must be 0, 1, 2 or 3");
        } else if (key == "band") {
            if (val == "heavy") v.band = 1;
            else if (val == "light") v.band = 2;
            else if (val == "split") v.band = 3;
            else return cx.fail(field, "must be heavy, light or split");
        } else if (key == "dos") {
            if (!to_real(val, v.dos) || !(v.dos > 0))
                return cx.fail(field, "must be a number above 0");
        } else if (key == "count") {
            if (!to_int(val, v.count) || v.count < 1 || v.count > 8)
                return cx.fail(field, "must be an integer from 1 to 8");
        } else if (key == "varshni") {
            if (i + 2 >= t.size() || !to_real(t[i + 1], v.varshni_a)
                || !to_real(t[i + 2], v.varshni_b) || !(v.varshni_a > 0) || !(v.varshni_b >= 0))
                return cx.fail(field,
                               "expected two numbers: a (eV/K, above 0) and b (K, not negative)");
            i += 3;
            continue;
        } else if (key == "alpha" || key == "energy" || key == "acoustic" || key == "nonpolar") {
            if (!to_real(val, d)) return cx.fail(field, "not a number: \"" + val + "\"");
            if (d < 0) return cx.fail(field, "must not be negative");
            if (key == "energy" && d > kMaxEnergy) return cx.fail(field, "must not exceed 20 eV");
            if (key == "alpha") v.alpha = d;
            else if (key == "energy") v.energy = d;
            else if (key == "acoustic") v.acoustic = d;
            else v.nonpolar = d;
        } else {
            return cx.fail(field, "unknown valley field");
        }
        i += 2;
    }
    if (!seen.count("mass")) return cx.fail("valley " + v.name + " mass", "missing");
    if (!seen.count("energy")) return cx.fail("valley " + v.name + " energy", "missing");
    if (!seen.count("alpha")) return cx.fail("valley " + v.name + " alpha", "missing");
    for (int k = 0; k < nmass; ++k)
        if (!(mass[k] > 0)) return cx.fail("valley " + v.name + " mass", "must be above 0");
    if (v.form == 0) {
        if (nmass != 1)
            return cx.fail("valley " + v.name + " mass", "a spherical valley takes one mass");
        v.ml = v.mt = v.md = mass[0];
    } else {
        if (nmass != 2)
            return cx.fail("valley " + v.name + " mass",
                           "an ellipsoidal valley takes two masses (ml mt)");
        v.ml = mass[0];
        v.mt = mass[1];
        v.md = std::cbrt(v.ml * v.mt * v.mt);
    }
    return true;
}

bool parse_intervalley(Ctx& cx, const std::vector<std::string>& t, IntervalleySpec& s) {
    if (t.size() != 6)
        return cx.fail("intervalley", "expected: valley valley order energy coupling");
    s.a = t[1];
    s.b = t[2];
    s.line = cx.line;
    if (!to_int(t[3], s.order) || (s.order != 0 && s.order != 1))
        return cx.fail("intervalley order", "must be 0 or 1");
    if (!to_real(t[4], s.hw) || !(s.hw > 0) || s.hw > kMaxPhonon)
        return cx.fail("intervalley energy", "must be a number above 0, at most 1 eV");
    if (!to_real(t[5], s.coupling) || !(s.coupling >= 0))
        return cx.fail("intervalley coupling", "must be a number, not negative");
    if ((s.b == "=" || s.b == "~") && s.a != "*")
        return cx.fail("intervalley", "\"=\" and \"~\" go with \"*\" as the first valley");
    return true;
}

bool check_whole(Ctx& cx, Material& m, const std::set<std::string>& seen) {
    cx.line = 0;
    auto& e = cx.error;
    for (const char* req : {"material", "table", "carrier", "temperature", "doping", "deltae",
                            "etop", "gap", "density", "sound"})
        if (!seen.count(req)) {
            e = std::string(req) + ": missing";
            return false;
        }
    if (m.valleys.empty()) {
        e = "valley: at least one valley is needed";
        return false;
    }
    if (m.valleys[0].varshni_a > 0) {
        e = "valley " + m.valleys[0].name + " varshni: the first valley follows gap_varshni";
        return false;
    }
    for (const auto& v : m.valleys)
        if (v.varshni_a > 0 && !(m.gap_a > 0)) {
            e = "valley " + v.name + " varshni: needs gap_varshni for the first valley";
            return false;
        }
    const double e1 = m.valleys[0].energy;
    for (const auto& v : m.valleys)
        if (v.energy < e1) {
            e = "valley " + v.name + " energy: the first valley must be the lowest";
            return false;
        }
    if (m.hw_polar > 0) {
        if (!seen.count("eps_static") || !seen.count("eps_optic")) {
            e = "eps_static/eps_optic: needed for polar optical scattering";
            return false;
        }
        if (!(m.eps_static > m.eps_optic)) {
            e = "eps_static: must be above eps_optic";
            return false;
        }
        for (const auto& v : m.valleys)
            if (v.form != 0) {
                e = "valley " + v.name
                    + " form: polar optical scattering needs spherical valleys (form 0)";
                return false;
            }
    }
    for (const auto& v : m.valleys) {
        if (v.nonpolar > 0 && !(m.hw_nonpolar > 0)) {
            e = "nonpolar_phonon: needed by valley " + v.name;
            return false;
        }
        if (!(m.etop > v.energy + 20 * m.deltae)) {
            e = "etop: must lie at least 20 energy steps above valley " + v.name;
            return false;
        }
    }
    auto known = [&](const std::string& n) {
        for (const auto& v : m.valleys)
            if (v.name == n) return true;
        return false;
    };
    for (const auto& s : m.intervalley) {
        if (s.a != "*" && !known(s.a)) {
            e = "line " + std::to_string(s.line) + ": intervalley: unknown valley " + s.a;
            return false;
        }
        if (s.b != "=" && s.b != "~" && !known(s.b)) {
            e = "line " + std::to_string(s.line) + ": intervalley: unknown valley " + s.b;
            return false;
        }
        if (s.a == "*" && s.b != "=" && s.b != "~") {
            e = "line " + std::to_string(s.line) + ": intervalley: \"*\" goes with \"=\" or \"~\"";
            return false;
        }
    }
    return true;
}

// Values that follow from the description: the screening of the impurities by the free
// carriers, which sit in the lowest valleys (those at the energy of the first).
void derive(Material& m) {
    const double t = m.temperature;
    auto shift = [t](double a, double b) { return a * t * t / (t + b); };
    if (m.gap_a > 0) m.gap = m.gap0 - shift(m.gap_a, m.gap_b);
    // A valley with its own law moves against the first valley, whose edge follows the gap.
    for (size_t i = 1; i < m.valleys.size(); ++i) {
        Valley& v = m.valleys[i];
        if (v.varshni_a > 0) v.energy += shift(m.gap_a, m.gap_b) - shift(v.varshni_a, v.varshni_b);
    }
    double md32 = 0;
    for (const auto& v : m.valleys)
        if (v.energy == m.valleys[0].energy) md32 += v.count * std::pow(v.md, 1.5);
    const double nc = phys::effective_dos(std::pow(md32, 2.0 / 3.0), m.temperature);
    const double eps = m.eps_static > 0 ? m.eps_static : 1.0;
    if (m.doping > 0) {
        m.eta_fermi = phys::reduced_fermi_level(m.doping, nc);
        m.beta2 = phys::screening_beta2(m.doping, nc, m.temperature, eps);
    }
}

// Tables that are made but whose runs are not to be trusted: outside the temperatures and
// dopings the models are checked over (docs/validation.md), or with an energy step too
// coarse for the thermal energies.
void range_warnings(Material& m) {
    const std::string t = short_number(m.temperature) + " K";
    if (m.temperature < kCheckedTempLow || m.temperature > kCheckedTempHigh)
        m.warnings.push_back("temperature " + t + " lies outside 77-500 K, where the model is checked"
                             " (the acoustic rate assumes equipartition, the masses and couplings"
                             " do not follow the temperature): the results are not validated");
    if (m.doping > kCheckedDopingHigh)
        m.warnings.push_back("doping " + short_number(m.doping)
                             + " cm-3 lies above 1e19 cm-3, where the impurity model is checked"
                               " (zot's carriers are not degenerate): the results are not validated");
    const double kt = phys::kKb * m.temperature / phys::kQ;
    if (m.deltae > kt)
        m.warnings.push_back("deltae " + short_number(m.deltae) + " eV is coarser than kT = "
                             + short_number(kt) + " eV at " + t
                             + ": the tables do not resolve the thermal energies and the low-field"
                               " results are not to be trusted");
}

}  // namespace

bool parse_material(std::string_view text, Material& m, std::string& error) {
    m = Material{};
    Ctx cx{0, error};
    std::set<std::string> seen;
    std::map<std::string, int> lines;  // line of each statement given once
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view ln = text.substr(pos, end - pos);
        pos = end + 1;
        ++cx.line;
        if (size_t h = ln.find('#'); h != std::string_view::npos) ln = ln.substr(0, h);
        auto t = split(ln);
        if (t.empty()) continue;
        const std::string& key = t[0];
        if (key == "valley") {
            if (static_cast<int>(m.valleys.size()) == kMaxValleys)
                return cx.fail("valley", "more than 4 valleys");
            Valley v;
            v.line = cx.line;
            if (!parse_valley(cx, t, v)) return false;
            for (const auto& o : m.valleys)
                if (o.name == v.name) return cx.fail("valley", "name " + v.name + " used twice");
            m.valleys.push_back(v);
            continue;
        }
        if (key == "intervalley") {
            IntervalleySpec s;
            if (!parse_intervalley(cx, t, s)) return false;
            m.intervalley.push_back(s);
            continue;
        }
        if (!seen.insert(key).second) return cx.fail(key, "given twice");
        lines[key] = cx.line;
        if (key == "material") {
            if (t.size() != 2 || !name_ok(t[1], 12))
                return cx.fail(key, "one name of 1 to 12 characters A-Z, 0-9, _");
            m.name = t[1];
        } else if (key == "table") {
            // The simulator names the table file after the first six characters of the
            // catalogue name: a shorter name would give a file name with blanks in it.
            if (t.size() != 2 || !name_ok(t[1], 6) || t[1].size() != 6)
                return cx.fail(key, "one name of exactly 6 characters A-Z, 0-9, _");
            m.table = t[1];
        } else if (key == "carrier") {
            if (t.size() != 2 || (t[1] != "electrons" && t[1] != "holes"))
                return cx.fail(key, "must be \"electrons\" or \"holes\"");
            m.carrier = t[1] == "electrons" ? 'E' : 'T';
        } else if (key == "temperature") {
            if (!one_real(cx, t, m.temperature, 0, true)) return false;
            if (m.temperature < 1 || m.temperature > 9999)
                return cx.fail(key, "must lie between 1 and 9999 K");
        } else if (key == "doping") {
            if (!one_real(cx, t, m.doping, 0, false)) return false;
            if (m.doping > 1e22) return cx.fail(key, "must not exceed 1e22 cm-3");
        } else if (key == "deltae") {
            if (!one_real(cx, t, m.deltae, 0, true)) return false;
        } else if (key == "etop") {
            if (!one_real(cx, t, m.etop, 0, true)) return false;
            if (m.etop > kMaxEnergy) return cx.fail(key, "must not exceed 20 eV");
        } else if (key == "domains") {
            if (t.size() != 2 || !to_int(t[1], m.domains) || m.domains < 1 || m.domains > 15)
                return cx.fail(key, "must be an integer from 1 to 15");
        } else if (key == "totals") {
            if (t.size() != 2 || (t[1] != "valley" && t[1] != "domain"))
                return cx.fail(key, "must be \"valley\" or \"domain\"");
            m.total_per_domain = t[1] == "domain";
        } else if (key == "reach") {
            if (!one_real(cx, t, m.reach, 0, false)) return false;
        } else if (key == "gap") {
            if (seen.count("gap_varshni")) return cx.fail(key, "give either gap or gap_varshni");
            if (!one_real(cx, t, m.gap, 0, true)) return false;
        } else if (key == "gap_varshni") {
            if (seen.count("gap")) return cx.fail(key, "give either gap or gap_varshni");
            if (t.size() != 4 || !to_real(t[1], m.gap0) || !to_real(t[2], m.gap_a)
                || !to_real(t[3], m.gap_b) || !(m.gap0 > 0) || !(m.gap_a > 0) || !(m.gap_b >= 0))
                return cx.fail(key, "expected: gap at 0 K (eV, above 0), a (eV/K, above 0), b (K)");
            seen.insert("gap");
        } else if (key == "density") {
            if (!one_real(cx, t, m.density, 0, true)) return false;
        } else if (key == "sound") {
            if (!one_real(cx, t, m.sound, 0, true)) return false;
        } else if (key == "eps_static") {
            if (!one_real(cx, t, m.eps_static, 0, true)) return false;
        } else if (key == "eps_optic") {
            if (!one_real(cx, t, m.eps_optic, 0, true)) return false;
        } else if (key == "polar_phonon") {
            if (!one_real(cx, t, m.hw_polar, 0, false)) return false;
            if (m.hw_polar > kMaxPhonon) return cx.fail(key, "must not exceed 1 eV");
        } else if (key == "nonpolar_phonon") {
            if (!one_real(cx, t, m.hw_nonpolar, 0, false)) return false;
            if (m.hw_nonpolar > kMaxPhonon) return cx.fail(key, "must not exceed 1 eV");
        } else if (key == "impurity_correction") {
            if (t.size() != 4)
                return cx.fail(key, "expected: gain, reference density (cm-3), exponent");
            if (!to_real(t[1], m.imp_gain) || !(m.imp_gain > -1) || m.imp_gain > 100)
                return cx.fail("impurity_correction gain",
                               "must be a number above -1, at most 100");
            if (!to_real(t[2], m.imp_n0) || !(m.imp_n0 > 0))
                return cx.fail("impurity_correction density", "must be a number above 0");
            if (!to_real(t[3], m.imp_power) || !(m.imp_power > 0) || m.imp_power > 4)
                return cx.fail("impurity_correction exponent",
                               "must be a number above 0, at most 4");
        } else if (key == "ionisation") {
            if (t.size() != 3) return cx.fail(key, "expected: threshold (eV) prefactor (1/s)");
            if (!to_real(t[1], m.ii_threshold) || !(m.ii_threshold > 0))
                return cx.fail("ionisation threshold", "must be a number above 0");
            if (!to_real(t[2], m.ii_rate) || !(m.ii_rate >= 0))
                return cx.fail("ionisation prefactor", "must be a number, not negative");
            m.ionisation = m.ii_rate > 0;
        } else if (key == "alloy") {
            if (!parse_alloy_line(t, m, error)) return cx.fail(key, error);
        } else if (key == "alloy_potential") {
            if (!one_real(cx, t, m.alloy_potential, 0, false)) return false;
        } else {
            return cx.fail(key, "unknown field");
        }
    }
    if (!m.alloy_a.empty() && !apply_alloy(m, seen, lines, error)) return false;
    if (!check_whole(cx, m, seen)) return false;
    if (seen.count("alloy_potential") && m.alloy_a.empty()) {
        error = "line " + std::to_string(lines["alloy_potential"])
                + ": alloy_potential: only for an alloy (an \"alloy\" statement)";
        return false;
    }
    if (!check_carrier_fields(m, error)) return false;
    derive(m);
    const std::string at = " at " + short_number(m.temperature) + " K";
    if (m.gap_a > 0 && !(m.gap > 0)) {
        error = "gap_varshni: the gap would be " + short_number(m.gap) + " eV" + at
                + "; check the law's a and b";
        return false;
    }
    for (const auto& v : m.valleys) {
        if (v.energy < m.valleys[0].energy) {
            error = "valley " + v.name + " varshni: below the first valley" + at;
            return false;
        }
        if (!(m.etop > v.energy + 20 * m.deltae)) {
            error = "valley " + v.name + " varshni: its edge would lie at " + short_number(v.energy)
                    + " eV" + at + ", less than 20 energy steps below etop";
            return false;
        }
    }
    range_warnings(m);
    return true;
}

bool read_material(const std::string& path, Material& m, std::string& error) {
    std::string text, why;
    switch (read_bounded(path, kMaxDescriptionBytes, text, why)) {
        case ReadResult::Missing:
            error = path + ": cannot open: " + std::strerror(ENOENT);
            return false;
        case ReadResult::Failed: error = path + ": cannot read: " + why; return false;
        case ReadResult::Ok: break;
    }
    if (!parse_material(text, m, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace tabgen
