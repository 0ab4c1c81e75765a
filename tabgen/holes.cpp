#include "tabgen/holes.hpp"

#include <cmath>

namespace tabgen {
namespace {

const char* const kBandNames[] = {"", "heavy", "light", "split"};

std::string at_line(int line) { return "line " + std::to_string(line) + ": "; }

double k_of(const phys::Band& b, double e) {
    return std::sqrt(2.0 * b.md * phys::kM0 * e * (1.0 + b.alpha * e) * phys::kQ) / phys::kHbar;
}

}  // namespace

bool check_carrier_fields(const Material& m, std::string& error) {
    if (m.carrier == 'E') {
        for (const auto& v : m.valleys) {
            const char* f = v.band ? "band" : v.dos > 0 ? "dos" : nullptr;
            if (f) {
                error = at_line(v.line) + "valley " + v.name + " " + f
                        + ": a hole-band field in a description of electrons (carrier electrons)";
                return false;
            }
        }
        return true;
    }
    if (!m.intervalley.empty()) {
        error = at_line(m.intervalley[0].line) +
                "intervalley: an electron field; the transitions between hole bands follow from the bands "
                "(carrier holes)";
        return false;
    }
    bool have[4] = {false, false, false, false};
    for (const auto& v : m.valleys) {
        const std::string f = at_line(v.line) + "valley " + v.name + " ";
        if (v.form != 0) {
            error = f + "form: hole bands are spherical (form 0)";
            return false;
        }
        if (v.count != 1) {
            error = f + "count: an electron field; a hole band stands for one band (count 1)";
            return false;
        }
        if (v.band == 0) {
            error = f + "band: missing (heavy, light or split)";
            return false;
        }
        if (have[v.band]) {
            error = f + "band: a second " + kBandNames[v.band] + " band";
            return false;
        }
        have[v.band] = true;
        if (!(v.acoustic > 0)) {
            error =
                f + "acoustic: missing; every hole band needs its acoustic deformation potential";
            return false;
        }
        if ((v.band == 3) != (v.energy > 0)) {
            error = f + "energy: the heavy and light bands start at 0, the split-off band above 0";
            return false;
        }
        for (const auto& o : m.valleys)
            if ((o.nonpolar > 0) != (v.nonpolar > 0)) {
                error = f + "nonpolar: missing; given for band " + o.name
                        + ", it couples every pair of bands";
                return false;
            }
    }
    if (!have[1] || !have[2]) {
        error = "valley band: holes need a heavy and a light band";
        return false;
    }
    return true;
}

bool plan_holes(const Material& m, std::vector<std::vector<Lambda>>& out, std::string& error) {
    const int nva = static_cast<int>(m.valleys.size());
    out.assign(nva, {});
    for (int i = 0; i < nva; ++i) {
        const Valley& v = m.valleys[i];
        auto& ls = out[i];
        if (m.doping > 0) ls.push_back({Kind::IMP, i, 1, 0, 0, 1, 0, "IMP   "});
        for (int j = 0; j < nva; ++j) {
            const double de = m.valleys[j].energy - v.energy;
            ls.push_back(
                {Kind::ACO, j, 1, 0, 0, 1, -de, lambda_name("ACO", digit(j + 1), ' ', ' '), true});
        }
        if (m.hw_polar > 0) {
            const double hw = m.hw_polar;
            ls.push_back({Kind::OPLE, i, 1, hw, 0, 1, -hw, "OPL  E", true});
            ls.push_back({Kind::OPLA, i, 1, hw, 0, 1, hw, "OPL  A", true});
            // Between heavy and light bands: the same phonon, the direction drawn anew.
            for (int j = 0; j < nva; ++j) {
                const Valley& f = m.valleys[j];
                if (j == i || v.band == 3 || f.band == 3) continue;
                const double de = f.energy - v.energy;
                ls.push_back({Kind::IV0E, j, 1, hw, 0, 1, -hw - de,
                              lambda_name("IV0", digit(j + 1), '1', 'E'), true});
                ls.push_back({Kind::IV0A, j, 1, hw, 0, 1, hw - de,
                              lambda_name("IV0", digit(j + 1), '1', 'A'), true});
            }
        }
        if (v.nonpolar > 0)
            for (int j = 0; j < nva; ++j) {
                const double de = m.valleys[j].energy - v.energy, hw = m.hw_nonpolar;
                ls.push_back({Kind::ONPE, j, 1, hw, 0, 1, -hw - de,
                              lambda_name("ONP", digit(i + 1), digit(j + 1), 'E'), true});
                ls.push_back({Kind::ONPA, j, 1, hw, 0, 1, hw - de,
                              lambda_name("ONP", digit(i + 1), digit(j + 1), 'A'), true});
            }
        if (!end_lambda_list(m, i, ls, error)) return false;
    }
    return true;
}

double hole_rate(const Material& m, int iv, const Lambda& l, double e) {
    const Valley& v = m.valleys[iv];
    const Valley& f = m.valleys[l.to];
    const phys::Band bi = band_of(v), bf = band_of(f);
    const double ef = e + l.shift, t = m.temperature;
    if (e <= 0 || ef <= 0) return 0.0;
    const bool emission = l.kind == Kind::ONPE || l.kind == Kind::OPLE || l.kind == Kind::IV0E;
    switch (l.kind) {
        case Kind::ACO:
            return holes::kDeformationOverlap
                   * phys::acoustic(bf, ef, t, std::sqrt(v.acoustic * f.acoustic), m.density,
                                    m.sound);
        case Kind::ONPE:
        case Kind::ONPA:
            return holes::kDeformationOverlap
                   * phys::optical0(bf, ef, t, std::sqrt(v.nonpolar * f.nonpolar), l.hw, 1,
                                    m.density, emission);
        case Kind::OPLE:
        case Kind::OPLA:
        case Kind::IV0E:
        case Kind::IV0A:
            return holes::polar(bi, e, v.band, bf, ef, f.band, t, l.hw, m.eps_static, m.eps_optic,
                                emission);
        default: return 0.0;
    }
}

namespace holes {

double overlap(int bi, int bj, double c) {
    if (bi == 3 || bj == 3) return bi == bj ? 1.0 : 0.0;  // J = 1/2 and J = 3/2 states: no overlap
    return bi == bj ? (1.0 + 3.0 * c * c) / 4.0 : 3.0 * (1.0 - c * c) / 4.0;
}

double polar_angular(int bi, int bj, double k, double kp) {
    if ((bi == 3) != (bj == 3)) return 0.0;
    double a = k * k + kp * kp;
    const double b = 2.0 * k * kp;
    if (a - b < 1e-12 * a)
        a = b * (1.0 + 1e-12);  // equal wave vectors: the log singularity, integrable
    const double r = b / a;
    double j0 = 0, j2 = 0;  // integrals of 1 and c^2 over (a - b c)
    if (r < 0.5) {
        double p = 1.0;
        for (int n = 0; n < 40; ++n, p *= r * r) {
            j0 += 2.0 * p / (2 * n + 1);
            j2 += 2.0 * p / (2 * n + 3);
        }
        j0 /= a;
        j2 /= a;
    } else {
        const double lg = std::log((a + b) / (a - b));
        j0 = lg / b;
        j2 = a * a * lg / (b * b * b) - 2.0 * a / (b * b);
    }
    if (bi == 3) return j0;
    return bi == bj ? (j0 + 3.0 * j2) / 4.0 : 3.0 * (j0 - j2) / 4.0;
}

double polar(const phys::Band& bi, double e, int band_i, const phys::Band& bf, double ef,
             int band_f, double t, double hw, double eps_s, double eps_inf, bool emission) {
    if (e <= 0 || ef <= 0) return 0.0;
    const double ang = polar_angular(band_i, band_f, k_of(bi, e), k_of(bf, ef));
    if (ang <= 0) return 0.0;
    const double w = hw * phys::kQ / phys::kHbar;
    const double n = phys::occupation(hw, t) + (emission ? 1.0 : 0.0);
    return phys::kQ * phys::kQ * w * (1.0 / eps_inf - 1.0 / eps_s) * n * bf.md * phys::kM0
           * k_of(bf, ef) * (1.0 + 2.0 * bf.alpha * ef) * ang
           / (4.0 * phys::kPi * phys::kEps0 * phys::kHbar * phys::kHbar);
}

}  // namespace holes
}  // namespace tabgen
