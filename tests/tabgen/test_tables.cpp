// The tables of the shipped materials: validity conditions, the energies each event
// exchanges, detailed balance through the generated lambdas, loading by the simulator's
// reader, the catalogue, and byte-for-byte determinism of the shipped files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "tables/tables.hpp"
#include "tabgen/build.hpp"
#include "tabgen/output.hpp"
#include "tabgen/physics.hpp"

namespace {

const char* const kShipped[] = {"gaas.mat", "si.mat",     "inp.mat",    "si_hf.mat", "gaas_hf.mat",
                                "si_h.mat", "gaas_h.mat", "ingaas.mat", "algaas.mat"};

std::string src(const std::string& rel) { return std::string(ZOT_SOURCE_DIR) + "/" + rel; }

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Built {
    tabgen::Material m;
    std::unique_ptr<tabgen::Generated> g;
};

Built build(const std::string& mat) {
    Built b;
    std::string err;
    EXPECT_TRUE(tabgen::read_material(src("examples/materials/" + mat), b.m, err)) << err;
    b.g = tabgen::build_tables(b.m, err);
    EXPECT_TRUE(b.g) << err;
    return b;
}

}  // namespace

TEST(ShippedTables, SatisfyEveryValidityCondition) {
    for (const char* f : kShipped) {
        Built b = build(f);
        ASSERT_TRUE(b.g);
        std::string err;
        EXPECT_TRUE(tabgen::check_tables(*b.g, err)) << f << ": " << err;
        EXPECT_LE(b.g->c.NCOMP, tables::kRates);
        EXPECT_LE(b.g->c.IDRLT1, tables::kTotals);
    }
}

TEST(ShippedTables, CheckerCatchesBrokenTables) {
    Built b = build("gaas.mat");
    ASSERT_TRUE(b.g);
    std::string err;
    auto& g = *b.g;
    const int last = g.t.IPLAM[1][g.t.NLAM[1]] + 5;  // self-scattering of valley 1, index 5
    g.c.RLCOMP[last] = 0.9999f;
    EXPECT_FALSE(tabgen::check_tables(g, err));
    EXPECT_NE(err.find("not 1"), std::string::npos) << err;
    g.c.RLCOMP[last] = 1.0f;
    g.t.IDOM[2][7] = 16;
    EXPECT_FALSE(tabgen::check_tables(g, err));
    g.t.IDOM[2][7] = 1;
    g.c.RLTCOMP[g.t.IPTOT[3] + 1] *= 100.0f;  // a total below the rates
    EXPECT_FALSE(tabgen::check_tables(g, err));
    EXPECT_NE(err.find("total below"), std::string::npos) << err;
}

// Every energy exchange stays inside the tables: emissions are tabulated only where the
// whole energy interval lies above their threshold, absorptions never reach the
// simulator's rejection limit, and a carrier changing valley lands below the new top.
TEST(ShippedTables, EventsStayInsideTheTables) {
    for (const char* f : kShipped) {
        Built b = build(f);
        ASSERT_TRUE(b.g);
        const auto& g = *b.g;
        const float de = g.t.DELTAE;
        for (int iv = 1; iv <= g.t.NVA; ++iv) {
            EXPECT_NEAR(g.t.ENMAX[iv] + g.b.ENVAL[iv], b.m.etop, de) << f;
            for (int k = 1; k <= g.t.NLAM[iv]; ++k) {
                const auto& l = g.lambdas[iv - 1][k - 1];
                const int jv = g.t.NVFL[iv][k];
                for (int ie = 1; ie <= g.t.NEN[iv]; ++ie) {
                    if (g.rates[iv - 1][k - 1][ie - 1] <= 0) continue;
                    EXPECT_GE((ie - 1) * de + l.shift, -1e-6) << f << " " << l.name << " " << ie;
                    if (l.shift > 0) {
                        EXPECT_LE(ie * de + l.shift, g.t.ENMAX[jv] - 10 * de + 1e-6)
                            << f << " " << l.name;
                    }
                    // Highest energy a flight leaves in this interval, then the event.
                    const double top = std::min<double>(ie * de, g.t.ENMAX[iv] - de / 2);
                    EXPECT_LT(top + l.shift, g.t.ENMAX[jv]) << f << " " << l.name;
                }
            }
        }
    }
}

