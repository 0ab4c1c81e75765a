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
double polar(const Band& b, double e, double t, double hw, double eps_s, double eps_inf,
             bool emission);

// Fermi-Dirac integrals normalised as in Blakemore (Solid-State Electron. 25, 1067 (1982)):
// F_j(eta) = 1/Gamma(j+1) \int_0^inf x^j / (1 + exp(x - eta)) dx, so that F_j -> exp(eta)
// for eta -> -inf. fermi_half is j = 1/2, fermi_mhalf j = -1/2 = dF_1/2 / deta.
double fermi_half(double eta);
double fermi_mhalf(double eta);

// Effective density of states (cm-3) of a parabolic band with density-of-states mass md
// (m0, all equivalent valleys included) at temperature t: 2 (md m0 kT / 2 pi hbar^2)^(3/2).
double effective_dos(double md, double t);

// Reduced Fermi level eta = (EF - Ec)/kT of a carrier density n (cm-3) in a band of
// effective density of states nc (cm-3): the root of nc F_1/2(eta) = n.
double reduced_fermi_level(double n, double nc);

// Squared inverse screening length (1/m2) of n free carriers (cm-3) in a band of effective
// density of states nc at t, static permittivity eps_s: (q^2 / eps) dn/dEF, which is the
// Debye value q^2 n / (eps kT) times F_-1/2(eta) / F_1/2(eta) (Fermi-Dirac statistics;
// the Thomas-Fermi limit when degenerate).
double screening_beta2(double n, double nc, double t, double eps_s);

// Ionised impurities: the Brooks-Herring momentum-relaxation rate (1/s) of impurities of
// density ni (cm-3) and charge z (elementary charges) screened with beta2 (1/m2), as the
// rate that, with an isotropic final direction, relaxes momentum as the screened Coulomb
// cross-section does. Holds for any carrier; the band gives the density of states and k.
double impurity_momentum(const Band& b, double e, double ni, double beta2, double eps_s,
                         double z = 1.0);
// The total (out-scattering) Brooks-Herring rate, for reference.
double impurity_total(const Band& b, double e, double ni, double beta2, double eps_s,
                      double z = 1.0);

// Impact ionisation, Keldysh threshold law: p ((e - eth)/eth)^2 above eth.
double ionisation(double e, double eth, double p);

}  // namespace tabgen::phys
