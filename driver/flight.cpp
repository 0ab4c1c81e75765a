// Free flights of one particle through one time step, with the scattering events between
// them, the ionisation bookkeeping and the particle trace (debug = particle + 100).
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

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

// ---------------------------------------------------------------- traces (cold)

[[gnu::cold]] [[gnu::noinline]] void trace_line(const char* text) {
    fio::List(klip::comlu[1]) << text;
}

[[gnu::cold]] [[gnu::noinline]] void trace_empty_and(const char* text) {
    const int lu = klip::comlu[1];
    fio::write_line(lu, "");
    fio::List(lu) << text;
}

void trace_wvmx(float vx, float vy, float vz) {
    const int lu = klip::comlu[1];
    const Electr& e = electr;
    fio::List(lu) << " WXI=" << e.WXI << "   WYI=" << e.WYI << "   WZI=" << e.WZI;
    fio::List(lu) << " VXI=" << vx << "   VYI=" << vy << "   VZI=" << vz;
    fio::List(lu) << " MXI=" << e.MXI << "   MYI=" << e.MYI << "   MZI=" << e.MZI;
}

void trace_x_start() {
    const Flight& f = flight;
    fio::List(klip::comlu[1]) << " XXI=" << f.xxi << "   XYI=" << f.xyi << "   XZI=" << f.xzi;
}

// Trace stages 0, 3 and 4 (the number each trace block prints first): the start-of-flight state.
[[gnu::cold]] [[gnu::noinline]] void trace_start_state(const char* title) {
    const int lu = klip::comlu[1];
    const Electr& e = electr;
    const Flight& f = flight;
    fio::List(lu) << title;
    fio::List(lu) << " NVI=" << e.NVI << "   ENI=" << e.ENI;
    trace_wvmx(f.vxi, f.vyi, f.vzi);
    trace_x_start();
}

[[gnu::cold]] [[gnu::noinline]] void trace_stage1(float rlt) {
    const int lu = klip::comlu[1];
    const Electr& e = electr;
    const Flight& f = flight;
    fio::List(lu) << "1 - coordonnees avant vol libre:";
    fio::List(lu) << "  TR=" << e.TR;
    fio::List(lu) << " RLT3D=" << rlt;
    fio::List(lu) << " NVI=" << e.NVI << "   ENI=" << e.ENI << "    TR=" << e.TR;
    trace_wvmx(f.vxi, f.vyi, f.vzi);
    fio::List(lu) << " R04=" << f.r04 << "    TV= " << f.tv << "   TRV= " << e.TRV;
    trace_x_start();
}

[[gnu::cold]] [[gnu::noinline]] void trace_stage2(float alp) {
    const int lu = klip::comlu[1];
    const Electr& e = electr;
    const Flight& f = flight;
    const float vx = tables::band_velocity(e.WXF, e.MXF, alp, e.ENF);
    const float vy = tables::band_velocity(e.WYF, e.MYF, alp, e.ENF);
    const float vz = tables::band_velocity(e.WZF, e.MZF, alp, e.ENF);
    fio::List(lu) << "2 - coordonnees apres vol libre:";
    fio::List(lu) << " NVF=" << e.NVF << "   ENF=" << e.ENF;
    fio::List(lu) << " WXF=" << e.WXF << "   WYF=" << e.WYF << "   WZF=" << e.WZF;
    fio::List(lu) << " VXF=" << vx << "   VYF=" << vy << "   VZF=" << vz;
    fio::List(lu) << " MXF=" << e.MXF << "   MYF=" << e.MYF << "   MZF=" << e.MZF;
    fio::List(lu) << " XXF=" << f.xxf << "   XYF=" << f.xyf << "   XZF=" << f.xzf;
}

[[gnu::cold]] [[gnu::noinline]] void trace_particle_header() {
    const int lu = klip::comlu[1];
    fio::List(lu) << "--------------------------";
    fio::List(lu) << "  particule no " << electr.IP;
}

[[gnu::cold]] [[gnu::noinline]] void trace_tr() {
    fio::List(klip::comlu[1]) << "TR= " << electr.TR;
}

[[gnu::cold]] [[gnu::noinline]] void trace_ionisation() {
    fio::List(klip::comlu[1]) << " ZOT: ionisation detectee, NION = " << flight.nion;
}

[[gnu::cold]] [[gnu::noinline]] void trace_step_end() {
    const int lu = klip::comlu[1];
    fio::write_line(lu, "");
    fio::List(lu) << "  *** TR epuise";
    fio::write_line(lu, "");
}

