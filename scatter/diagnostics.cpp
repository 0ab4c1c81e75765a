// Cold paths of the scattering routine: the traces and the fatal diagnostics. Every line is
// a free-format line on the output unit.
#include <array>
#include <cstdint>
#include <string_view>

#include "core/vocabulary.hpp"
#include "particle/records.hpp"
#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"
#include "scatter/scatter.hpp"
#include "scatter/work.hpp"
#include "tables/model.hpp"

namespace scatter {
namespace detail {

namespace {

constexpr std::array<std::string_view, 17> kHeaders{
    "",
    "********** INTER : Impuretes",
    "********** INTER : Acoustiques",
    "********** INTER : Piezoelectriques",
    "********** INTER : OPL emission",
    "********** INTER : OPL absorption",
    "********** INTER : ONP emission",
    "********** INTER: ONP absorption",
    "********** INTER : Intervallee ordre 0 emission",
    "********** INTER : Intervallee ordre 0 absorption",
    "********** INTER : Intervallee ordre 1 emission",
    "********** INTER : Intervallee ordre 1 absorption",
    "********** INTER : Alliage",
    "********** INTER : Surface",
    "********** INTER : Recombinaison",
    "********** INTER : Ionisation",
    "********** INTER : Self-scattering",
};

int unit() { return klip::comlu[1]; }

// The chosen lambda of valley NVF: its unpacked name and its kind code.
klip::Text<6> lambda_name() {
    return klip::dgsr40(tables::tablam.NOMLAM[particle::electr.NVF][work.ilamb]);
}
int32_t lambda_kind() { return tables::tablam.ITYPL[particle::electr.NVF][work.ilamb]; }

// Lambda number at position k of the current domain's list, 0 when the position holds
// no valid lambda number.
int32_t listed(int32_t k) {
    const int32_t lam = tables::tablam.IORDL[particle::electr.NVF][work.nd01][k];
    return (lam >= 1 && lam <= tables::kLambdas) ? lam : 0;
}

bool domain_valid() { return work.nd01 >= 0 && work.nd01 <= tables::kDomains; }

void line(std::string_view text) { fio::List(unit()) << text; }

[[noreturn]] void stop() { fio::terminate(2); }

}  // namespace

int32_t trunc_index(float q) {
    if (q != q) return 0;
    if (q >= 2147483648.0f) return INT32_MAX;
    if (q <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(q);
}

void trace_selection() {
    line("****** Interaction :");
    fio::List(unit()) << "Nom en clair de ce lambda: " << lambda_name().view();
}

void trace_mechanism(int32_t kind) {
    const auto& e = particle::electr;
    const int u = unit();
    line(kHeaders[static_cast<size_t>(kind)]);
    fio::List(u) << "cellule no " << e.ICEL << " materiau no " << work.ir;
    fio::List(u) << "ENF,DEN =" << e.ENF << tables::tablam.DELTAE;
    // Impurity and phonon kinds name both valleys; intervalley kinds their phonon too.
    if (kind <= core::IV1A) fio::List(u) << "NVF,NVI=" << e.NVF << e.NVI;
    if (core::is_intervalley(kind)) fio::List(u) << "phonon no" << work.ipho;
    fio::List(u) << "Index energie = " << work.ie01;
    fio::List(u) << "Domaine no = " << work.nd01;
    fio::List(u) << "Tirage au sort : " << work.r09;
    fio::List(u) << "No d'ordre du lambda =" << work.nk01;
    fio::List(u) << "No du lambda = " << work.ilamb;
    fio::List(u) << "Nom en clair de ce lambda: " << lambda_name().view();
    fio::List(u) << "No du type d'interaction correspondant: " << lambda_kind();
}

void trace_rejection(int32_t kind) {
    const int u = unit();
    const int32_t ix = 0, iy = 0, iz = 0;  // no position in a bulk simulation
    fio::List(u) << "POPSI,ITPORT,IX,IY,IZ,ENI " << inter_state.popsi << particle::electr.ITPORT
                 << ix << iy << iz << inter_state.enii;
    if (kind == core::OPLA) {
        fio::List(u) << "OPLA, VALLEE " << particle::electr.NVF << " MATERIAU " << work.ir;
    }
}

void write_trilamb() {
    const auto& e = particle::electr;
    const auto& t = tables::tablam;
    const int u = unit();
    const int32_t nvf = e.NVF;
    line("Erreur trilamb : ");
    fio::List(u) << "cellule no " << e.ICEL << " materiau no " << work.ir;
    fio::List(u) << "particule no " << e.IP;
    fio::List(u) << "ENF,DEN =" << e.ENF << t.DELTAE;
    fio::List(u) << "Index energie = " << work.ie01;
    fio::List(u) << "Tirage au sort : " << work.r09;
    fio::List(u) << "Domaine no = " << work.nd01;
    const bool ok = domain_valid();
    line("Ordre des lambdas dans le domaine : ");
    {
        fio::List l(u);
        for (int32_t k = 1; k <= tables::kLambdas; ++k)
            l << (ok ? t.IORDL[nvf][work.nd01][k] : int32_t{0});
    }
    line("Index des lambdas pour ce domaine :");
    {
        fio::List l(u);
        for (int32_t k = 1; k <= tables::kLambdas; ++k) {
            const int32_t lam = ok ? listed(k) : 0;
            l << (lam ? t.IPLAM[nvf][lam] : int32_t{0});
        }
    }
    line("RL possibles/ cette energie =");
    {
        fio::List l(u);
        for (int32_t k = 1; k <= tables::kLambdas; ++k) {
            const int32_t lam = ok ? listed(k) : 0;
            l << (lam ? t.RLAM[t.IPLAM[nvf][lam] + work.ie01] : 0.0f);
        }
    }
    fio::List(u) << "RLTOT a cette energie = " << t.RLTOT[t.IPTOT[nvf] + work.ie01];
}

void write_unknown_lambda() {
    const auto& e = particle::electr;
    const int u = unit();
    line("Lambda inconnu");
    fio::List(u) << "maillle no " << e.ICEL << " materiau no " << work.ir;
    fio::List(u) << "ENF,DEN =" << e.ENF << tables::tablam.DELTAE;
    fio::List(u) << "Index energie = " << work.ie01;
    fio::List(u) << "Domaine no = " << work.nd01;
    fio::List(u) << "Tirage au sort : " << work.r09;
    fio::List(u) << "No d'ordre du lambda =" << work.nk01;
    fio::List(u) << "No du lambda = " << work.ilamb;
}

void write_anisotropy() {
    const auto& e = particle::electr;
    const int u = unit();
    line("INTER: interaction anisotrope dans vallee non spherique");
    fio::List(u) << "cellule no " << e.ICEL << " materiau no " << work.ir;
    fio::List(u) << "ENF,DEN =" << e.ENF << tables::tablam.DELTAE;
    fio::List(u) << "vallee arrivee" << e.NVI << " de forme " << tables::bande.IFORV[e.NVI];
    fio::List(u) << "Index energie = " << work.ie01;
    fio::List(u) << "Domaine no = " << work.nd01;
    fio::List(u) << "Tirage au sort : " << work.r09;
    fio::List(u) << "No d'ordre du lambda =" << work.nk01;
    fio::List(u) << "No du lambda = " << work.ilamb;
    fio::List(u) << "Nom en clair de ce lambda" << lambda_name().view();
    fio::List(u) << "No du type d'interaction correspondant" << lambda_kind();
}

void write_energy_index_fault(int32_t ip, int32_t iv, float energy, int32_t index, int32_t nen) {
    const int u = unit();
    line("Erreur : index d'energie hors table");
    fio::List(u) << " particule no" << ip;
    fio::List(u) << " vallee no" << iv;
    fio::List(u) << " energie =" << energy;
    fio::List(u) << " index =" << index;
    fio::List(u) << " NEN =" << nen;
}

void fatal_trilamb() {
    write_trilamb();
    stop();
}

void fatal_unknown_lambda() {
    write_unknown_lambda();
    stop();
}

void fatal_anisotropy() {
    write_anisotropy();
    stop();
}

}  // namespace detail

void energy_index_fault(int32_t ip, int32_t iv, float energy, int32_t index, int32_t nen) {
    detail::write_energy_index_fault(ip, iv, energy, index, nen);
    detail::stop();
}

namespace {
void write_endless(const char* title, int32_t ip, int32_t iv, float energy, const char* what,
                   int32_t count) {
    const int u = detail::unit();
    fio::List(u) << title;
    fio::List(u) << " particule no" << ip;
    fio::List(u) << " vallee no" << iv;
    fio::List(u) << " energie =" << energy;
    fio::List(u) << what << count;
}
}  // namespace

void endless_redraw_fault(int32_t ip, int32_t iv, float energy, int32_t count) {
    write_endless("Erreur : absorption refusee a chaque tirage", ip, iv, energy,
                  " tirages =", count);
    detail::stop();
}

void endless_cancel_fault(int32_t ip, int32_t iv, float energy, int32_t count) {
    write_endless("Erreur : vol annule a chaque essai", ip, iv, energy, " vols annules =", count);
    detail::stop();
}

}  // namespace scatter
