// The CA command up to the simulation: the dialogue for the two data files, their records,
// the parameter echo, the repository search and table load, the run limits, the table
// summary, the derived quantities and the run banner.
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/vocabulary.hpp"
#include "driver/input.hpp"
#include "driver/records.hpp"
#include "driver/run.hpp"
#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"
#include "tables/model.hpp"
#include "tables/tables.hpp"

namespace driver {

namespace units = core::units;

namespace {

int out_unit() { return klip::comlu[1]; }

// Toolkit code of a line longer than the text layer accepts.
constexpr int32_t kLineTooLong = -17;

// One data file read record by record. Every read names its record number, so that a
// missing or unreadable record can be reported with it.
class DataFile {
public:
    DataFile(int unit, const klip::Text<12>& name) : unit_(unit), name_(name), reader_(unit) {}

    // Free-format records of one or two values.
    bool get(int32_t& v) { return begin() && value(reader_.next_int(v)) && finish(); }
    bool get(float& v) { return begin() && value(reader_.next_real(v)) && finish(); }
    bool get(float& a, float& b) {
        return begin() && value(reader_.next_real(a)) && value(reader_.next_real(b)) && finish();
    }
    bool get(float& a, int32_t& b) {
        return begin() && value(reader_.next_real(a)) && value(reader_.next_int(b)) && finish();
    }
    // Text record: the first 12 characters of the line.
    bool get(klip::Text<12>& text) {
        std::string s;
        if (!begin() || !value(fio::read_text(unit_, 12, s))) return false;
        text.set(s);
        return true;
    }
    // A record passed over whatever it holds.
    bool skip() { return begin() && value(fio::skip_line(unit_)); }

    // The record could not be read: say which, report it, close the file.
    int fail() {
        fio::List(out_unit()) << " Fichier " << name_.view() << " : enregistrement no" << record_;
        klip::error(3);
        fio::close(unit_);
        return 1;
    }
    void close() { fio::close(unit_); }

private:
    bool begin() {
        ++record_;
        return true;
    }
    static bool value(fio::ReadStatus s) { return s == fio::ReadStatus::Ok; }
    bool finish() {
        reader_.end();
        return true;
    }