TEST(ShippedTables, FinalValleyCountsAndPhonons) {
    Built gaas = build("gaas.mat");
    ASSERT_TRUE(gaas.g);
    // NZIV0(jv,iv): Gamma->L 4, L->Gamma 1, L->L 3, X->X 2, Gamma->Gamma none.
    EXPECT_EQ(gaas.g->p.NZIV0[1][2], 4);
    EXPECT_EQ(gaas.g->p.NZIV0[2][1], 1);
    EXPECT_EQ(gaas.g->p.NZIV0[2][2], 3);
    EXPECT_EQ(gaas.g->p.NZIV0[3][3], 2);
    EXPECT_EQ(gaas.g->p.NZIV0[1][1], 0);
    // Emission Gamma->L loses the phonon plus the valley offset; L->Gamma gains the offset.
    EXPECT_FLOAT_EQ(gaas.g->p.HWIV0[1][1][2], 0.0278f + 0.29f);
    EXPECT_FLOAT_EQ(gaas.g->p.HWIV0[1][2][1], static_cast<float>(0.0278 - 0.29));
    Built si = build("si.mat");
    ASSERT_TRUE(si.g);
    // Each pair: 3 g phonons to its partner (Z 1), 3 f phonons to each other pair (Z 2).
    int g_type = 0, f_type = 0;
    for (const auto& l : si.g->lambdas[0]) {
        if (l.kind != tabgen::Kind::IV0E) continue;
        (l.to == 0 ? g_type : f_type) += 1;
        EXPECT_EQ(l.z, l.to == 0 ? 1 : 2) << l.name;
    }
    EXPECT_EQ(g_type, 3);
    EXPECT_EQ(f_type, 6);
    EXPECT_FLOAT_EQ(si.g->p.HWIV0[3][1][1], 0.062f);
    EXPECT_FLOAT_EQ(si.g->p.HWIV0[2][2][3], 0.0474f);
    EXPECT_EQ(si.g->b.IFORV[1], 1);
    EXPECT_EQ(si.g->b.IFORV[3], 3);
}

// Every absorption has its emission partner, and the pair obeys microscopic reversibility at
// each temperature a description may state (the phonon occupations follow the temperature).
TEST(ShippedTables, DetailedBalanceThroughTheGeneratedLambdas) {
    for (const char* f : {"gaas.mat", "si.mat"})
        for (const char* temp : {"77", "400"}) {
            std::string text = slurp(src(std::string("examples/materials/") + f)), err;
            const size_t at = text.find("temperature     300");
            ASSERT_NE(at, std::string::npos) << f;
            text.replace(at, 19, std::string("temperature     ") + temp);
            tabgen::Material m;
            ASSERT_TRUE(tabgen::parse_material(text, m, err)) << err;
            auto gen = tabgen::build_tables(m, err);
            ASSERT_TRUE(gen) << err;
            auto g = [&](int v, double e) {
                const auto& val = m.valleys[v];
                return std::pow(val.md, 1.5) * std::sqrt(e * (1 + val.alpha * e))
                       * (1 + 2 * val.alpha * e);
            };
            int pairs = 0, absorptions = 0;
            for (int i = 0; i < static_cast<int>(m.valleys.size()); ++i)
                for (const auto& ab : gen->lambdas[i]) {
                    if (ab.kind != tabgen::Kind::IV0A && ab.kind != tabgen::Kind::OPLA
                        && ab.kind != tabgen::Kind::ONPA)
                        continue;
                    ++absorptions;
                    const int j = ab.to;
                    for (const auto& em : gen->lambdas[j]) {
                        const bool match =
                            em.to == i && em.phonon == ab.phonon
                            && std::fabs(em.shift + ab.shift) < 1e-12
                            && static_cast<int>(em.kind) == static_cast<int>(ab.kind) - 1;
                        if (!match) continue;
                        const double e = 0.6, ef = e + ab.shift;
                        // Final valleys: z of each lambda (the count, or count - 1 within a valley kind).
                        const double lhs = em.z * g(i, e) * tabgen::lambda_rate(m, i, ab, e);
                        const double rhs = ab.z * g(j, ef) * tabgen::lambda_rate(m, j, em, ef);
                        const double boltz = std::exp(-ab.hw * tabgen::phys::kQ
                                                      / (tabgen::phys::kKb * m.temperature));
                        EXPECT_NEAR(lhs / rhs / boltz, 1.0, 1e-9)
                            << f << " " << temp << " K " << ab.name << " valley " << i + 1;
                        ++pairs;
                    }
                }
            EXPECT_EQ(pairs, absorptions) << f << " " << temp;
            EXPECT_GT(pairs, 10) << f;
        }
}