// Trace stage 3: the start-of-flight velocities are refreshed from the post-event state here,
// and only here.
[[gnu::cold]] [[gnu::noinline]] void trace_after_event() {
    const Electr& e = electr;
    Flight& f = flight;
    const float alp = tables::bande.ALP[e.NVI];
    f.vxi = tables::band_velocity(e.WXI, e.MXI, alp, e.ENI);
    f.vyi = tables::band_velocity(e.WYI, e.MYI, alp, e.ENI);
    f.vzi = tables::band_velocity(e.WZI, e.MZI, alp, e.ENI);
    trace_start_state("3 - coordonnees apres interaction:");
    trace_empty_and("    Nouveau mouvement");
}

// ---------------------------------------------------------------- hot path

// Masses along the axes from the valley form code; other codes leave them as they are.
inline void set_start_masses(int iv) {
    tables::AxisMasses m;
    if (!tables::axis_masses(iv, m)) return;
    Electr& e = electr;
    e.MXI = m.x;
    e.MYI = m.y;
    e.MZI = m.z;
}

// The state as loaded from the ensemble, from which the start-of-step velocities are
// formed the first time they are needed.
struct LoadedState {
    float en, wx, wy, wz, mx, my, mz, alp;
    bool pending;
    void velocities() {
        Flight& f = flight;
        f.vxi = tables::band_velocity(wx, mx, alp, en);
        f.vyi = tables::band_velocity(wy, my, alp, en);
        f.vzi = tables::band_velocity(wz, mz, alp, en);
        pending = false;
    }
};

// Energy index of the flight-time lookup; an index outside the valley's table stops the
// program with its diagnostic.
inline int32_t energy_index(float en, int32_t iv) {
    const auto& t = tables::tablam;
    const float q = en / t.DELTAE + 1.0f;
    int32_t nen = t.NEN[iv];
    if (nen > tables::kEnergies) nen = tables::kEnergies;
    if (q >= 1.0f && q < static_cast<float>(nen) + 1.0f) return scatter::energy_index_of(en, q);
    int32_t shown = 0;
    if (q > -2.0e9f && q < 2.0e9f) shown = static_cast<int32_t>(q);
    else shown = q > 0.0f ? INT32_MAX : INT32_MIN;
    scatter::energy_index_fault(electr.IP, iv, en, shown, t.NEN[iv]);
}

// Field components at or below these act neither on the wave vector nor on the position.
constexpr float kFieldOnWaveVector = kFieldThreshold;  // V/m
constexpr float kFieldOnPosition = 1e-5f;              // V/m * 1e-7 (exn, eyn, ezn)
// The lowest energy a flight ends with (eV).
constexpr float kEnergyFloor = 1e-8f;

// Field components that act on the wave vector and on the position.
struct FieldFlags {
    bool fx, fy, fz, px, py, pz;
};

inline FieldFlags field_flags() {
    const Run& r = run;
    const float w = kFieldOnWaveVector, x = kFieldOnPosition;
    return {r.ex > w, r.ey > w, r.ez > w, r.exn > x, r.eyn > x, r.ezn > x};
}

// Constants of the particle's valley, refreshed when an event changes the valley.
struct ValleyConsts {
    int32_t nv = -1;
    float alp = 0.0f;
    float half_over_alp = 0.0f;  // 0.5 / alpha
    float overflow = 0.0f;       // ENMAX - DELTAE / 2
    int32_t iptot = 0;
};

inline ValleyConsts valley_consts(int32_t nv) {
    const auto& t = tables::tablam;
    ValleyConsts v;
    v.nv = nv;
    v.alp = tables::bande.ALP[nv];
    v.half_over_alp = v.alp == 0.0f ? 0.0f : 0.5f / v.alp;
    v.overflow = t.ENMAX[nv] - t.DELTAE / 2.0f;
    v.iptot = t.IPTOT[nv];
    return v;
}

// Load the particle from the ensemble and give it its time budget for the step.
inline LoadedState load_particle(int32_t ip, int32_t dbg, bool traced) {
    Electr& e = electr;
    Flight& f = flight;
    const Ensemble& ens = ensemble;
    f.vxxion1 = 0.0f;
    f.vxxion2 = 0.0f;
    if (dbg >= 3) trace_empty_and("*** boucle sur les particules");
    if (traced) trace_particle_header();
    e.NVI = ens.NV[ip];
    set_start_masses(e.NVI);
    e.ENI = ens.EN[ip];
    e.WXI = ens.WX[ip];
    e.WYI = ens.WY[ip];
    e.WZI = ens.WZ[ip];
    // The velocities of the loaded state only matter when a flight is cancelled (or in the
    // trace): they are formed from the loaded state when first needed.
    LoadedState loaded{e.ENI, e.WXI, e.WYI, e.WZI, e.MXI, e.MYI, e.MZI, tables::bande.ALP[e.NVI],
                       true};
    if (traced) loaded.velocities();
    f.xxi = ens.XX[ip];
    f.xyi = ens.XY[ip];
    f.xzi = ens.XZ[ip];
    if (traced) trace_start_state("0 - coordonnees initiales:");
    e.TR = steps.neq == 1 ? run.dt : steps.tcal;
    if (traced) trace_tr();
    return loaded;
}

