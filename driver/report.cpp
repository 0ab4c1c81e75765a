// The results report: the equilibration trace, section 1 (equilibrium reached), the
// section-2 heading and blocks (stationary steps) and section 3 (final averages).
#include <string_view>

#include "driver/records.hpp"
#include "driver/run.hpp"
#include "driver/sim.hpp"
#include "klip/fio.hpp"
#include "klip/records.hpp"
#include "scatter/scatter.hpp"
#include "tables/model.hpp"

namespace driver {
namespace {

int out() { return klip::comlu[1]; }

void empty_line() { fio::write_line(out(), ""); }

// A line of per-valley values (NVA of them, 1..4) in `layout`.
template <typename T> void write_valleys(std::string_view layout, const std::array<T, 5>& v) {
    const int lu = out();
    switch (tables::tablam.NVA) {
        case 1: fio::write_fmt(lu, layout, {v[1]}); break;
        case 2: fio::write_fmt(lu, layout, {v[1], v[2]}); break;
        case 3: fio::write_fmt(lu, layout, {v[1], v[2], v[3]}); break;
        default: fio::write_fmt(lu, layout, {v[1], v[2], v[3], v[4]}); break;
    }
}

void write_energies(float enm, float entm) {
    const int lu = out();
    fio::write_fmt(lu, "('      Energie cinetique moyenne = ',F6.4,' eV')", {enm});
    fio::write_fmt(lu, "('      Energie totale moyenne = ',F6.4,' eV')", {entm});
}

void write_relaxation(float mx, float my, float mz, float en) {
    const int lu = out();
    fio::write_fmt(lu, "('      Temps de relaxation des moments [ps] = ',3(F6.3,1X))",
                   {mx, my, mz});
    fio::write_fmt(lu, "('      Temps de relaxation de l''energie [ps] = ',F9.3)", {en});
}

void write_self_and_overflow(int64_t nself, float percent, int64_t nlim) {
    const int lu = out();
    fio::write_fmt(lu, "('      Nombre de self-scattering = ',I9,' (',F6.2,' 0/0)')",
                   {nself, percent});
    fio::write_fmt(lu, "('      Nombre de depassement d''energie = ',I7)", {nlim});
}

}  // namespace

void report_equilibration_trace() {
    const int lu = out();
    const Steps& s = steps;
    empty_line();
    fio::List(lu) << " *** Phase de mise a l'equilibre ***";
    empty_line();
    fio::List(lu) << "  temps total simule (en s) : " << s.tcalt;
    fio::List(lu) << "  ENM=" << s.enm << "  WXM=" << s.wxm << "  WYM=" << s.wym
                  << "  WZM=" << s.wzm;
    fio::List(lu) << "  EVM=" << s.evm << "  VXM=" << s.vxm << "  VYM=" << s.vym
                  << "  VZM=" << s.vzm;
    fio::List(lu) << "  RLXMX =" << s.rlxmx << " s"
                  << "   RLXMY =" << s.rlxmy << " s"
                  << "   RLXMZ =" << s.rlxmz << " s";
    fio::List(lu) << "  RLXM =" << s.rlxm << " s"
                  << "   RLXEN =" << s.rlxen << " s";
    fio::List(lu) << "  TRLX =" << s.trlx << " s";
}

void report_section1() {
    const int lu = out();
    const Steps& s = steps;
    empty_line();
    fio::write_fmt(lu,
                   "(5X,'*****',' Ex =',F8.3,' kV/cm   Ey =',F8.3,' kV/cm   Ez =',F8.3,' kV/cm ',"
                   "'*****')",
                   {s.pex, s.pey, s.pez});
    empty_line();
    empty_line();
    fio::write_fmt(lu, "(' 1) Mise a l''equilibre')", {});
    fio::write_fmt(lu, "('    ===================')", {});
    empty_line();
    fio::write_fmt(lu, "('      Duree de la mise a l''equilibre =',F6.3,' ps')", {s.ptcalt});
    fio::write_fmt(lu, "('      Temps de relaxation des moments (ps) = ',3(F6.3,1X))",
                   {s.prlxmx, s.prlxmy, s.prlxmz});
    fio::write_fmt(lu, "('      Temps de relaxation de l''energie (ps) = ',F8.3)", {s.prlxen});
    fio::write_fmt(lu, "('       --> les moyennes seront calculees sur ',F7.3,' ps')", {s.ptcal});
    // Three values a line; a fourth valley repeats the text on a new line.
    write_valleys("('      Repartition par vallees : ',3I6)", s.nppv);
    write_self_and_overflow(NBINTER, s.pnself, flight.nlim);
    empty_line();
    fio::List(lu) << "     Nombre ionisations = " << flight.nion;
    fio::List(lu) << "     VXMION1M = " << s.vxmion1m;
    fio::List(lu) << "     VXMION2M = " << s.vxmion2m;
    fio::List(lu) << "     COEFFIONX1 = " << s.coeffionx1;
    fio::List(lu) << "     COEFFIONX2 = " << s.coeffionx2;
}

void report_stationary_length() {
    fio::write_fmt(out(), "('      Nombre de DTEQ a effectuer = ',I3)", {run.ndteq});
    empty_line();
}

void report_section2_heading() {
    empty_line();
    fio::write_fmt(out(), "(' 2) Regime stationnaire')", {});
    fio::write_fmt(out(), "('    ===================')", {});
    empty_line();
}

void report_section2_block() {
    const int lu = out();
    const Steps& s = steps;
    const Flight& f = flight;
    empty_line();
    fio::write_fmt(lu, "('      Pas de temps DTEQ no ',I3)", {s.idteq});
    fio::write_fmt(lu, "('      Moyennes calculees durant ',F6.3,' ps')", {s.ptcal});
    write_relaxation(s.prlxmx, s.prlxmy, s.prlxmz, s.prlxen);
    write_energies(s.enm, s.entm);
    empty_line();
    empty_line();
    fio::write_fmt(lu, "('      Coeff d''ionisat par impact2 [1/cm] = ',1PE12.5)", {s.coeffionx2});
    fio::write_fmt(lu, "('      Coeff d''ionisat par impact1 [1/cm] = ',1PE12.5)", {s.coeffionx1});
    empty_line();
    write_valleys("('      Energie cinetique par vallee [eV] = ',4(F6.4,2X))", s.enpv);
    fio::write_fmt(lu, "('      Vitesses moyennes [cm/s] = ',3(1PE11.3,2X))",
                   {s.vxm, s.vym, s.vzm});
    fio::write_fmt(lu, "('      Mobilite [cm2/Vs] = ',F9.2)", {s.mobil});
    write_valleys("('      Repartition par vallees : ',4(I6,1X))", s.nppv);
    write_self_and_overflow(NBINTER, s.pnself, f.nlim);
    empty_line();
    fio::List(lu) << "                 Nombre ionisations = " << f.nion;
    fio::List(lu) << "                 Nombre ionisations par vallees =" << f.nionv[1] << f.nionv[2]
                  << f.nionv[3] << f.nionv[4];
    fio::List(lu) << "                 Valeur de VXMION2M  = " << s.vxmion2m;
    fio::List(lu) << "                 Valeur de VXMION1M  = " << s.vxmion1m;
}

void report_section3() {
    const int lu = out();
    const Steps& s = steps;
    empty_line();
    fio::write_fmt(lu, "(' 3) Moyennes finales')", {});
    fio::write_fmt(lu, "('    ================')", {});
    write_relaxation(s.frlxmx, s.frlxmy, s.frlxmz, s.frlxen);
    write_energies(s.fenm, s.fentm);
    empty_line();
    write_valleys("('      Energie cinetique par vallee [eV] = ',4(F6.4,2X))", s.fenpv);
    fio::write_fmt(lu, "('      Vitesses moyennes [cm/s] = ',3(1PE11.3,2X))",
                   {s.fvxm, s.fvym, s.fvzm});
    fio::write_fmt(lu, "('      Mobilite [cm2/Vs] = ',F9.2)", {s.fmobil});
    write_valleys("('      Repartition par vallees [o/o] : ',4(F6.2,2X))", s.fnppv);
    fio::write_fmt(lu, "('      Nombre total d''interactions = ',1PE12.5)", {s.fninter});
    fio::write_fmt(lu, "('      Nombre de self-scattering = ',F6.2)", {s.fnself});
    fio::write_fmt(lu, "('      Nombre de depassement d''energie = ',F7.0)", {s.fnlim});
    fio::write_fmt(lu, "('      Nombre total d''ionisation par impact = ',1PE12.5)", {s.fnion});
    empty_line();
    write_valleys("('      Nombre d''ionisation par vallee = ',4(1PE12.5,2X))", s.fnionv);
    empty_line();
    fio::write_fmt(lu, "('Coeff d''ionisation par impact2 moyen [1/cm] = ',1PE12.5)",
                   {s.fcoeffionx2});
    fio::write_fmt(lu, "('Coeff d''ionisation par impact1 moyen [1/cm] = ',1PE12.5)",
                   {s.fcoeffionx1});
    empty_line();
}

}  // namespace driver