// The simulator's own reader loads each generated file into the model with every value
// as generated.
class LoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tabgen-load-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        klip::reset_records();
        klip::standard_units();
        klip::ierrfd("absent-synerr", "absent-zotmer");
        fio::capture_begin();
    }
    void TearDown() override {
        fio::capture_end();
        std::filesystem::remove_all(dir_);
    }
    std::string dir_;
};

TEST_F(LoadTest, SimulatorReaderLoadsEveryShippedTable) {
    for (const char* f : kShipped) {
        Built b = build(f);
        ASSERT_TRUE(b.g);
        const auto& g = *b.g;
        const std::string path = dir_ + "/" + b.m.table + "-bin";
        std::string err;
        ASSERT_TRUE(tabgen::write_atomic(path, tabgen::format_tables(g), err)) << err;
        tables::tablam = tables::Tablam{};
        tables::compac = tables::Compac{};
        tables::parlam = tables::Parlam{};
        tables::bande = tables::Bande{};
        ASSERT_EQ(tables::lila(path, 1), 0) << f;
        const auto& t = tables::tablam;
        ASSERT_EQ(t.NVA, g.t.NVA);
        EXPECT_EQ(tables::compac.NCOMP, g.c.NCOMP);
        EXPECT_EQ(tables::compac.IDRLT1, g.c.IDRLT1);
        EXPECT_TRUE(tables::compac.RLCOMP == g.c.RLCOMP) << f;
        EXPECT_TRUE(tables::compac.RLTCOMP == g.c.RLTCOMP) << f;
        EXPECT_TRUE(t.IDOM == g.t.IDOM && t.IORDL == g.t.IORDL && t.IPLAM == g.t.IPLAM
                    && t.IPTOT == g.t.IPTOT)
            << f;
        EXPECT_TRUE(t.NOMLAM == g.t.NOMLAM && t.NVFL == g.t.NVFL && t.IPHOL == g.t.IPHOL
                    && t.NLDOM == g.t.NLDOM)
            << f;
        EXPECT_TRUE(t.ENMAX == g.t.ENMAX && t.DELTAE == g.t.DELTAE) << f;
        EXPECT_TRUE(tables::parlam.HWIV0 == g.p.HWIV0 && tables::parlam.NZIV0 == g.p.NZIV0) << f;
        EXPECT_TRUE(tables::parlam.HWOPL == g.p.HWOPL && tables::parlam.TEMP == g.p.TEMP) << f;
        EXPECT_TRUE(tables::bande.ENVAL == g.b.ENVAL && tables::bande.ALP == g.b.ALP
                    && tables::bande.IFORV == g.b.IFORV)
            << f;
        EXPECT_TRUE(tables::bande.MEFF == g.b.MEFF && tables::bande.ML == g.b.ML
                    && tables::bande.MT == g.b.MT)
            << f;
        // The names unpack to the mechanism codes the simulator dispatches on.
        for (int k = 1; k <= t.NLAM[1]; ++k)
            EXPECT_EQ(std::string(klip::dgsr40(t.NOMLAM[1][k]).view()), g.lambdas[0][k - 1].name)
                << f;
    }
}