// The total-rate value of each valley's last flight. The value rarely changes from one
// flight to the next (it is constant over an energy domain), so the flight time is formed
// from it while the energy index and the table entry are still being found; the entry is
// compared with it bit for bit afterwards and is used where they differ.
std::array<float, tables::kValleys + 1> last_rate{};

// Flight time from the total rate at the start energy: with self-scattering filling the total
// rate up to a constant Lambda over the energy domain, the time to the next event is
// exponential, t = -ln(r) / Lambda = ln(r) * RLTOT (Rees, J. Phys. Chem. Solids 30, 643,
// 1969; Jacoboni and Reggiani, Rev. Mod. Phys. 55, 645, 1983). A flight longer than the time
// left in the step is cut there and ends without an event.
inline void draw_flight_time(const ValleyConsts& v, bool traced) {
    Electr& e = electr;
    Flight& f = flight;
    f.ien = energy_index(e.ENI, v.nv);
    scatter::alea(etir.ISEED[core::kFlightStream], f.r04);
    const float entry = tables::tablam.RLTOT[v.iptot + f.ien];
    float rlt = last_rate[v.nv];
    if (std::bit_cast<uint32_t>(entry) != std::bit_cast<uint32_t>(rlt)) [[unlikely]] {
        rlt = scatter::taken_value(entry);
        last_rate[v.nv] = rlt;
    }
    f.tv = logf(f.r04) * rlt;
    if (f.tv > e.TR) {
        e.TRV = e.TR;
        f.linter = 0;
    } else {
        e.TRV = f.tv;
        f.linter = 1;
    }
    if (traced) trace_stage1(rlt);
}

// Wave vector, energy and position at the end of the flight. The field accelerates the wave
// vector uniformly, W(t) = W + (qE/m0) t; the energy follows from the non-parabolic band
// E(1 + alpha E) = sum W^2/m / (2q/m0) (Kane), solved as E = (sqrt(1 + 4 alpha g) - 1) / (2 alpha)
// with g = wsrm2 / DQSM; the field does the work, so the position moves by the energy gained
// over the force, dx = dE / (qE) (in 1e-7 m with exn = E * 1e-7).
inline void free_flight(const FieldFlags& fl, const ValleyConsts& v, bool last, bool traced) {
    Electr& e = electr;
    Flight& f = flight;
    const Run& r = run;
    e.WXF = fl.fx ? e.WXI + f.qexsm * e.TRV : e.WXI;
    e.WYF = fl.fy ? e.WYI + f.qeysm * e.TRV : e.WYI;
    e.WZF = fl.fz ? e.WZI + f.qezsm * e.TRV : e.WZI;
    e.NVF = v.nv;
    e.MXF = e.MXI;
    e.MYF = e.MYI;
    e.MZF = e.MZI;
    f.wsrm2 = e.WXF * e.WXF / e.MXF + e.WYF * e.WYF / e.MYF + e.WZF * e.WZF / e.MZF;
    const float dqsm = dtafix.DQSM;
    if (v.alp == 0.0f) {
        e.ENF = f.wsrm2 / dqsm;
    } else {
        e.ENF = v.half_over_alp * (sqrtf(v.alp * 4.0f * f.wsrm2 / dqsm + 1.0f) - 1.0f);
    }
    if (fl.px) {
        f.xxf = f.xxi + (e.ENF - e.ENI) / r.exn;
        f.varx = f.xxf - f.xxi;
    } else {
        f.xxf = f.xxi;
    }
    if (last) {  // the y and z positions are only read at the end of the step
        f.xyf = fl.py ? f.xyi + (e.ENF - e.ENI) / r.eyn : f.xyi;
        f.xzf = fl.pz ? f.xzi + (e.ENF - e.ENI) / r.ezn : f.xzi;
    }
    if (traced) trace_stage2(v.alp);
}

