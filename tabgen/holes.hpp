// Holes in cubic semiconductors: the heavy, light and split-off valence bands as valleys
// at their band energies, and the transitions within and between them (docs/materials.md).
#pragma once

#include <string>
#include <vector>

#include "tabgen/build.hpp"
#include "tabgen/material.hpp"
#include "tabgen/physics.hpp"

namespace tabgen {

// Fields of the description that belong to the other kind of carrier, and hole bands
// without the parameters their scattering needs. Returns false with a message naming the
// line and the field.
bool check_carrier_fields(const Material& m, std::string& error);

// The mechanisms of every hole band (replaces the electron plan for `carrier holes`).
bool plan_holes(const Material& m, std::vector<std::vector<Lambda>>& out, std::string& error);

// Rate (1/s) of a hole lambda (one with `hole` set) of valley iv at kinetic energy e (eV).
double hole_rate(const Material& m, int iv, const Lambda& l, double e);

namespace holes {

// Overlap factor of the p-like band states (Wiley 1971) between band bi and band bj
// (1 heavy, 2 light, 3 split-off) at the angle of cosine c between the wave vectors.
double overlap(int bi, int bj, double c);

// Angle-averaged overlap used by the deformation-potential (acoustic and non-polar
// optical) transitions between any two bands.
constexpr double kDeformationOverlap = 0.5;

// Integral over c in [-1, 1] of overlap(bi, bj, c) / (k^2 + k'^2 - 2 k k' c) (1/m^2).
double polar_angular(int bi, int bj, double k, double kp);

// Frohlich rate from band bi (kinetic energy e) to band bf (final kinetic energy ef), with
// the overlap factors inside the angular integral: hw the LO phonon (eV), relative
// permittivities eps_s and eps_inf.
double polar(const phys::Band& bi, double e, int band_i, const phys::Band& bf, double ef,
             int band_f, double t, double hw, double eps_s, double eps_inf, bool emission);

}  // namespace holes
}  // namespace tabgen