TEST_F(LoadTest, CatalogueFindsEveryShippedTable) {
    for (const char* f : kShipped) {
        Built b = build(f);
        klip::Text<80> found;
        ASSERT_EQ(tables::search(src("examples/replam"), b.m.name, 300.0f, b.m.carrier,
                                 static_cast<float>(b.m.doping), found),
                  0)
            << f;
        EXPECT_EQ(std::string(found.view()).substr(0, 6), b.m.table);
    }
}

TEST(ShippedTables, FilesAreCurrentAndGenerationIsDeterministic) {
    for (const char* f : kShipped) {
        Built a = build(f), b = build(f);
        ASSERT_TRUE(a.g && b.g);
        const std::string text = tabgen::format_tables(*a.g);
        EXPECT_EQ(text, tabgen::format_tables(*b.g)) << f;
        EXPECT_TRUE(text == slurp(src("examples/" + a.m.table + "-bin")))
            << f << ": regenerate examples with tabgen";
        // The end-to-end cases run copies of the shipped tables.
        for (const char* c : {"tabgen_gaas_run", "tabgen_si_load", "tabgen_inp_run"}) {
            const std::string copy =
                src(std::string("tests/e2e/cases/") + c + "/setup/" + a.m.table + "-bin");
            if (std::filesystem::exists(copy)) {
                EXPECT_TRUE(text == slurp(copy)) << copy << " is not the shipped table";
            }
        }
        std::string line, err;
        ASSERT_TRUE(tabgen::catalogue_line(a.m, line, err));
        EXPECT_NE(slurp(src("examples/replam")).find(line + "\n"), std::string::npos) << line;
    }
}

TEST(Catalogue, FixedColumnsAndMerge) {
    tabgen::Material m;
    m.table = "ABCDEF";
    m.name = "GAAS";
    m.carrier = 'E';
    m.temperature = 77.5;
    m.doping = 2.5e17;
    std::string line, err;
    ASSERT_TRUE(tabgen::catalogue_line(m, line, err)) << err;
    EXPECT_EQ(line, "ABCDEF          GAAS             77.5    E     2.5000E+17");
    EXPECT_EQ(line.substr(32, 5), " 77.5");
    EXPECT_EQ(line[41], 'E');
    EXPECT_EQ(line.substr(46, 11), " 2.5000E+17");
    m.temperature = 77.25;
    EXPECT_FALSE(tabgen::catalogue_line(m, line, err));
    EXPECT_NE(err.find("temperature"), std::string::npos);
    const std::string cat =
        "OTHER1          X                300.    E     1.0000E+14\nABCDEF          OLD\n";
    EXPECT_EQ(tabgen::merge_catalogue(cat, "ABCDEF          NEW"),
              "OTHER1          X                300.    E     1.0000E+14\nABCDEF          NEW\n");
    EXPECT_EQ(tabgen::merge_catalogue("", "ABCDEF          NEW"), "ABCDEF          NEW\n");
}

TEST(Names, RadixFortyPacking) {
    EXPECT_EQ(tabgen::pack40("ABC"), 1683);
    EXPECT_EQ(tabgen::pack40("ABC   "), 1683);
    EXPECT_EQ(tabgen::pack40("   A  "), 65536 * 1600);
    EXPECT_EQ(std::string(klip::dgsr40(tabgen::pack40("IV021E")).view()), "IV021E");
}

TEST(Domains, PartitionFollowsTheSteps) {
    const std::vector<double> steps = {1, 1, 1, 1, 10, 10, 10, 10, 100, 100};
    EXPECT_EQ(tabgen::choose_domains(steps, 15, 0), (std::vector<int>{4, 8, 10}));
    EXPECT_EQ(tabgen::choose_domains(steps, 2, 0).size(), 2u);
    EXPECT_EQ(tabgen::choose_domains(steps, 1, 0), (std::vector<int>{10}));
    // A constant total needs no split.
    EXPECT_EQ(tabgen::choose_domains(std::vector<double>(50, 3.0), 15, 0), (std::vector<int>{50}));
}