// End of the flight: energy floor (1e-8 eV), cancellation of a flight that leaves the tables
// (the old state is kept), velocity v = (W / m) / (1 + 2 alpha E), and the ionisation sums
// of the displacements. True when the flight was cancelled.
inline bool end_flight(const ValleyConsts& v, LoadedState& loaded, bool last, bool traced) {
    Electr& e = electr;
    Flight& f = flight;
    if (e.ENF < kEnergyFloor) e.ENF = kEnergyFloor;
    const bool cancelled = e.ENF >= v.overflow;
    if (cancelled) {
        // The flight is cancelled; it still ends in the event drawn, from the old state.
        ++f.nlim;
        if (loaded.pending) loaded.velocities();
        e.WXF = e.WXI;
        e.WYF = e.WYI;
        e.WZF = e.WZI;
        e.ENF = e.ENI;
        f.vxf = f.vxi;
        f.vyf = f.vyi;
        f.vzf = f.vzi;
        f.xxf = f.xxi;
        f.xyf = f.xyi;
        f.xzf = f.xzi;
        if (traced) trace_line("  !!! Mouvement annule, interaction");
    } else {
        if (last) {  // only the last flight's velocities become the particle's
            const float en = e.ENF;
            f.vxf = tables::band_velocity(e.WXF, e.MXF, v.alp, en);
            f.vyf = tables::band_velocity(e.WYF, e.MYF, v.alp, en);
            f.vzf = tables::band_velocity(e.WZF, e.MZF, v.alp, en);
        }
        f.vxxion1 = f.varx;
        f.vxxion2 = f.varx;
        e.TR = e.TR - e.TRV;
    }
    // A zero displacement adds nothing to the reciprocal sum.
    if (f.vxxion2 != 0.0f) f.vxmion2 = f.vxmion2 + 1.0f / f.vxxion2;
    f.vxmion1 = f.vxmion1 + f.vxxion1;
    return cancelled;
}

// The scattering event and, for an impact ionisation, its count.
inline void scattering_event(bool traced) {
    Flight& f = flight;
    inter_routine();
    ++f.ninter;
    if (INTERION == core::ION) {
        ++f.nion;
        ++f.nionv[electr.NVI];
        if (traced) trace_ionisation();
        f.varx = 0.0f;
        f.vxxion1 = 0.0f;
        f.vxxion2 = 0.0f;
    }
    f.linter = 0;
    if (traced) trace_after_event();
}

// The end of the last flight becomes the particle's state; noise record,
// sums, spectra, store back.
inline void finish_step(int32_t ip, bool traced) {
    Electr& e = electr;
    Flight& f = flight;
    Ensemble& ens = ensemble;
    const Run& r = run;
    e.end_becomes_start();  // NVF is NVI: a flight keeps its valley
    f.vxi = f.vxf;
    f.vyi = f.vyf;
    f.vzi = f.vzf;
    f.xxi = f.xxf;
    f.xyi = f.xyf;
    f.xzi = f.xzf;
    if (r.npart == 1) write_noise_record();
    if (traced) trace_step_end();
    accumulate_particle();
    if (r.STAT != 0 && steps.lequi == 1 && r.ispec == 1) count_spectra();
    ens.EN[ip] = e.ENI;
    ens.WX[ip] = e.WXI;
    ens.WY[ip] = e.WYI;
    ens.WZ[ip] = e.WZI;
    ens.NV[ip] = e.NVI;
    ens.XX[ip] = f.xxi;
    ens.XY[ip] = f.xyi;
    ens.XZ[ip] = f.xzi;
    if (traced) trace_start_state("4 - coordonnees finales:");
}

}  // namespace

void flight_setup() {
    const Run& r = run;
    Flight& f = flight;
    if (r.npart == 1) open_noise_file();
    scatter::prepare_selection();
    const float q3 = dtafix.QS6M * 3.0f;
    f.qexs2m = q3 * r.ex;
    f.qeys2m = q3 * r.ey;
    f.qezs2m = q3 * r.ez;
    f.qexsm = f.qexs2m * 2.0f;
    f.qeysm = f.qeys2m * 2.0f;
    f.qezsm = f.qezs2m * 2.0f;
    if (klip::debug.level >= 2) {
        fio::List(klip::comlu[1]) << "QEXSM,QEYSM,QEZSM = " << f.qexsm << f.qeysm << f.qezsm;
    }
}

void forget_last_rates() { last_rate.fill(0.0f); }

void move_particle() {
    const int32_t ip = electr.IP;
    const int32_t dbg = klip::debug.level;
    const bool traced = dbg == ip + 100;
    const FieldFlags fields = field_flags();
    LoadedState loaded = load_particle(ip, dbg, traced);
    ValleyConsts valley{};
    int32_t cancelled = 0;  // consecutive cancelled flights
    for (;;) {
        if (electr.NVI != valley.nv) valley = valley_consts(electr.NVI);
        draw_flight_time(valley, traced);
        // Values of a flight that ends in an event that nothing reads are not formed.
        const bool last = flight.linter == 0 || traced;
        free_flight(fields, valley, last, traced);
        if (end_flight(valley, loaded, last, traced)) {
            // A particle whose every flight from the top of its valley is cancelled, with
            // time left that no drawn flight outlasts, would never end its step.
            if (++cancelled >= scatter::kEndlessLimit) [[unlikely]]
                scatter::endless_cancel_fault(ip, valley.nv, electr.ENI, cancelled);
        } else {
            cancelled = 0;
        }
        if (flight.linter == 0) break;
        scattering_event(traced);
    }
    finish_step(ip, traced);
}

}  // namespace driver
