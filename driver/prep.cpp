// Preparation of the scattering tables around the table load: the reset of the material
// model at the start of a run, the working copy of the rates, the interaction kind codes
// and the spectra grids.
#include <algorithm>
#include <cmath>
#include <string_view>

#include "core/vocabulary.hpp"
#include "driver/input.hpp"
#include "driver/records.hpp"
#include "driver/run.hpp"
#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"
#include "scatter/scatter.hpp"
#include "tables/model.hpp"

namespace driver {

namespace {

using namespace tables;

void reset_valley(int iv) {
    auto& t = tablam;
    auto& b = bande;
    t.NLAM[iv] = 0;
    t.NDOM[iv] = 0;
    t.NEN[iv] = 0;
    t.IPTOT[iv] = 0;
    t.ENMAX[iv] = 0.0f;
    b.ENVAL[iv] = 0.0f;
    b.ALP[iv] = 0.0f;
    b.ML[iv] = 0.0f;
    b.MT[iv] = 0.0f;
    b.MEFF[iv] = 0.0f;
    b.IBVAL[iv] = 0;
    b.IFORV[iv] = 0;
    charac.first[iv] = '.';
    for (int j = 1; j <= kDomains; ++j) {
        t.NLDOM[iv][j] = 0;
        for (int k = 1; k <= kLambdas; ++k) t.IORDL[iv][j][k] = 0;
    }
    for (int k = 1; k <= kLambdas; ++k) {
        t.IPLAM[iv][k] = 0;
        t.NOMLAM[iv][k] = 0;
        t.RLPAR[iv][k] = 0.0f;
        t.IPHOL[iv][k] = 0;
        t.NVFL[iv][k] = 0;
        t.NBLAM[iv][k] = 0;
    }
    for (int ie = 1; ie <= kEnergies; ++ie) t.IDOM[iv][ie] = 0;
    auto& p = parlam;
    for (int jv = 1; jv <= kValleys; ++jv) {
        p.NZIV0[iv][jv] = 0;
        p.NZIV1[iv][jv] = 0;
        for (int ph = 1; ph <= kPhonons; ++ph) {
            p.HWIV0[ph][iv][jv] = 0.0f;
            p.HWIV1[ph][iv][jv] = 0.0f;
        }
    }
}

}  // namespace

void reset_model() {
    scatter::forget_selection();
    tablam.NVA = 0;
    tablam.DELTAE = 0.0f;
    bande.ENEXTR = 0.0f;
    bande.ENGAP = 0.0f;
    parlam.EPBF = 0.0f;
    parlam.HWOPL = 0.0f;
    parlam.HWONP = 0.0f;
    parlam.RPMAT = 0.0f;
    for (int iv = 1; iv <= kValleys; ++iv) reset_valley(iv);
    std::fill(tablam.RLAM.begin() + 1, tablam.RLAM.end(), 0.0f);
    std::fill(tablam.RLTOT.begin() + 1, tablam.RLTOT.end(), 0.0f);
}

void copy_rates() {
    scatter::forget_selection();
    const int32_t ncomp = std::clamp(compac.NCOMP, 0, kRates);
    const int32_t ntot = std::clamp(compac.IDRLT1, 0, kTotals);
    for (int32_t n = 1; n <= ncomp; ++n) tablam.RLAM[n] = compac.RLCOMP[n];
    for (int32_t n = 1; n <= ntot; ++n) tablam.RLTOT[n] = compac.RLTCOMP[n];
}

void kind_codes() {
    const int32_t nva = std::clamp(tablam.NVA, 0, kValleys);
    for (int iv = 1; iv <= nva; ++iv) {
        const int32_t nlam = std::clamp(tablam.NLAM[iv], 0, kLambdas);
        for (int k = 1; k <= nlam; ++k) {
            const klip::Text<6> name = klip::dgsr40(tablam.NOMLAM[iv][k]);
            const int32_t code = core::kind_of_name(name.view());
            if (code != 0) tablam.ITYPL[iv][k] = code;
        }
    }
}

void spectra_grids() {
    if (run.ispec != 1) return;
    auto& s = spectra;
    s.delten = 0.0f;
    s.deltv = 0.0f;
    for (int32_t iv = 1; iv <= kValleys; ++iv) {
        const float enmax = tablam.ENMAX[iv];
        if (enmax == 0.0f) continue;
        const float delteniv = enmax / kSpectrumBinsF;
        const float deltviv =
            2.0f * sqrtf(2.0f * dtafix.QE / bande.MEFF[iv] / dtafix.XM0 * enmax) / kSpectrumBinsF;
        fio::List(fio::kStdout) << "IV=" << iv << "  DELTEN,DELTV=" << delteniv << deltviv;
        if (delteniv > s.delten) s.delten = delteniv;
        if (deltviv > s.deltv) s.deltv = deltviv;
    }
    for (int i = 0; i < kSpectrumBins; ++i) {
        const float fi = static_cast<float>(i);
        s.es[i] = fi * s.delten + s.delten / 2.0f;
        const float vs = fi * s.deltv - kSpectrumBinsF * s.deltv / 2.0f + s.deltv / 2.0f;
        s.vs[i] = vs * core::units::kCmPerM;
    }
    if (klip::debug.level >= 2) {
        const int out = klip::comlu[1];
        fio::write_line(out, "");
        fio::List(out) << " DELTEN =" << s.delten;
        fio::List(out) << " DELTV =" << s.deltv;
    }
}

}  // namespace driver
