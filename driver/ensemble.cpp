// The initial ensemble: division among the valleys, Maxwell-Boltzmann energies, isotropic
// directions, wave vectors by valley form, and the mean initial energy.
#include <cmath>

#include "core/vocabulary.hpp"
#include "driver/records.hpp"
#include "driver/run.hpp"
#include "driver/sim.hpp"
#include "klip/fio.hpp"
#include "klip/records.hpp"
#include "scatter/scatter.hpp"
#include "tables/band.hpp"
#include "tables/model.hpp"

namespace driver {
namespace {

// Truncation toward zero of a share; a share that is not a number or lies far outside any
// particle count (a table with zero masses) counts as none.
int32_t truncate_share(float v) {
    if (!(v > -2.0e9f && v < 2.0e9f)) return 0;
    return static_cast<int32_t>(v);
}

// Particles per valley in proportion to the valley's occupation in equilibrium, which for a
// non-degenerate gas goes as MEFF^1.5 exp(-(ENVAL - ENEXTR) / kT) (the effective density of
// states); the rounding remainder goes to the last populated valley.
void divide_among_valleys() {
    const Run& r = run;
    const auto& b = tables::bande;
    EnsembleWork& w = ensw;
    w.nparti.fill(0);
    if (r.nvinit < 2) {
        w.nparti[1] = r.npart;
        return;
    }
    const float kt = r.kbtsq;
    w.pvtot = 0.0f;
    for (int iv = 1; iv <= r.nvinit; ++iv) {
        w.pvtot = w.pvtot + powf(b.MEFF[iv], 1.5f) * expf(-(b.ENVAL[iv] - b.ENEXTR) / kt);
    }
    w.npartr = 0;
    for (int iv = 1; iv <= r.nvinit; ++iv) {
        float share = static_cast<float>(r.npart) * powf(b.MEFF[iv], 1.5f);
        share = share * expf(-(b.ENVAL[iv] - b.ENEXTR) / kt);
        w.nparti[iv] = truncate_share(share / w.pvtot);
        w.npartr += w.nparti[iv];
    }
    w.nparti[r.nvinit] += r.npart - w.npartr;
}

void report_division() {
    const int lu = klip::comlu[1];
    fio::write_line(lu, "");
    fio::List(lu) << "   Il y aura initialement :";
    for (int iv = 1; iv <= run.nvinit; ++iv) {
        fio::write_fmt(lu, "(5X,I5,' particules dans la vallee no',I2)", {ensw.nparti[iv], iv});
    }
}

// Energy by bisection on the Maxwell-Boltzmann distribution function: with x^2 = E / kT,
// F(x) = erf(x) - (2 / sqrt(pi)) x exp(-x^2) is the probability of an energy below E; the
// energy is the x where F(x) = r01, searched between 0 and the top of the tables.
float draw_energy(int iv) {
    const float kt = run.kbtsq;
    const float dsrpi = dtafix.DSRPI;
    float xi = 0.0f;
    float xf = sqrtf(tables::tablam.ENMAX[iv] / kt);
    float x = (xi + xf) / 2.0f;
    float r01 = 0.0f;
    scatter::alea(etir.ISEED[core::kEnergyStream], r01);
    // The interval halves at every pass; the cap only guards a midpoint that no longer moves.
    for (int pass = 0; pass < 400; ++pass) {
        if (xf - xi < ensw.dxmin) break;
        const float f = erff(x) - dsrpi * x * expf(-(x * x));
        if (f > r01) {
            xf = x;
        } else if (f < r01) {
            xi = x;
        } else {
            break;  // equal (or not a number)
        }
        x = (xi + xf) / 2.0f;
    }
    return kt * (x * x);
}

// Isotropic direction (cos theta = 1 - 2 r02, phi = 2 pi r03), modulus sqrt(2q/m0 E (1 + alpha E))
// for a unit mass, scaled per axis by sqrt(mass) by valley form (Herring and Vogt, 1956).
void set_wave_vector(int ip, int iv) {
    const auto& b = tables::bande;
    Ensemble& e = ensemble;
    float r02 = 0.0f, r03 = 0.0f;
    scatter::alea(etir.ISEED[core::kPolarStream], r02);
    scatter::alea(etir.ISEED[core::kAzimuthStream], r03);
    const float costeta = 1.0f - 2.0f * r02;
    const float sinteta = sqrtf(1.0f - costeta * costeta);
    const float phi = dtafix.DPI * r03;
    const float cosphi = cosf(phi);
    const float sinphi = sinf(phi);
    const float en = e.EN[ip];
    const float bb = sqrtf(dtafix.DQSM * en * (b.ALP[iv] * en + 1.0f));
    const float bb1 = bb * sinteta * cosphi;
    const float bb2 = bb * sinteta * sinphi;
    const float bb3 = bb * costeta;
    // Other form codes leave the components as they are.
    tables::place_on_axes(b.IFORV[iv], tables::mass_roots_of(iv), bb1, bb2, bb3, e.WX[ip], e.WY[ip],
                          e.WZ[ip]);
}

[[gnu::cold]] void trace_initial_state(int ip) {
    const int lu = klip::comlu[1];
    const Ensemble& e = ensemble;
    fio::write_line(lu, "");
    fio::List(lu) << "$$$ PARTICULE NO " << ip << "  ETAT INITIAL:";
    fio::List(lu) << "   EN,WX,WY,WZ,NV=" << e.EN[ip] << e.WX[ip] << e.WY[ip] << e.WZ[ip]
                  << e.NV[ip];
}

void create_particles() {
    const int32_t dbg = klip::debug.level;
    Ensemble& e = ensemble;
    int32_t& ip = electr.IP;
    ensw.dxmin = sqrtf(1e-8f / run.kbtsq);
    ensw.bol = 0.0f;
    ip = 0;
    for (int iv = 1; iv <= run.nvinit; ++iv) {
        int32_t ipv = 0;
        for (int32_t n = 1; n <= ensw.nparti[iv]; ++n) {
            // The share of a valley never exceeds the run's particle count; the capacity
            // check guards the arrays all the same.
            if (ip >= kMaxParticles) break;
            ++ip;
            ++ipv;
            e.EN[ip] = draw_energy(iv);
            ensw.bol = ensw.bol + e.EN[ip];
            e.NV[ip] = iv;
            e.XX[ip] = 0.0f;
            e.XY[ip] = 0.0f;
            e.XZ[ip] = 0.0f;
            set_wave_vector(ip, iv);
            if (dbg >= 5 && dbg < 100) trace_initial_state(ip);
        }
        if (dbg >= 3) fio::List(klip::comlu[1]) << " vallee no " << iv << "   IPV = " << ipv;
    }
}

}  // namespace

void build_ensemble() {
    const int lu = klip::comlu[1];
    divide_among_valleys();
    report_division();
    create_particles();
    if (electr.IP != run.npart) {
        fio::List(lu) << " Initialisation des coordonnees des particules:"
                      << " IO >< NPART";
        fio::List(lu) << "    IO, NPART = " << electr.IP << run.npart;
        fio::terminate(2);  // only an internal fault gets here: the limits keep nvinit >= 1
    }
    fio::write_line(lu, "");
    fio::List(lu) << " Initialisation des coordonnees des particules OK";
    fio::write_line(lu, "");
    ensw.bol = ensw.bol * 1000.0f / static_cast<float>(run.npart);
    fio::write_line(lu, "");
    fio::write_fmt(lu, "(1X,'  Energie moyenne initiale= ',F6.2,' meV')", {ensw.bol});
    fio::write_line(lu, "");
}

}  // namespace driver