    int unit_;
    const klip::Text<12>& name_;
    fio::ListReader reader_;
    int32_t record_ = 0;
};

// Open a data file; 1 (reported) when it cannot be opened.
int open_data(int unit, const klip::Text<12>& name) {
    if (klip::opnold(unit, name.view()) == 0) return 0;
    klip::error(2);
    return 1;
}

// A prompt on the output unit and its answer, one line from the terminal. 1 when the
// terminal input has ended, or (reported) when the answer is longer than a line can be.
int ask(std::string_view prompt, klip::Text<12>& answer) {
    klip::dial(out_unit(), prompt);
    std::string s;
    const fio::ReadStatus st = fio::read_text(klip::comlu[3], 12, s);
    if (st == fio::ReadStatus::Bad) klip::error(kLineTooLong);
    if (st != fio::ReadStatus::Ok) return 1;
    answer.set(s);
    return 0;
}

// Dynamic-mode records 14 to 17.
bool read_dynamic(DataFile& f) {
    auto& r = run;
    if (!f.get(r.ei, r.ef)) return false;
    r.ei = r.ei * units::kVPerMPerKVPerCm;
    r.ef = r.ef * units::kVPerMPerKVPerCm;
    if (!f.get(r.dec)) return false;
    if (!f.get(r.dtp, r.ndt)) return false;
    r.dt = r.dtp * units::kSecondsPerPs;
    return f.get(r.trajet);
}

// Records 1 to 12 of the run data file.
bool read_run_head(DataFile& f) {
    auto& r = run;
    if (!f.get(r.npart) || !f.get(r.nvinit) || !f.get(r.STAT) || !f.skip()) return false;
    if (!f.get(r.eex)) return false;
    r.ex = r.eex * units::kVPerMPerKVPerCm;
    r.exn = r.ex * units::kPositionUnit;
    if (!f.get(r.eey)) return false;
    r.ey = r.eey * units::kVPerMPerKVPerCm;
    r.eyn = r.ey * units::kPositionUnit;
    if (!f.get(r.eez)) return false;
    r.ez = r.eez * units::kVPerMPerKVPerCm;
    r.ezn = r.ez * units::kPositionUnit;
    r.champ = sqrtf(r.ex * r.ex + r.ey * r.ey + r.ez * r.ez);
    if (!f.get(r.tcalip)) return false;
    r.tcali = r.tcalip * units::kSecondsPerPs;
    if (!f.get(r.dteqp)) return false;
    r.dteq = r.dteqp * units::kSecondsPerPs;
    if (!f.get(r.ndteq) || !f.get(r.nfrlx)) return false;
    if (!f.get(r.tcalmp)) return false;
    r.tcalm = r.tcalmp * units::kSecondsPerPs;
    return true;
}

void line(std::string_view text) { fio::List(out_unit()) << text; }

// Limit check: 1 (reported) when the condition holds.
int out_of_limits(bool bad, std::string_view name) {
    if (!bad) return 0;
    fio::List(out_unit()) << " Donnee hors limites : " << name;
    klip::error(6);
    return 1;
}

// Warnings on standard error for a run that is made, but not quite as its data files ask:
// the report stays as it is.
void warn_table_mismatch(float asked_temp) {
    if (!fio::hints_enabled) return;
    const float temp = tables::parlam.TEMP;
    if (temp != asked_temp) {
        std::fprintf(stderr,
                     "zot: warning: the table file is for %g K, the material data file asks for "
                     "%g K; the run is made at %g K (the catalogue line does not describe its "
                     "table: make the table again with tabgen).\n",
                     static_cast<double>(temp), static_cast<double>(asked_temp),
                     static_cast<double>(temp));
    }
    if (electr.ITPORT != 1 && electr.ITPORT != 2) {
        std::fprintf(stderr,
                     "zot: warning: carrier type %d of the material data file is neither 1 "
                     "(electrons) nor 2 (holes); it was taken as holes.\n",
                     static_cast<int>(electr.ITPORT));
    }
    const char want = electr.ITPORT == 1 ? 'N' : 'P';
    const char have = tables::cbande;
    if ((have == 'N' || have == 'P') && have != want) {
        std::fprintf(stderr,
                     "zot: warning: the table file is for %s, the material data file asks for "
                     "%s; the run follows the table (the catalogue line does not describe its "
                     "table: make the table again with tabgen).\n",
                     have == 'N' ? "electrons" : "holes", want == 'N' ? "electrons" : "holes");
    }
}

void warn_weak_field() {
    if (!fio::hints_enabled) return;
    const float comp[3] = {run.ex, run.ey, run.ez};
    const char* name[3] = {"EX", "EY", "EZ"};
    int weak = 0, acting = 0;
    for (int k = 0; k < 3; ++k) {
        if (comp[k] > kFieldThreshold) ++acting;
        if (comp[k] > 0.0f && comp[k] <= kFieldThreshold) {
            ++weak;
            std::fprintf(stderr,
                         "zot: warning: %s = %g kV/cm is at or below %g kV/cm and does not act on "
                         "the carriers: the run is made without it.\n",
                         name[k], static_cast<double>(comp[k] * units::kKVPerCmPerVPerM),
                         static_cast<double>(kFieldThreshold * units::kKVPerCmPerVPerM));
        }
    }
    if (weak > 0 && acting == 0) {
        std::fprintf(stderr,
                     "zot: warning: no field acts; the mobility and momentum and energy "
                     "relaxation times of the report divide by a field that did not act and mean "
                     "nothing.\n");
    }
}

// A dynamic run with EI = 0 flies every step for DT: a DT not above 0 makes the particles
// stand still or fly backwards in time, and the run's figures mean nothing.
void warn_dynamic_step() {
    const Run& r = run;
    if (!fio::hints_enabled || r.STAT != 0 || r.ei != 0.0f || r.dt > 0.0f) return;
    std::fprintf(stderr,
                 "zot: warning: DT = %g ps is not above 0: every step of this dynamic run (EI = 0) "
                 "lasts DT, so the particles %s and the run's figures mean nothing.\n",
                 static_cast<double>(r.dtp), r.dt < 0.0f ? "fly backwards in time" : "do not move");
}

}  // namespace

int ask_file_names() {
    if (ask("nom du fichier de donnees du materiau ? ", run.filmat) != 0) return 1;
    return ask("nom du fichier de donnees du run ? ", run.fildon);
}

int read_material_file() {
    if (open_data(setup.lumat, run.filmat) != 0) return 1;
    DataFile f(setup.lumat, run.filmat);
    if (!f.get(klip::debug.level) || !f.get(electr.ITPORT) || !f.get(tables::parlam.TEMP)
        || !f.get(run.nommat) || !f.get(run.dopmat))
        return f.fail();
    f.close();
    return 0;
}

int read_run_file() {
    if (open_data(setup.ludon, run.fildon) != 0) return 1;
    DataFile f(setup.ludon, run.fildon);
    if (!read_run_head(f)) return f.fail();
    if (run.STAT != 0) {
        for (int i = 0; i < 5; ++i)
            if (!f.skip()) return f.fail();
    } else {
        if (!f.skip() || !read_dynamic(f)) return f.fail();
    }
    if (!f.skip() || !f.get(run.filspc) || !f.get(run.fildes)) return f.fail();
    f.close();
    run.ispec = run.filspc.at1(1) == 'N' ? 0 : 1;
    return 0;
}

void echo_parameters() {
    const int out = out_unit();
    const auto& r = run;
    line("Materiau : ");
    line(r.nommat.view());
    fio::List(out) << "type de porteurs : " << electr.ITPORT;
    fio::List(out) << "temperature = " << tables::parlam.TEMP << " K";
    fio::List(out) << "dopage = " << r.dopmat << " cm-3";
    fio::List(out) << "nb de particules = " << r.npart;
    fio::List(out) << "stat. (T) ou dyn. (F) :" << (r.STAT != 0);
    line("champ electrique :");
    fio::List(out) << "    EX = " << r.ex << " V/m";
    fio::List(out) << "    EY = " << r.ey << " V/m";
    fio::List(out) << "    EZ = " << r.ez << " V/m";
    fio::List(out) << "       -> CHAMP = " << r.champ << " V/m";
    fio::List(out) << "temps de calcul initial = " << r.tcali << " s";
    fio::List(out) << "pas de temps DTEQ = " << r.dteq << " s";
    fio::List(out) << "nb de pas de temps NDTEQ = " << r.ndteq;
    fio::List(out) << "nb de tps de relaxation NFRLX = " << r.nfrlx;
    fio::List(out) << "temps de calcul maximum TCALM = " << r.tcalm;
    line("fichier de spectres : ");
    line(r.filspc.view());
}

int load_tables() {
    const int out = out_unit();
    auto& r = run;
    if (klip::debug.level >= 5) {
        fio::List(out) << " FICREP = " << setup.FICREP.view();
        fio::List(out) << " NOMMAT = " << r.nommat.view();
    }
    const char type = electr.ITPORT == 1 ? 'E' : 'T';
    if (tables::search(setup.FICREP.view(), r.nommat.view(), tables::parlam.TEMP, type, r.dopmat,
                       r.nfidat)
        != 0)
        return 1;
    if (klip::debug.level >= 5) fio::List(out) << " NFIDAT = " << r.nfidat.view();
    std::string name = ".././";
    name += r.nfidat.view().substr(0, 6);
    name += "-bin";
    const float asked_temp = tables::parlam.TEMP;  // the table's replaces it
    if (tables::lila(name, 1) != 0) return 1;
    warn_table_mismatch(asked_temp);
    return 0;
}

int check_limits() {
    const auto& r = run;
    // Time steps above this (in ps) would make a step's remaining time stop decreasing.
    constexpr float kMaxStepPs = 1000.0f;
    const bool dynamic = r.STAT == 0;
    if (out_of_limits(r.npart < 1 || r.npart > kMaxParticles, "NPART")) return 1;
    if (out_of_limits(r.nvinit > tables::tablam.NVA, "NVINIT")) return 1;
    if (out_of_limits(!(r.tcali > 0.0f), "TCALI")) return 1;
    if (out_of_limits(!(r.dteq > 0.0f), "DTEQ")) return 1;
    if (out_of_limits(r.nvinit < 1, "NVINIT")) return 1;
    // The flight applies only non-negative field components.
    if (out_of_limits(r.ex < 0.0f, "EX") || out_of_limits(r.ey < 0.0f, "EY")
        || out_of_limits(r.ez < 0.0f, "EZ"))
        return 1;
    if (out_of_limits(r.tcalip > kMaxStepPs, "TCALI") || out_of_limits(r.dteqp > kMaxStepPs, "DTEQ")
        || out_of_limits(dynamic && r.dtp > kMaxStepPs, "DT"))
        return 1;
    // An energy taken away could leave a particle with a negative energy.
    if (out_of_limits(dynamic && r.dec < 0.0f, "DEC")) return 1;
    warn_weak_field();
    warn_dynamic_step();
    return 0;
}

void table_summary() {
    const int32_t level = klip::debug.level;
    if (level < 4) return;
    const int out = out_unit();
    const auto& t = tables::tablam;
    const auto& b = tables::bande;
    line("Lecture du -bin terminee:");
    fio::List(out) << " EPBF = " << tables::parlam.EPBF << "   ENGAP = " << b.ENGAP;
    fio::List(out) << " nb de vallees = " << t.NVA;
    for (int32_t iv = 1; iv <= t.NVA && iv <= tables::kValleys; ++iv) {
        fio::List(out) << "   Vallee no" << iv << " :";
        fio::List(out) << "IFORV,ML,MT,MEFF,ENMAX=" << b.IFORV[iv] << b.ML[iv] << b.MT[iv]
                       << b.MEFF[iv] << t.ENMAX[iv];
    }
    if (level >= 5 && level < 100) {
        const auto& c = tables::compac;
        fio::List(out) << "IDRLT1=" << c.IDRLT1 << " Lambda total = ";
        fio::List values(out);
        for (int32_t n = 1; n <= c.IDRLT1 && n <= tables::kTotals; ++n) values << c.RLTCOMP[n];
    }
}

void derive_quantities() {
    auto& r = run;
    if (electr.ITPORT == 1) tables::cbande = 'N';
    else if (electr.ITPORT == 2) tables::cbande = 'P';
    r.rnd = r.dopmat * units::kPerM3PerCm3;
    r.t = tables::parlam.TEMP;
    r.kbtsq = setup.kbsq * r.t;
    r.eth = r.kbtsq * 1.5f;
    r.rndo = r.rnd * units::kPerCm3PerM3;
}

void run_banner() {
    const int out = out_unit();
    fio::write_fmt(out, "(/,/)", {});
    const std::string_view type(&tables::cbande, 1);
    fio::write_fmt(out,
                   "(1X,60('*'),/,20X,A12,/,'  Dopage=',E10.3,' cm-3    Type ',A1,'    T=',F5.0,"
                   "' K',/,1X,60('*'),/,/)",
                   {run.nommat.view(), run.rndo, type, run.t});
}

int prepare_run() {
    reset_model();
    if (ask_file_names() != 0) return 1;
    fio::write_line(out_unit(), "");
    fio::write_line(out_unit(), "");
    if (read_material_file() != 0 || read_run_file() != 0) return 1;
    echo_parameters();
    if (load_tables() != 0 || check_limits() != 0) return 1;
    table_summary();
    copy_rates();
    derive_quantities();
    run_banner();
    kind_codes();
    spectra_grids();
    return 0;
}

void run_ca() {
    if (prepare_run() != 0) return;
    simulate();
}

}  // namespace driver
