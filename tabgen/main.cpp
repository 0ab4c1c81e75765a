// tabgen: computes the scattering tables of materials and writes them, with their
// catalogue lines, into a table repository.
//
//   tabgen [-o DIR] MATERIAL.mat...
//
// For each material description it writes DIR/<table>-bin and enters the material's line
// in the catalogue DIR/replam (replacing the line of the same table name). Nothing is
// written unless every material is valid.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tabgen/build.hpp"
#include "tabgen/material.hpp"
#include "tabgen/output.hpp"

namespace {

int usage() {
    std::fprintf(stderr, "usage: tabgen [-o DIR] MATERIAL.mat...\n");
    return 2;
}

void summary(const tabgen::Material& m, const tabgen::Generated& g) {
    std::printf("%s: %s, %d valley(s), %d rate values, %d totals\n", m.table.c_str(), m.name.c_str(), g.t.NVA,
                g.c.NCOMP, g.c.IDRLT1);
    if (!m.alloy_a.empty()) {
        std::printf("  alloy %s(%.4g) %s(%.4g): gap %.4g eV;", m.alloy_a.c_str(), m.alloy_x, m.alloy_b.c_str(),
                    1.0 - m.alloy_x, m.gap);
        for (const auto& v : m.valleys)
            std::printf(" %s %.4g eV mass %.4g alpha %.3g;", v.name.c_str(), v.energy, v.md, v.alpha);
        std::printf(" alloy potential %.4g eV\n", m.alloy_potential);
    }
    for (int iv = 1; iv <= g.t.NVA; ++iv) {
        std::printf("  valley %-6s %4d energies to %.4g eV, %2d lambdas, %2d domains, total%s (1/s):",
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

}  // namespace

int main(int argc, char** argv) {
    std::string dir = ".";
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-o") {
            if (++i >= argc) return usage();
            dir = argv[i];
        } else if (!a.empty() && a[0] == '-') {
            return usage();
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) return usage();

    struct Out { std::string path, text, line; };
    std::vector<Out> outs;
    for (const auto& f : files) {
        tabgen::Material m;
        std::string err;
        if (!tabgen::read_material(f, m, err)) {
            std::fprintf(stderr, "tabgen: %s\n", err.c_str());
            return 1;
        }
        for (const auto& w : m.warnings) std::fprintf(stderr, "tabgen: %s: warning: %s\n", f.c_str(), w.c_str());
        auto g = tabgen::build_tables(m, err);
        std::string line;
        if (!g || !tabgen::check_tables(*g, err) || !tabgen::catalogue_line(m, line, err)) {
            std::fprintf(stderr, "tabgen: %s: %s\n", f.c_str(), err.c_str());
            return 1;
        }
        summary(m, *g);
        outs.push_back({dir + "/" + m.table + "-bin", tabgen::format_tables(*g), line});
    }
    std::string catalogue;
    {
        std::ifstream in(dir + "/replam", std::ios::binary);
        if (in) {
            std::ostringstream ss;
            ss << in.rdbuf();
            catalogue = ss.str();
        }
    }
    for (const auto& o : outs) catalogue = tabgen::merge_catalogue(catalogue, o.line);
    std::vector<std::pair<std::string, std::string>> outputs;
    for (const auto& o : outs) outputs.push_back({o.path, o.text});
    outputs.push_back({dir + "/replam", catalogue});
    std::string err;
    if (!tabgen::write_all_atomic(outputs, err)) {
        std::fprintf(stderr, "tabgen: %s\n", err.c_str());
        return 1;
    }
    return 0;
}
