// Scattering rates (1/s) of the textbook mechanisms for non-parabolic valleys,
// E(1 + alpha E) = hbar^2 k^2 / 2m. Energies are kinetic energies in eV measured from the
// bottom of the valley concerned. Computed in double precision.
#pragma once

namespace tabgen::phys {

constexpr double kQ = 1.602176634e-19;      // C
constexpr double kHbar = 1.054571817e-34;   // J s
constexpr double kM0 = 9.1093837015e-31;    // kg
constexpr double kKb = 1.380649e-23;        // J/K
constexpr double kEps0 = 8.8541878128e-12;  // F/m
constexpr double kPi = 3.14159265358979323846;

// Bose-Einstein occupation of a phonon of energy hw (eV) at temperature t (K).
double occupation(double hw, double t);

// Band of one valley as the rates see it.
struct Band {
    double md;     // density-of-states mass (m0)
    double alpha;  // 1/eV
};

// Acoustic phonons, elastic, equipartition: deformation potential xi (eV), density rho
// (kg/m3), sound velocity u (m/s).
double acoustic(const Band& b, double e, double t, double xi, double rho, double u);

// Zero-order optical or intervalley phonon: coupling dtk (eV/cm), phonon energy hw (eV),
// z final valleys, final kinetic energy ef (eV) in the final band bf; `emission` selects
// N+1 or N. Returns 0 when ef <= 0.
double optical0(const Band& bf, double ef, double t, double dtk, double hw, int z, double rho,
                bool emission);

// First-order intervalley phonon: coupling d1 (eV); the matrix element grows as the squared
// wave-vector change, averaged over angles k^2 + k'^2.
double optical1(const Band& bi, double e, const Band& bf, double ef, double t, double d1, double hw,
                int z, double rho, bool emission);

// Polar optical phonon (Frohlich coupling, non-parabolic overlap of Fawcett, Boardman and
// Swain): LO energy hw (eV), static and optical relative permittivities.
double polar(const Band& b, double e, double t, double hw, double eps_s, double eps_inf, bool emission);

// Ionised impurities, Brooks-Herring screening (nondegenerate), density n (cm-3), the
// momentum-relaxation rate (the rate that, with an isotropic final state, relaxes momentum
// as the screened Coulomb cross-section does).
double impurity_momentum(const Band& b, double e, double t, double n, double eps_s);
// The total (out-scattering) Brooks-Herring rate, for reference.
double impurity_total(const Band& b, double e, double t, double n, double eps_s);

// Impact ionisation, Keldysh threshold law: p ((e - eth)/eth)^2 above eth.
double ionisation(double e, double eth, double p);

}  // namespace tabgen::phys