TEST(Domains, PerDomainTotalsStillBoundTheRates) {
    Built b = build("gaas.mat");
    b.m.total_per_domain = true;
    b.m.reach = 0.05;
    std::string err;
    auto g = tabgen::build_tables(b.m, err);
    ASSERT_TRUE(g) << err;
    EXPECT_TRUE(tabgen::check_tables(*g, err)) << err;
    EXPECT_GT(g->t.NDOM[1], 1);
    EXPECT_LT(g->gamma[0].front(), g->gamma[0].back());
}

// Impact ionisation follows the Keldysh law from a threshold counted from the lowest valley:
// a valley 0.29 eV higher starts ionising 0.29 eV of kinetic energy earlier.
TEST(ShippedTables, IonisationThresholdPerValley) {
    Built b = build("gaas.mat");
    ASSERT_TRUE(b.g);
    for (int v : {0, 1}) {
        const double eth = b.m.ii_threshold - b.m.valleys[v].energy;
        const auto& ls = b.g->lambdas[v];
        int k = 0;
        while (ls[k].kind != tabgen::Kind::ION) ++k;
        // Keldysh: P ((E - Eth)/Eth)^2 is P at twice the threshold.
        EXPECT_NEAR(tabgen::lambda_rate(b.m, v, ls[k], 2 * eth) / b.m.ii_rate, 1.0, 1e-12);
        EXPECT_EQ(tabgen::lambda_rate(b.m, v, ls[k], eth - 0.01), 0.0);
        const auto& col = b.g->rates[v][k];
        const double de = b.m.deltae;
        for (int ie = 1; ie <= static_cast<int>(col.size()); ++ie) {
            if ((ie - 1) * de < eth - 1e-12) {
                EXPECT_EQ(col[ie - 1], 0.0) << ie;
            } else if ((ie - 1) * de > eth + 1e-9) {
                EXPECT_GT(col[ie - 1], 0.0) << ie;
            }
        }
    }
}

// The generator names its lambdas and the simulator derives their kinds from the names: both
// sides must read the same kind out of every name, and the names must unpack as packed.
TEST(ShippedTables, SimulatorReadsTheKindOfEveryLambdaName) {
    for (const char* mat : kShipped) {
        Built b = build(mat);
        ASSERT_TRUE(b.g) << mat;
        for (int iv = 1; iv <= b.g->t.NVA; ++iv)
            for (int k = 1; k <= b.g->t.NLAM[iv]; ++k) {
                const auto& l = b.g->lambdas[iv - 1][k - 1];
                const klip::Text<6> name = klip::dgsr40(b.g->t.NOMLAM[iv][k]);
                EXPECT_EQ(name.view(), l.name) << mat;
                EXPECT_EQ(core::kind_of_name(name.view()), l.kind) << mat << " " << l.name;
            }
    }
}

// The impurity lambda of a degenerate GaAs table: Brooks-Herring with the screening of the
// description's doping, times the fitted correction 1 - 0.55 x^2/(1 + x^2), x = 1e19/5e18.
TEST(ShippedTables, ImpurityLambdaCarriesScreeningAndCorrection) {
    std::string text = slurp(src("examples/materials/gaas.mat")), err;
    const size_t at = text.find("doping          1e14");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 20, "doping          1e19");
    tabgen::Material m;
    ASSERT_TRUE(tabgen::parse_material(text, m, err)) << err;
    EXPECT_GT(m.eta_fermi, 5.0);  // degenerate: EF well above the Gamma edge
    std::vector<std::vector<tabgen::Lambda>> ls;
    ASSERT_TRUE(tabgen::plan_lambdas(m, ls, err)) << err;
    ASSERT_EQ(ls[0][0].kind, tabgen::Kind::IMP);
    const tabgen::phys::Band gam{0.063, 0.61};
    const double bh = tabgen::phys::impurity_momentum(gam, 0.05, 1e19, m.beta2, 12.9);
    EXPECT_NEAR(tabgen::lambda_rate(m, 0, ls[0][0], 0.05) / bh, 1.0 - 0.55 * 4.0 / 5.0, 1e-12);
}
