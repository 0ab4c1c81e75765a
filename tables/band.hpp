// The band model's rules that the flight, the scattering engine and the initial ensemble all
// apply: the masses of a valley along the crystal axes, and the velocity of a carrier.
#pragma once

#include <cmath>
#include <cstdint>

#include "tables/model.hpp"

namespace tables {

// Relative effective masses along x, y and z (units of m0).
struct AxisMasses {
    float x, y, z;
};

// Masses of valley iv along the axes by its form code IFORV: a spherical valley (0) has MEFF
// on every axis, an ellipsoidal one ML along its long axis (form 1 x, 2 y, 3 z) and MT across
// it. Returns false for any other code: the caller then keeps the masses it had.
inline bool axis_masses(int32_t iv, AxisMasses& m) {
    const Bande& b = bande;
    switch (b.IFORV[iv]) {
        case 0: m = {b.MEFF[iv], b.MEFF[iv], b.MEFF[iv]}; return true;
        case 1: m = {b.ML[iv], b.MT[iv], b.MT[iv]}; return true;
        case 2: m = {b.MT[iv], b.ML[iv], b.MT[iv]}; return true;
        case 3: m = {b.MT[iv], b.MT[iv], b.ML[iv]}; return true;
        default: return false;
    }
}

// Square roots of a valley's MEFF, ML and MT.
struct MassRoots {
    float meff = 0.0f, ml = 0.0f, mt = 0.0f;
};

inline MassRoots mass_roots_of(int32_t iv) {
    const Bande& b = bande;
    return {sqrtf(b.MEFF[iv]), sqrtf(b.ML[iv]), sqrtf(b.MT[iv])};
}

// A vector (d1, d2, d3) drawn for a spherical valley of unit mass, d3 along the valley's long
// axis, placed on the crystal axes and scaled by the square roots of the masses: this maps
// the sphere onto the valley's ellipsoid (Herring and Vogt, Phys. Rev. 101, 944, 1956).
// Returns false for an unknown form code, leaving (x, y, z) as they are.
inline bool place_on_axes(int32_t form, const MassRoots& r, float d1, float d2, float d3, float& x,
                          float& y, float& z) {
    switch (form) {
        case 0:
            x = d1 * r.meff;
            y = d2 * r.meff;
            z = d3 * r.meff;
            return true;
        case 1:
            x = d3 * r.ml;
            y = d1 * r.mt;
            z = d2 * r.mt;
            return true;
        case 2:
            x = d2 * r.mt;
            y = d3 * r.ml;
            z = d1 * r.mt;
            return true;
        case 3:
            x = d1 * r.mt;
            y = d2 * r.mt;
            z = d3 * r.ml;
            return true;
        default: return false;
    }
}

// Velocity (m/s) along one axis of a carrier with wave vector component w (as W, m/s), mass m
// along that axis and energy en (eV) in a valley of non-parabolicity alp (1/eV): the group
// velocity of E(1 + alpha E) = hbar^2 k^2 / 2m, v = (W / m) / (1 + 2 alpha E).
inline float band_velocity(float w, float m, float alp, float en) {
    return (w / m) / (alp * 2.0f * en + 1.0f);
}

}  // namespace tables
