// Output files of a run: the noise file "bruit", the spectra (histograms and their file)
// and the dynamic-run file header.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/files.hpp"
#include "driver/records.hpp"
#include "driver/run.hpp"
#include "driver/sim.hpp"
#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"
#include "tables/model.hpp"

namespace driver {
namespace {

constexpr int32_t kWriteFailed = 7;  // program message: a result file was not written in full

// Bin of a scaled value, truncated toward zero; -1 when it lies outside 0..500 (or is not
// a number).
int32_t bin_of(float scaled) {
    if (scaled > -1.0f && scaled < static_cast<float>(kSpectrumBins))
        return static_cast<int32_t>(scaled);
    return -1;
}

[[noreturn]] [[gnu::cold]] void negative_total_energy(float ent) {
    const int lu = klip::comlu[1];
    const Electr& e = electr;
    const auto& b = tables::bande;
    fio::List(lu) << " PB: ENT<0  ---   ENT = " << ent;
    fio::List(lu) << " eni,nvi,enval,enextr=" << e.ENI << e.NVI << b.ENVAL[e.NVI] << b.ENEXTR;
    fio::terminate(2);
}

void write_header_line(int lu, int nva) {
    const std::string d(1, static_cast<char>('0' + nva));
    const std::string layout =
        "(1X,(A,1X)," + d + "('SP.EC.VAL.',I1,1X)," + d + "('SP.VIT.VAL.',I1,1X),3(A,1X))";
    const char* e = "Energie(eV)";
    const char* v = "Vitesse(cm/s)";
    switch (nva) {
        case 1: fio::write_fmt(lu, layout, {"SP.ET.", 1, 1, e, v}); break;
        case 2: fio::write_fmt(lu, layout, {"SP.ET.", 1, 2, 1, 2, e, v}); break;
        case 3: fio::write_fmt(lu, layout, {"SP.ET.", 1, 2, 3, 1, 2, 3, e, v}); break;
        default: fio::write_fmt(lu, layout, {"SP.ET.", 1, 2, 3, 4, 1, 2, 3, 4, e, v}); break;
    }
}

void write_data_line(int lu, int nva, const std::string& layout, int i) {
    const Spectra& s = spectra;
    // The counts are written as reals, as the file has always held them.
    auto ev = [&](int iv) { return static_cast<float>(s.spenv[iv][i]); };
    auto vv = [&](int iv) { return static_cast<float>(s.spvit[iv][i]); };
    const float a = static_cast<float>(s.spent[i]);
    const float es = s.es[i], vs = s.vs[i];
    switch (nva) {
        case 1: fio::write_fmt(lu, layout, {a, ev(1), vv(1), es, vs}); break;
        case 2: fio::write_fmt(lu, layout, {a, ev(1), ev(2), vv(1), vv(2), es, vs}); break;
        case 3:
            fio::write_fmt(lu, layout, {a, ev(1), ev(2), ev(3), vv(1), vv(2), vv(3), es, vs});
            break;
        default:
            fio::write_fmt(lu, layout,
                           {a, ev(1), ev(2), ev(3), ev(4), vv(1), vv(2), vv(3), vv(4), es, vs});
            break;
    }
}

using core::resolve_links;

// Close an output text file; when not everything reached it, report it and remove the
// cut file (a regular file only: a device or anything else is left alone; through a link,
// the file it leads to).
void close_output(int unit, std::string_view name) {
    const int status = fio::close_checked(unit);
    if (status == 0) return;
    report_file_failure(kWriteFailed, status, name);
    std::error_code ec;
    const std::filesystem::path path{resolve_links(std::string(klip::Text<80>(name).trimmed()))};
    if (std::filesystem::is_regular_file(path, ec)) std::filesystem::remove(path, ec);
}

// Opens on `unit` a new file with a unique name beside `target`, with the permissions of
// the file it will replace (or of a new file). Returns 0 and the name, or the errno.
int open_temporary(int unit, const std::string& target, std::string& temp) {
    int fd = -1;
    int status = core::make_temporary(target, temp, fd);
    if (status != 0) return status;
    ::close(fd);
    status = fio::open_new(unit, temp);
    if (status != 0) unlink(temp.c_str());
    return status;
}

}  // namespace

void report_file_failure(int32_t code, int status, std::string_view name) {
    klip::error(code);
    const std::string line = klip::pad(
        " I/O STATUS : " + fio::fmt_i(status, 12) + " FICHIER : " + std::string(name), 120);
    klip::ecrire(line, klip::comlu[1]);
}

void report_open_failure(int status, std::string_view name) {
    report_file_failure(-7, status, name);
}

void clear_spectra() {
    Spectra& s = spectra;
    s.spent.fill(0);
    for (int iv = 1; iv <= tables::tablam.NVA && iv <= 4; ++iv) {
        s.spenv[iv].fill(0);
        s.spvit[iv].fill(0);
    }
}

void count_spectra() {
    Spectra& s = spectra;
    const Electr& e = electr;
    const Flight& f = flight;
    const Run& r = run;
    const auto& b = tables::bande;
    const int32_t ienv = bin_of(e.ENI / s.delten);
    if (ienv >= 0) s.spenv[e.NVI][ienv] += 1;
    const float ent = e.ENI + b.ENVAL[e.NVI] - b.ENVAL[1];
    if (ent < 0.0f) negative_total_energy(ent);
    const int32_t ient = bin_of(ent / s.delten);
    if (ient >= 0) s.spent[ient] += 1;
    if (r.champ == 0.0f) return;  // no direction to project on
    const float vxe = (f.vxi * r.ex + f.vyi * r.ey + f.vzi * r.ez) / r.champ;
    const int32_t ivit = bin_of((vxe + s.deltv * kSpectrumBinsF / 2.0f) / s.deltv);
    if (ivit >= 0) s.spvit[e.NVI][ivit] += 1;
}

void open_noise_file() {
    outfiles.noise_open = false;
    const int status = fio::open_unformatted(setup.lunoise, "bruit");
    if (status != 0) {
        report_open_failure(status, "bruit");
        return;
    }
    outfiles.noise_open = true;
}

void write_noise_record() {
    if (!outfiles.noise_open) return;
    const double v = static_cast<double>(flight.vxi);
    fio::write_record(setup.lunoise, &v, static_cast<int32_t>(sizeof v));
}

void close_noise_file() {
    if (!outfiles.noise_open) return;
    outfiles.noise_open = false;
    const int status = fio::close_checked(setup.lunoise);
    if (status == 0) return;
    report_file_failure(kWriteFailed, status, "bruit");
    // Keep the whole records that reached the file.
    std::error_code ec;
    if (!std::filesystem::is_regular_file("bruit", ec)) return;
    const auto size = std::filesystem::file_size("bruit", ec);
    if (!ec) std::filesystem::resize_file("bruit", size - size % 16u, ec);
}

// The dynamic-run file stays open for the whole run: one line follows every time step.
void write_dynamic_header() {
    const int lu = setup.ludes;
    outfiles.dynamic_open = false;
    const int status = fio::open_new(lu, run.fildes.trimmed());
    if (status != 0) {
        report_open_failure(status, run.fildes.view());
        return;
    }
    outfiles.dynamic_open = true;
    fio::write_fmt(lu, "(5(1X,A))",
                   {"temps(ps)", "position(nm)", "energie(ev)", "en.tot(ev)", "vitesse(cm/s)"});
}

// Called after the step averages, while the mean velocities are still in m/s. The time
// counts the particles' own budget of the step (dt in a run started with no field at the
// first step, else the step's duration).
void write_dynamic_line() {
    Steps& s = steps;
    const Run& r = run;
    const Ensemble& e = ensemble;
    s.tdyn = s.tdyn + (s.neq == 1 ? r.dt : s.tcal);
    if (!outfiles.dynamic_open) return;
    float position = 0.0f;
    float velocity = 0.0f;
    if (r.champ != 0.0f) {
        float sum = 0.0f;
        for (int32_t i = 1; i <= r.npart; ++i) {
            sum += ((e.XX[i] * r.ex + e.XY[i] * r.ey) + e.XZ[i] * r.ez) / r.champ;
        }
        position = sum / static_cast<float>(r.npart) * 100.0f;
        velocity = ((s.vxm * r.ex + s.vym * r.ey) + s.vzm * r.ez) / r.champ * 100.0f;
    }
    const float ps = s.tdyn * 1e12f;
    { fio::List(setup.ludes) << ps << position << s.enm << s.entm << velocity; }
    fio::flush(setup.ludes);  // a plot of the file can follow the run
}

void close_dynamic_file() {
    if (!outfiles.dynamic_open) return;
    outfiles.dynamic_open = false;
    close_output(setup.ludes, run.fildes.view());
}

// The spectra file is written under a unique temporary name beside the file its name leads
// to and renamed over it once complete: the earlier file stays as it was until then, and
// stays when the new contents cannot be written; runs sharing a spectra name never share a
// temporary file. A name that leads to a device or another non-regular file is written
// directly, and so is a file whose folder cannot take a temporary file.
void write_spectra_file() {
    const int lu = setup.luspc;
    const std::string target = resolve_links(std::string(run.filspc.trimmed()));
    // The file is checked the way opening it would check it, without emptying it.
    struct stat st;
    const bool exists = !target.empty() && stat(target.c_str(), &st) == 0;
    int status = 0;
    if (target.empty()) {
        status = ENOENT;
    } else if (!exists && errno == ELOOP) {
        status = ELOOP;  // a loop of links: a rename would replace one of them
    } else if (exists && S_ISDIR(st.st_mode)) {
        status = EISDIR;
    } else if (exists) {
        const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) status = errno;
        else ::close(fd);
    }
    std::string temp;
    bool direct = false;
    int write_status = 0;
    if (status == 0) {
        // Signals wait only while a temporary file exists: a direct write to a pipe that is
        // not read must still be stoppable.
        std::optional<core::HoldSignals> hold;
        if (!exists || S_ISREG(st.st_mode)) {
            hold.emplace();
            if (open_temporary(lu, target, temp) != 0) {
                temp.clear();
                hold.reset();
            }
        }
        if (temp.empty()) {
            direct = true;
            status = fio::open_new(lu, target);
        }
        if (status == 0) {
            int nva = tables::tablam.NVA;
            if (nva < 1) nva = 1;
            if (nva > 4) nva = 4;
            const std::string_view letter(&tables::cbande, 1);
            fio::write_fmt(lu, "(A12,2X,1PE11.4,' type ',A1)",
                           {run.nommat.view(), run.dopmat, letter});
            write_header_line(lu, nva);
            const int npiv = 2 * nva + 3;
            const std::string layout = "(1X," + std::to_string(npiv) + "(1PE12.5,1X))";
            for (int i = 0; i < kSpectrumBins; ++i) write_data_line(lu, nva, layout, i);
            write_status = fio::close_checked(lu);
            if (!direct) {
                if (write_status == 0 && std::rename(temp.c_str(), target.c_str()) != 0)
                    write_status = errno;
                if (write_status != 0) unlink(temp.c_str());
            }
        }
    }
    if (status != 0) {
        report_open_failure(status, run.filspc.view());
    } else if (write_status != 0) {
        report_file_failure(kWriteFailed, write_status, run.filspc.view());
        // Written in place: the cut file is removed (a regular file only).
        std::error_code ec;
        if (direct && std::filesystem::is_regular_file(target, ec))
            std::filesystem::remove(target, ec);
    }
}

}  // namespace driver
