// tabgen: computes the scattering tables of materials and writes them, with their
// catalogue lines, into a table repository.
//
//   tabgen [-o DIR] [--] MATERIAL.mat...
//
// For each material description it writes DIR/<table>-bin and enters the material's line
// in the catalogue DIR/replam, in place of the line of the same table name or of the same
// material, carrier, temperature and doping. Nothing is written unless every material is
// valid; the repository is locked (DIR/replam.lock) while the catalogue is updated, and
// every file is replaced whole (through symbolic links) or not at all.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "tabgen/build.hpp"
#include "tabgen/material.hpp"
#include "tabgen/output.hpp"

namespace {

// A catalogue holds one short line per table.
constexpr size_t kMaxCatalogueBytes = size_t{64} << 20;

constexpr const char* kUsage =
    "usage: tabgen [-o DIR] [--] MATERIAL.mat...\n"
    "  writes DIR/<table>-bin for each material description and enters it in the\n"
    "  catalogue DIR/replam (DIR: the table repository, default the current folder)\n";

// A command line that cannot be followed: what is wrong, then the usage; status 2.
int usage(const std::string& what) {
    std::fprintf(stderr, "tabgen: %s\n%s", what.c_str(), kUsage);
    return 2;
}

// A standard descriptor closed at start-up gets /dev/null, so that no file opened later (the
// lock, a temporary table) takes its number and receives messages. A closed standard output
// counts as one that cannot be written.
int guard_standard_streams() {
    int failure = 0;
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int got = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (got >= 0 && got != fd) {
            dup2(got, fd);
            close(got);
        }
        if (fd == 1) failure = EBADF;
    }
    return failure;
}

void summary(const tabgen::Material& m, const tabgen::Generated& g) {
    std::printf("%s: %s, %d valley(s), %d rate values, %d totals\n", m.table.c_str(),
                m.name.c_str(), g.t.NVA, g.c.NCOMP, g.c.IDRLT1);
    if (!m.alloy_a.empty()) {
        std::printf("  alloy %s(%.4g) %s(%.4g): gap %.4g eV;", m.alloy_a.c_str(), m.alloy_x,
                    m.alloy_b.c_str(), 1.0 - m.alloy_x, m.gap);
        for (const auto& v : m.valleys)
            std::printf(" %s %.4g eV mass %.4g alpha %.3g;", v.name.c_str(), v.energy, v.md,
                        v.alpha);
        std::printf(" alloy potential %.4g eV\n", m.alloy_potential);
    }
    for (int iv = 1; iv <= g.t.NVA; ++iv) {
        std::printf(
            "  valley %-6s %4d energies to %.4g eV, %2d lambdas, %2d domains, total%s (1/s):",
            m.valleys[iv - 1].name.c_str(), g.t.NEN[iv], g.t.ENMAX[iv], g.t.NLAM[iv], g.t.NDOM[iv],
            m.total_per_domain ? "s" : "");
        if (m.total_per_domain) {
            for (double x : g.gamma[iv - 1]) std::printf(" %.3g", x);
        } else {
            std::printf(" %.3g", g.gamma[iv - 1].front());
        }
        std::printf("\n");
    }
}

