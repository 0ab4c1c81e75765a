// The time-step loop of a run: run start, per-step averages, the equilibration test, the
// stationary steps and their sums, the final averages, and the whole simulation sequence.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "core/vocabulary.hpp"
#include "driver/records.hpp"
#include "driver/run.hpp"
#include "driver/sim.hpp"
#include "klip/fio.hpp"
#include "klip/records.hpp"
#include "tables/model.hpp"

namespace driver {

namespace units = core::units;

float self_percent(int64_t nself, int64_t nevents) {
    if (nevents == 0) return 0.0f;
    return static_cast<float>(nself) / static_cast<float>(nevents) * 100.0f;
}

namespace {

int nva() { return tables::tablam.NVA; }

// Per-flight and per-particle ionisation values.
void clear_flight_ionisation() {
    Flight& f = flight;
    f.vxxion1 = 0.0f;
    f.vxxion2 = 0.0f;
    f.vxmion1 = 0.0f;
    f.vxmion2 = 0.0f;
}

void clear_step_ionisation_counts() {
    flight.nion = 0;
    flight.nionv.fill(0);
}

void clear_step() {
    Steps& s = steps;
    for (int iv = 1; iv <= nva(); ++iv) {
        s.nppv[iv] = 0;
        s.enpv[iv] = 0.0f;
    }
    s.enm = s.entm = 0.0f;
    s.wxm = s.wym = s.wzm = 0.0f;
    s.vxm = s.vym = s.vzm = 0.0f;
    clear_flight_ionisation();
    s.vxmion1m = s.vxmion2m = 0.0f;
    s.coeffionx1 = s.coeffionx2 = 0.0f;
    clear_step_ionisation_counts();
    s.endyn = 0.0f;
}

void step_averages() {
    Steps& s = steps;
    const Run& r = run;
    const float np = static_cast<float>(r.npart);
    s.enm = s.enm / np;
    s.entm = s.entm / np;
    s.wxm = s.wxm / np;
    s.wym = s.wym / np;
    s.wzm = s.wzm / np;
    s.vxm = s.vxm / np;
    s.vym = s.vym / np;
    s.vzm = s.vzm / np;
    // A step without ionisation has neither means nor coefficients.
    if (flight.nion != 0) {
        const float nion = static_cast<float>(flight.nion);
        s.vxmion2m = s.vxmion2m / nion;
        s.coeffionx2 = s.vxmion2m;
        s.vxmion1m = s.vxmion1m / nion;
        s.coeffionx1 = (1.0f / s.vxmion1m) / 100.0f;
    } else {
        s.vxmion1m = s.vxmion2m = 0.0f;
        s.coeffionx1 = s.coeffionx2 = 0.0f;
    }
    for (int iv = 1; iv <= nva(); ++iv) {
        s.enpv[iv] = s.nppv[iv] == 0 ? 0.0f : s.enpv[iv] / static_cast<float>(s.nppv[iv]);
    }
    s.evm = r.ex * s.vxm + r.ey * s.vym + r.ez * s.vzm;
    s.rlxen = s.evm == 0.0f ? 0.0f : (s.enm - r.eth) / s.evm;
    const float m0q = dtafix.XM0 / dtafix.QE;
    s.rlxmx = r.ex == 0.0f ? 0.0f : m0q / r.ex * s.wxm;
    s.rlxmy = r.ey == 0.0f ? 0.0f : m0q / r.ey * s.wym;
    s.rlxmz = r.ez == 0.0f ? 0.0f : m0q / r.ez * s.wzm;
    s.rlxm = std::max(std::max(s.rlxmx, s.rlxmy), s.rlxmz);
}

void printable_values() {
    Steps& s = steps;
    const Run& r = run;
    s.pex = r.ex * units::kKVPerCmPerVPerM;
    s.pey = r.ey * units::kKVPerCmPerVPerM;
    s.pez = r.ez * units::kKVPerCmPerVPerM;
    s.ptcalt = s.tcalt * units::kPsPerSecond;
    s.ptcal = s.tcal * units::kPsPerSecond;
    s.prlxmx = s.rlxmx * units::kPsPerSecond;
    s.prlxmy = s.rlxmy * units::kPsPerSecond;
    s.prlxmz = s.rlxmz * units::kPsPerSecond;
    s.prlxen = s.rlxen * units::kPsPerSecond;
}

void clear_phase_counters() {
    steps.run_lim += static_cast<int64_t>(flight.nlim);
    steps.run_events += static_cast<int64_t>(flight.ninter);
    flight.ninter = 0;
    NBINTER = 0;
    flight.nlim = 0;
    steps.pnself = 0.0f;
}

}  // namespace

// On standard error: an equilibration that ended without lasting NFRLX momentum relaxation
// times, so that the stationary averages may hold part of the transient.
void equilibration_warnings() {
    const Steps& s = steps;
    const Run& r = run;
    if (!fio::hints_enabled || r.nfrlx <= 0 || !(r.champ > kFieldThreshold)) return;
    const double asked = static_cast<double>(s.rlx) * r.nfrlx * 1e12;
    const double made = static_cast<double>(s.tcalt) * 1e12;
    // One particle's relaxation time is noise at every step: its runs record noise.
    if (!(s.rlx > 0.0f) && r.npart > 1) {
        std::fprintf(stderr,
                     "zot: warning: the equilibration ended after %g ps because the momentum "
                     "relaxation time of its last step was not above 0 (the noise of a small "
                     "ensemble or a short step): the stationary averages may hold the transient.\n",
                     made);
    } else if (s.tcalt < s.rlx * static_cast<float>(r.nfrlx)) {
        std::fprintf(stderr,
                     "zot: warning: the equilibration stopped at its 100 ps limit after %g ps, "
                     "short of NFRLX = %d momentum relaxation times (%g ps): the stationary "
                     "averages may hold the transient.\n",
                     made, r.nfrlx, asked);
    }
}

namespace {

// Returns nothing: either another equilibration step follows, or the stationary phase
// begins with the next step.
void equilibration_test() {
    Steps& s = steps;
    const Run& r = run;
    const int32_t dbg = klip::debug.level;
    const int lu = klip::comlu[1];
    s.rlx = s.rlxm;
    s.trlx = s.rlx * static_cast<float>(r.nfrlx);
    s.trlx = std::min(s.trlx, 1e-10f);
    s.trlx = std::max(s.trlx, s.tcal);
    if (dbg >= 3) report_equilibration_trace();
    if (s.tcalt < s.trlx) {
        s.tcal = r.tcali;
        if (dbg >= 3) {
            fio::List(lu) << "TRLX > TCALT => l'equilibre n'est pas atteint";
            fio::List(lu) << "    on repart pour TCAL=" << s.tcal << " s de simulation";
        }
        clear_flight_ionisation();
        s.vxmion1m = s.vxmion2m = 0.0f;
        s.coeffionx1 = s.coeffionx2 = 0.0f;
        clear_step_ionisation_counts();
        return;
    }
    if (dbg >= 3) fio::List(lu) << "   TRLX < TCALT => l'equilibre est atteint";
    equilibration_warnings();
    clear_flight_ionisation();
    s.coeffionx1 = s.coeffionx2 = 0.0f;
    clear_step_ionisation_counts();
    printable_values();
    s.pnself = self_percent(NBINTER, flight.ninter);
    report_section1();

    // Transition to the stationary phase.
    clear_step_ionisation_counts();
    clear_phase_counters();
    s.lequi = 1;
    s.t1 = std::max(s.rlxm, s.rlxen) * static_cast<float>(r.nfrlx);
    s.t2 = r.dteq * static_cast<float>(r.ndteq);
    s.t3 = std::max(s.t1, s.t2);
    s.t4 = std::min(s.t3, r.tcalm);
    const float n = s.t4 / r.dteq;
    // A quotient beyond the integer range counts as the largest step count; one that is
    // not a number (or hugely negative) plans none, and the phase still makes one step.
    if (n > -2.0e9f && n < 2.0e9f) {
        run.ndteq = static_cast<int32_t>(n);
    } else {
        run.ndteq = n >= 2.0e9f ? INT32_MAX : 0;
    }
    s.tcal = r.dteq;
    report_stationary_length();
    s.idteq = 1;
    s.nmade = 0;
    auto& nblam = tables::tablam.NBLAM;
    for (auto& row : nblam) row.fill(0);
}

// Returns true when the stationary phase has ended.
bool stationary_step() {
    Steps& s = steps;
    const Run& r = run;
    if (r.champ > 0.0f) {
        const float num = s.vxm * r.ex + s.vym * r.ey + s.vzm * r.ez;
        const float den = r.ex * r.ex + r.ey * r.ey + r.ez * r.ez;
        s.mobil = num / den * units::kCm2PerM2;
    } else {
        s.mobil = 0.0f;
    }
    s.vxm = s.vxm * units::kCmPerM;
    s.vym = s.vym * units::kCmPerM;
    s.vzm = s.vzm * units::kCmPerM;
    printable_values();
    s.vxmion2m = s.vxmion2m * 0.01f;
    s.vxmion1m = s.vxmion1m * 100.0f;
    s.pnself = self_percent(NBINTER, flight.ninter);
    if (s.idteq == 1) report_section2_heading();
    if (r.npart > 1) report_section2_block();

    s.frlxmx += s.prlxmx;
    s.frlxmy += s.prlxmy;
    s.frlxmz += s.prlxmz;
    s.frlxen += s.prlxen;
    s.fenm += s.enm;
    s.fentm += s.entm;
    s.fvxm += s.vxm;
    s.fvym += s.vym;
    s.fvzm += s.vzm;
    s.fmobil += s.mobil;
    for (int iv = 1; iv <= nva(); ++iv) {
        s.fnppv[iv] += static_cast<float>(s.nppv[iv]);
        s.fenpv[iv] += s.enpv[iv];
        s.fnionv[iv] += static_cast<float>(flight.nionv[iv]);
    }
    s.sninter += flight.ninter;
    s.fnion += static_cast<float>(flight.nion);
    s.fcoeffionx1 += s.coeffionx1;
    s.fcoeffionx2 += s.coeffionx2;
    s.snlim += flight.nlim;
    s.snself += NBINTER;
    ++s.nmade;

    if (s.idteq >= r.ndteq) {
        s.run_lim += static_cast<int64_t>(flight.nlim);
        s.run_events += static_cast<int64_t>(flight.ninter);
        return true;
    }
    s.tcal = r.dteq;
    ++s.idteq;
    flight.nion = 0;
    clear_phase_counters();
    return false;
}

void dynamic_branch() {
    Steps& s = steps;
    const Run& r = run;
    Ensemble& e = ensemble;
    const auto& b = tables::bande;
    const int32_t dbg = klip::debug.level;
    const int lu = klip::comlu[1];
    if (r.ei == 0.0f) {
        s.tcal = r.dt * static_cast<float>(r.ndt);
        s.neq = 1;
        for (int32_t i = 1; i <= r.npart; ++i) {
            const int32_t iv = e.NV[i];
            if (r.dec != 0.0f) {
                e.EN[i] = r.dec + e.EN[i];
                const float k2 = b.MEFF[iv] * 2.0f / dtafix.XM0 * dtafix.QE * e.EN[i]
                                 * (b.ALP[iv] * e.EN[i] + 1.0f);
                e.WX[i] = sqrtf(k2 - e.WY[i] * e.WY[i] - e.WZ[i] * e.WZ[i]);
            }
            if (dbg == i + 100) {
                fio::List(lu) << " eni=" << e.EN[i] << "   wxi=" << e.WX[i];
                fio::List(lu) << " wyi=" << e.WY[i] << "   wzi=" << e.WZ[i];
                fio::List(lu) << " alp=" << b.ALP[iv] << "   meff=" << b.MEFF[iv];
            }
        }
    } else {
        s.tcal = s.tcalo;
        s.neq = 0;
    }
    write_dynamic_header();
}

// An equilibration step too short to add to the simulated time (below half a unit in the
// last place of its single-precision sum) would never reach the end of the equilibration.
[[noreturn]] [[gnu::cold]] void stalled_equilibration() {
    const int lu = klip::comlu[1];
    fio::List(lu) << "Erreur : le temps simule n'avance plus";
    fio::List(lu) << " TCALT =" << steps.tcalt;
    fio::List(lu) << " TCAL =" << steps.tcal;
    fio::terminate(2);
}

}  // namespace

void run_start() {
    Steps& s = steps;
    Flight& f = flight;
    s.tcal = run.tcali;
    s.tcalt = 0.0f;
    f.nlim = 0;
    f.ninter = 0;
    NBINTER = 0;
    f.nion = 0;
    s.frlxmx = s.frlxmy = s.frlxmz = s.frlxen = 0.0f;
    s.fenm = s.fentm = 0.0f;
    s.fvxm = s.fvym = s.fvzm = 0.0f;
    s.fmobil = 0.0f;
    s.fnppv.fill(0.0f);
    s.fenpv.fill(0.0f);
    s.fnionv.fill(0.0f);
    s.fninter = s.fnion = s.fnlim = s.fnself = 0.0f;
    s.sninter = s.snlim = s.snself = 0;
    s.fcoeffionx1 = s.fcoeffionx2 = 0.0f;
    f.nionv.fill(0);
    f.linter = 0;
    f.varx = 0.0f;
    s.lequi = 0;
    s.idteq = 0;
    s.nmade = 0;
    s.nppv.fill(0);
    s.enpv.fill(0.0f);
    s.tdyn = 0.0f;
    s.run_lim = s.run_events = s.run_particle_steps = 0;
    clear_spectra();
    if (run.STAT != 0) {
        s.neq = 0;
    } else {
        dynamic_branch();
    }
}

void accumulate_particle() {
    Steps& s = steps;
    Flight& f = flight;
    const Electr& e = electr;
    const auto& b = tables::bande;
    s.enm += e.ENI;
    s.entm += e.ENI + b.ENVAL[e.NVI] - b.ENEXTR;
    s.wxm += e.WXI;
    s.wym += e.WYI;
    s.wzm += e.WZI;
    s.vxm += f.vxi;
    s.vym += f.vyi;
    s.vzm += f.vzi;
    s.nppv[e.NVI] += 1;
    s.enpv[e.NVI] += e.ENI;
    s.vxmion2m += f.vxmion2 * units::kPositionUnit;
    s.vxmion1m += f.vxmion1 * units::kPositionUnit;
    f.vxmion2 = f.vxmion1 = 0.0f;
    f.vxxion1 = f.vxxion2 = 0.0f;
    if (run.STAT == 0 && s.neq == 1) {
        s.endyn += e.ENI;
        if (klip::debug.level >= 4) {
            const int lu = klip::comlu[1];
            fio::List(lu) << "  nouveau ENDYN:" << s.endyn;
            fio::List(lu) << "  nouveau XPDYN:" << s.xpdyn;
        }
    }
}

bool time_step() {
    Steps& s = steps;
    clear_step();
    for (int32_t ip = 1; ip <= run.npart; ++ip) {
        electr.IP = ip;
        move_particle();
    }
    const float before = s.tcalt, step = s.tcal;
    s.tcalt = s.tcalt + s.tcal;
    s.run_particle_steps += run.npart;
    step_averages();
    if (run.STAT == 0) write_dynamic_line();
    bool ended = false;
    if (s.lequi == 0) {
        equilibration_test();
        // A first dynamic step of zero length is meant; any other step must add to the time.
        if (s.lequi == 0 && step > 0.0f && s.tcalt == before) stalled_equilibration();
    } else {
        ended = stationary_step();
    }
    // A run piped to a file or to tee shows its progress step by step.
    fio::flush(fio::kStdout);
    return ended;
}

void final_averages() {
    Steps& s = steps;
    // The phase made at least one step even when none was planned.
    const float n = static_cast<float>(s.nmade > 0 ? s.nmade : 1);
    s.frlxmx /= n;
    s.frlxmy /= n;
    s.frlxmz /= n;
    s.frlxen /= n;
    s.fenm /= n;
    s.fentm /= n;
    s.fvxm /= n;
    s.fvym /= n;
    s.fvzm /= n;
    s.fmobil /= n;
    for (int iv = 1; iv <= nva(); ++iv) {
        s.fenpv[iv] /= n;
        s.fnppv[iv] = s.fnppv[iv] / n / static_cast<float>(run.npart) * 100.0f;
    }
    s.fcoeffionx1 /= n;
    s.fcoeffionx2 /= n;
    s.fninter = static_cast<float>(s.sninter);
    s.fnlim = static_cast<float>(s.snlim);
    s.fnself = self_percent(s.snself, s.sninter);
}

// On standard error: the share of flights cancelled at the top of the tables, when any.
void overflow_hint() {
    const Steps& s = steps;
    if (s.run_lim <= 0 || !fio::hints_enabled) return;
    const double flights = static_cast<double>(s.run_events + s.run_particle_steps);
    const double share = flights > 0.0 ? 100.0 * static_cast<double>(s.run_lim) / flights : 100.0;
    std::fprintf(stderr,
                 "zot: hint: %lld of %.0f free flights (%.3g %%) were cancelled because the energy "
                 "would reach the top of the tables (energy overflows).\n",
                 static_cast<long long>(s.run_lim), flights, share);
    // A few per million are harmless (docs/runs.md); more hold the hottest carriers back.
    if (share < 1e-4) {
        std::fprintf(stderr, "zot: hint: under one per million flights, the bias is negligible.\n");
    } else {
        std::fprintf(stderr,
                     "zot: hint: the hot carriers are cut off and the results are biased; make "
                     "the table again with a higher top (etop in the description for tabgen).\n");
    }
}

// On standard error: the figures that hold only for a field along one axis. The flight moves
// a particle along each axis by the energy gained over the force along that axis, which is
// the distance only when the field has that one component.
void direction_warnings() {
    const Run& r = run;
    if (!fio::hints_enabled) return;
    const bool ax = r.ex > kFieldThreshold;
    const int acting = int{ax} + int{r.ey > kFieldThreshold} + int{r.ez > kFieldThreshold};
    if (r.STAT == 0 && acting > 1) {
        std::fprintf(stderr,
                     "zot: warning: with a field along %d axes each axis counts the whole energy "
                     "gained: the positions of the dynamic-run file are %d times the distance "
                     "along the field.\n",
                     acting, acting);
    }
    if (steps.fnion > 0.0f && !(ax && acting == 1)) {
        std::fprintf(stderr,
                     "zot: warning: the ionisation coefficients count the distance along x as "
                     "for a field along x alone; with this field they are wrong: give the field "
                     "as EX.\n");
    }
}

void simulate() {
    build_ensemble();
    flight_setup();
    run_start();
    while (!time_step()) {
    }
    final_averages();
    report_section3();
    if (run.npart == 1) close_noise_file();
    close_dynamic_file();
    if (run.ispec == 1) write_spectra_file();
    const int lu = klip::comlu[1];
    for (int i = 0; i < 3; ++i) fio::write_line(lu, "");
    overflow_hint();
    direction_warnings();
}

}  // namespace driver