int run(int argc, char** argv) {
    const int stdout_closed = guard_standard_streams();
    // Beyond a file-size limit (ulimit -f) a write fails with EFBIG and nothing is replaced,
    // instead of the signal ending tabgen with a temporary file left in the repository.
    std::signal(SIGXFSZ, SIG_IGN);
    std::string dir = ".";
    bool dir_given = false, options = true;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (options && a == "--") {
            options = false;  // what follows are file names, even when they begin with '-'
        } else if (options && a == "--help") {
            std::fputs(kUsage, stdout);
            return std::fflush(stdout) == 0 && stdout_closed == 0 ? 0 : 1;
        } else if (options && a == "-o") {
            if (++i >= argc) return usage("option -o: the repository folder is missing");
            if (dir_given) return usage("option -o given twice: give one repository folder");
            dir = argv[i];
            dir_given = true;
            if (dir.empty()) return usage("option -o: the repository folder name is empty");
        } else if (options && a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + a + " (a file name beginning with '-' goes after --)");
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) return usage("no material description given");

    // Every description is read, checked and computed before the repository is touched.
    struct Out {
        std::string file, table, text, line;
    };
    std::vector<Out> outs;
    for (const auto& f : files) {
        tabgen::Material m;
        std::string err;
        if (!tabgen::read_material(f, m, err)) {
            std::fprintf(stderr, "tabgen: %s\n", err.c_str());
            return 1;
        }
        for (const auto& w : m.warnings)
            std::fprintf(stderr, "tabgen: %s: warning: %s\n", f.c_str(), w.c_str());
        std::string line;
        if (!tabgen::catalogue_line(m, line, err)) {
            std::fprintf(stderr, "tabgen: %s: %s\n", f.c_str(), err.c_str());
            return 1;
        }
        for (const auto& o : outs) {
            const char* what = o.table == m.table ? "the same table name"
                               : tabgen::same_material(o.line, line)
                                   ? "the same material, carrier, temperature and doping"
                                   : nullptr;
            if (what != nullptr) {
                std::fprintf(stderr,
                             "tabgen: %s and %s give %s (%s): one table would replace the other; "
                             "give each its own, or build them in separate calls\n",
                             o.file.c_str(), f.c_str(), what, m.table.c_str());
                return 1;
            }
        }
        outs.push_back({f, m.table, "", line});
        auto g = tabgen::build_tables(m, err);
        if (!g || !tabgen::check_tables(*g, err)) {
            std::fprintf(stderr, "tabgen: %s: %s\n", f.c_str(), err.c_str());
            return 1;
        }
        summary(m, *g);
        outs.back().text = tabgen::format_tables(*g);
    }

    // The catalogue is read, merged and written under the repository's lock, so that two
    // tabgen runs into one repository never lose each other's lines.
    const std::string catalogue_path = dir + "/replam";
    const std::string lock_path = tabgen::resolve_links(catalogue_path) + ".lock";
    tabgen::Lock lock;
    std::string err;
    if (!lock.acquire(lock_path, err, [&] {
            std::fprintf(stderr,
                         "tabgen: %s: another tabgen is updating this repository; waiting for it\n",
                         lock_path.c_str());
        })) {
        std::fprintf(stderr,
                     "tabgen: %s; the repository %s must be a folder you can write (another "
                     "one is given with -o DIR); nothing was written\n",
                     err.c_str(), dir.c_str());
        return 1;
    }
    std::string catalogue;
    if (tabgen::read_bounded(catalogue_path, kMaxCatalogueBytes, catalogue, err)
        == tabgen::ReadResult::Failed) {
        std::fprintf(stderr, "tabgen: %s: cannot read the catalogue: %s; nothing was written\n",
                     catalogue_path.c_str(), err.c_str());
        return 1;
    }
    for (const auto& o : outs) {
        std::vector<std::string> dropped;
        catalogue = tabgen::merge_catalogue(catalogue, o.line, &dropped);
        for (const auto& d : dropped)
            std::fprintf(
                stderr,
                "tabgen: %s: the line of table %s for the same material, carrier, temperature "
                "and doping is replaced by table %s\n",
                catalogue_path.c_str(), d.substr(0, d.find(' ')).c_str(), o.table.c_str());
    }
    std::vector<std::pair<std::string, std::string>> outputs;
    for (auto& o : outs) outputs.push_back({dir + "/" + o.table + "-bin", std::move(o.text)});
    outputs.push_back({catalogue_path, catalogue});
    if (!tabgen::write_all_atomic(outputs, err)) {
        std::fprintf(stderr, "tabgen: %s\n", err.c_str());
        return 1;
    }
    // The summary must have reached standard output too; the repository is written.
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    const int code = stdout_closed != 0 ? stdout_closed : errno != 0 ? errno : EIO;
    if (stdout_closed != 0 || !flushed) {
        std::fprintf(stderr,
                     "tabgen: cannot write standard output: %s (the tables and the catalogue "
                     "were written)\n",
                     std::strerror(code));
        return 1;
    }
    return 0;
}
}  // namespace

// Any exception left is a fault of tabgen, not of the description: say so, never abort.
int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tabgen: internal error (%s); please report it with the description\n",
                     e.what());
    } catch (...) {
        std::fprintf(stderr, "tabgen: internal error; please report it with the description\n");
    }
    return 1;
}
