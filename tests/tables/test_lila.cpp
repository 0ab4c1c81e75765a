// The table file reader: loading the shipped small table files, groups across lines,
// empty groups, short and unreadable files, files that do not fit the model, debug lines.
#include <cstring>

#include "tables_fixture.hpp"

namespace {

using namespace tables_test;
using tables::bande;
using tables::charac;
using tables::compac;
using tables::parlam;
using tables::tablam;

// A small valid one-valley table file, one line per group: two lambdas, one domain, three
// energy indexes. IPLAM, IPTOT, IDOM, IORDL, NVFL and IPHOL sit on their limits.
std::vector<std::string> minimal_groups() {
    return {"1",
            "2",
            "1",
            "2",
            "3",
            "6",
            "3",
            "0.25 0.5 0.75 1.0 1.0 1.0",
            "-1.0E-13 -2.0E-13 -3.0E-13",
            "0 3",
            "0",
            "1 1 1",
            "1 2",
            "0.1",
            "0.3",
            std::to_string(klip::igsr40("ACOUST")) + " " + std::to_string(klip::igsr40("SSCATT")),
            "1.5 2.5",
            "1 1",
            "1 4",
            "N",
            "3",
            "1.42",
            "0.067",
            "0.068",
            "0.069",
            "0.0",
            "0.01",
            "5",
            "0",
            "0.61",
            "A",
            "B",
            "300.0",
            "12.9",
            "7.5",
            "8.5",
            "0.036",
            "0.05",
            "11",
            "0.1 0.2 0.3 0.4",
            "1.1 1.2 1.3 1.4",
            "111",
            "0.5 0.6 0.7 0.8",
            "2.1 2.2 2.3 2.4",
            "10.9"};
}

// The line written before the message of a table file that cannot be used.
std::string group_line(const std::string& name, int group) {
    return "  Fichier " + klip::pad(name, 15) + " : groupe no  " + std::to_string(group) + "\n";
}

// Byte copies of the whole model, to compare two loads.
struct Snapshot {
    std::vector<char> bytes;
    template <typename T> void add(const T& rec) {
        const char* p = reinterpret_cast<const char*>(&rec);
        bytes.insert(bytes.end(), p, p + sizeof(T));
    }
};
Snapshot snapshot() {
    Snapshot s;
    s.add(tablam);
    s.add(compac);
    s.add(bande);
    s.add(parlam);
    s.add(charac);
    s.add(tables::cbande);
    return s;
}

// Every condition a valid table file satisfies, checked on the loaded model.
void expect_valid_model() {
    const int nva = tablam.NVA;
    ASSERT_GE(nva, 1);
    for (int iv = 1; iv <= nva; ++iv) {
        SCOPED_TRACE("valley " + std::to_string(iv));
        const int nen = tablam.NEN[iv];
        EXPECT_LE(tablam.IPTOT[iv] + nen, compac.IDRLT1);
        for (int k = 1; k <= tablam.NLAM[iv]; ++k) {
            EXPECT_LE(tablam.IPLAM[iv][k] + nen, compac.NCOMP);
            EXPECT_GE(tablam.NVFL[iv][k], 1);
            EXPECT_LE(tablam.NVFL[iv][k], nva);
        }
        for (int ie = 1; ie <= nen; ++ie) {
            const int j = tablam.IDOM[iv][ie];
            ASSERT_GE(j, 1);
            ASSERT_LE(j, tablam.NDOM[iv]);
            EXPECT_LT(0.0f, compac.RLTCOMP[tablam.IPTOT[iv] + ie] * -1.0f);
            float prev = 0.0f;
            const int n = tablam.NLDOM[iv][j];
            for (int k = 1; k <= n; ++k) {
                const int lam = tablam.IORDL[iv][j][k];
                ASSERT_GE(lam, 1);
                ASSERT_LE(lam, tablam.NLAM[iv]);
                const float v = compac.RLCOMP[tablam.IPLAM[iv][lam] + ie];
                EXPECT_GE(v, prev) << "energy index " << ie << ", position " << k;
                prev = v;
            }
            EXPECT_EQ(prev, 1.0f) << "energy index " << ie;
            EXPECT_EQ(klip::dgsr40(tablam.NOMLAM[iv][tablam.IORDL[iv][j][n]]).view().substr(0, 3),
                      "SSC");
        }
    }
}

// ---------------------------------------------------------------- the shipped files

TEST_F(TablesTest, LoadsTheOneValleyFile) {
    ASSERT_EQ(tables::lila(data_file("ONEVAL-bin"), 1), 0);
    EXPECT_EQ(take(), "");
    EXPECT_EQ(tablam.NVA, 1);
    EXPECT_EQ(tablam.NLAM[1], 5);
    EXPECT_EQ(tablam.NDOM[1], 3);
    EXPECT_EQ(tablam.NLDOM[1][1], 4);
    EXPECT_EQ(tablam.NLDOM[1][2], 5);
    EXPECT_EQ(tablam.NLDOM[1][3], 4);
    EXPECT_EQ(tablam.NEN[1], 40);
    EXPECT_EQ(compac.NCOMP, 200);
    EXPECT_EQ(compac.IDRLT1, 40);
    EXPECT_EQ(compac.RLCOMP[1], 0.129925f);
    EXPECT_EQ(compac.RLCOMP[200], 1.0f);
    EXPECT_EQ(compac.RLTCOMP[1], -4.33085E-13f);
    EXPECT_EQ(tablam.IPLAM[1][5], 160);
    EXPECT_EQ(tablam.IPTOT[1], 0);
    EXPECT_EQ(tablam.IDOM[1][2], 1);
    EXPECT_EQ(tablam.IDOM[1][3], 2);
    EXPECT_EQ(tablam.IDOM[1][40], 3);
    EXPECT_EQ(tablam.IORDL[1][2][1], 4);
    EXPECT_EQ(tablam.IORDL[1][3][4], 5);
    EXPECT_EQ(tablam.DELTAE, 0.025f);
    EXPECT_EQ(tablam.ENMAX[1], 1.0f);
    EXPECT_EQ(tablam.NOMLAM[1][2], klip::igsr40("ACOUST"));
    EXPECT_EQ(tablam.NOMLAM[1][4], klip::igsr40("OPL  E"));
    EXPECT_EQ(tablam.RLPAR[1][3], 3.1f);
    EXPECT_EQ(tables::cbande, 'N');
    EXPECT_EQ(bande.IBMAT, 1);
    EXPECT_EQ(bande.ENGAP, 1.424f);
    EXPECT_EQ(bande.MEFF[1], 0.067f);
    EXPECT_EQ(bande.IBVAL[1], 7);
    EXPECT_EQ(bande.ALP[1], 0.61f);
    EXPECT_EQ(charac.second[1], 'S');
    EXPECT_EQ(charac.first[1], 'G');
    EXPECT_EQ(parlam.TEMP, 300.0f);
    EXPECT_EQ(parlam.RPMAT, 12.9f);
    EXPECT_EQ(parlam.HWOPL, 0.03536f);
    EXPECT_EQ(parlam.EPBF, 10.92f);
    // One valley: the phonon groups hold the four phonons of the pair (1,1) only.
    EXPECT_EQ(parlam.NZIV0[1][1], 11);
    EXPECT_EQ(parlam.NZIV1[1][1], 111);
    for (int p = 1; p <= 4; ++p) {
        EXPECT_FLOAT_EQ(parlam.CPIV0[p][1][1], static_cast<float>(p) + 0.11f);
        EXPECT_FLOAT_EQ(parlam.CPIV1[p][1][1], -(static_cast<float>(p) + 0.11f));
        EXPECT_EQ(parlam.CPIV0[p][1][2], 0.0f);
        EXPECT_EQ(parlam.CPIV0[p][2][1], 0.0f);
    }
    // What the driver completes is left alone.
    EXPECT_EQ(tablam.RLAM[1], 0.0f);
    EXPECT_EQ(tablam.ITYPL[1][1], 0);
    expect_valid_model();
    EXPECT_FALSE(fio::is_open(tables::ulog.table_unit));
}

TEST_F(TablesTest, LoadsTheThreeValleyFileInFileOrder) {
    ASSERT_EQ(tables::lila(data_file("TRIVAL-bin"), 1), 0);
    EXPECT_EQ(tablam.NVA, 3);
    EXPECT_EQ(tablam.NLAM[1], 7);
    EXPECT_EQ(tablam.NLAM[3], 3);
    EXPECT_EQ(tablam.NLDOM[1][4], 7);
    EXPECT_EQ(tablam.NLDOM[2][2], 2);
    EXPECT_EQ(tablam.IPLAM[2][1], 420);
    EXPECT_EQ(tablam.IPTOT[3], 120);
    EXPECT_EQ(tablam.IDOM[2][37], 1);
    EXPECT_EQ(tablam.IDOM[2][38], 2);
    EXPECT_EQ(tablam.IORDL[1][4][6], 6);
    EXPECT_EQ(tablam.NVFL[1][5], 2);
    EXPECT_EQ(tablam.NVFL[1][6], 3);
    EXPECT_EQ(tablam.IPHOL[1][6], 2);
    EXPECT_EQ(tablam.NOMLAM[2][3], klip::igsr40("IV0G A"));
    EXPECT_EQ(bande.ENVAL[3], 0.48f);
    EXPECT_EQ(bande.ML[2], 1.9f);
    EXPECT_EQ(bande.MT[2], 0.075f);
    EXPECT_EQ(std::string(&charac.second[1], 3), "GLX");
    EXPECT_EQ(std::string(&charac.first[1], 3), "143");
    // Pair and phonon arrays: (jv, iv, p) with jv varying fastest, then iv, then p.
    for (int iv = 1; iv <= 3; ++iv) {
        for (int jv = 1; jv <= 3; ++jv) {
            EXPECT_EQ(parlam.NZIV0[iv][jv], 10 * iv + jv);
            EXPECT_EQ(parlam.NZIV1[iv][jv], 100 + 10 * iv + jv);
            for (int p = 1; p <= 4; ++p) {
                EXPECT_FLOAT_EQ(parlam.CPIV0[p][iv][jv],
                                static_cast<float>(p) + iv / 10.0f + jv / 100.0f);
            }
        }
    }
    EXPECT_EQ(parlam.HWIV0[1][1][2], 0.3178f);   // emission from valley 1 to valley 2
    EXPECT_EQ(parlam.HWIV0[2][3][1], -0.4501f);  // emission from valley 3 to valley 1
    expect_valid_model();
}

TEST_F(TablesTest, LoadsTheFourValleyFile) {
    ASSERT_EQ(tables::lila(data_file("QUAVAL-bin"), 1), 0);
    EXPECT_EQ(tablam.NVA, 4);
    EXPECT_EQ(bande.IFORV[1], 1);
    EXPECT_EQ(bande.IFORV[3], 3);
    EXPECT_EQ(bande.IFORV[4], 0);
    EXPECT_EQ(tablam.NVFL[3][2], 1);
    EXPECT_EQ(tablam.NVFL[4][4], 1);
    EXPECT_EQ(tablam.IPHOL[4][2], 4);
    EXPECT_EQ(parlam.HWIV1[3][1][4], 0.13f);
    EXPECT_EQ(parlam.HWIV1[3][4][1], -0.07f);
    EXPECT_EQ(parlam.HWIV0[2][2][3], 0.047f);
    EXPECT_EQ(parlam.NZIV0[4][3], 43);
    EXPECT_FLOAT_EQ(parlam.CPIV1[4][2][4], -4.24f);
    EXPECT_EQ(parlam.EPBF, 11.7f);
    expect_valid_model();
}

TEST_F(TablesTest, GroupsAcrossLinesLoadLikeGroupsOnOneLine) {
    ASSERT_EQ(tables::lila(data_file("TRIVAL-bin"), 1), 0);
    Snapshot plain = snapshot();
    reset_model();
    ASSERT_EQ(tables::lila(data_file("SPLITV-bin"), 1), 0);
    Snapshot split = snapshot();
    EXPECT_TRUE(plain.bytes == split.bytes);
}

// A group of no value (a count of zero or below) still takes its line, whatever it holds.
TEST_F(TablesTest, EmptyGroupsStillTakeTheirLine) {
    for (const char* count : {"0", "-3"}) {
        SCOPED_TRACE(count);
        reset_model();
        auto g = minimal_groups();
        g[1] = count;  // NLAM
        g[3] = count;  // NLDOM
        g[5] = count;  // NCOMP
        for (int k : {8, 10, 13, 16, 17, 18, 19}) g[static_cast<size_t>(k - 1)] = "rien ici";
        g[11] = "1 1 1";
        write_lines("vide-bin", g);
        ASSERT_EQ(tables::lila("vide-bin", 1), 0) << take();
        EXPECT_EQ(tablam.NLAM[1], std::stoi(count));
        EXPECT_EQ(compac.NCOMP, std::stoi(count));
        EXPECT_EQ(tablam.DELTAE, 0.1f);
        EXPECT_EQ(tables::cbande, 'N');
        EXPECT_EQ(bande.IBMAT, 3);
        EXPECT_EQ(parlam.EPBF, 10.9f);
    }
}

// ---------------------------------------------------------------- files that cannot be used

TEST_F(TablesTest, MissingFileLeavesTheModelAlone) {
    tablam.NVA = 2;
    EXPECT_EQ(tables::lila("absent-bin", 1), 1);
    EXPECT_EQ(tablam.NVA, 2);
    std::string out = take();
    EXPECT_NE(out.find(error_line(-7)), std::string::npos) << out;
    EXPECT_NE(out.find(" I/O STATUS : "), std::string::npos) << out;
    EXPECT_EQ(out.find("groupe no"), std::string::npos) << out;
}

TEST_F(TablesTest, OnlyMaterialOneExists) {
    EXPECT_EQ(tables::lila(data_file("ONEVAL-bin"), 2), 1);
    EXPECT_EQ(take(), " LILA: numero de materiau hors limites :  2\n");
    EXPECT_EQ(tablam.NVA, 0);
}

TEST_F(TablesTest, ShortFileReportsTheGroupAndKeepsWhatWasLoaded) {
    const auto g = minimal_groups();
    for (int missing : {1, 2, 8, 13, 20, 31, 32, 45}) {
        SCOPED_TRACE(missing);
        reset_model();
        parlam.EPBF = -1.0f;
        write_lines("court-bin", std::vector<std::string>(g.begin(), g.begin() + (missing - 1)));
        EXPECT_EQ(tables::lila("court-bin", 1), 1);
        EXPECT_EQ(take(), group_line("court-bin", missing) + " " + std::string(78, ' ') + "\n"
                              + error_line(4));
        EXPECT_EQ(tablam.NVA, missing > 1 ? 1 : 0);
        EXPECT_EQ(parlam.TEMP, missing > 33 ? 300.0f : 0.0f);
        EXPECT_EQ(parlam.EPBF, -1.0f);
        EXPECT_FALSE(fio::is_open(tables::ulog.table_unit));
    }
    EXPECT_EQ(klip::cisyn.NERR, 8);
}

TEST_F(TablesTest, FileEndingInsideAGroup) {
    auto g = minimal_groups();
    g.resize(8);
    g[7] = "0.25 0.5\n0.75";  // three of the six values of group 8
    write_lines("court-bin", g);
    EXPECT_EQ(tables::lila("court-bin", 1), 1);
    EXPECT_NE(take().find(group_line("court-bin", 8)), std::string::npos);
    EXPECT_EQ(compac.RLCOMP[1], 0.0f);
    EXPECT_EQ(compac.IDRLT1, 3);
}

TEST_F(TablesTest, UnreadableValueReportsItsGroup) {
    struct Case {
        int group;
        const char* text;
    };
    for (const Case& c : {Case{2, "deux"}, Case{5, "3.0"}, Case{8, "0.25 0.5 0.75 1.0 inf 1.0"},
                          Case{14, "0.1.2"}, Case{16, "12 3.5"}, Case{39, "2147483648"}}) {
        SCOPED_TRACE(c.group);
        reset_model();
        auto g = minimal_groups();
        g[static_cast<size_t>(c.group - 1)] = c.text;
        write_lines("mal-bin", g);
        EXPECT_EQ(tables::lila("mal-bin", 1), 1);
        std::string out = take();
        EXPECT_NE(out.find(group_line("mal-bin", c.group)), std::string::npos) << out;
        EXPECT_NE(out.find(error_line(4)), std::string::npos) << out;
    }
}

// Each check of the content: the group is refused before anything of it is stored.
struct Inconsistent {
    int group;
    const char* text;
    int32_t* field;  // the first field the group would store
};

class InconsistentFile : public TablesTest, public ::testing::WithParamInterface<Inconsistent> {};

TEST_P(InconsistentFile, IsRefusedBeforeTheGroupIsStored) {
    const Inconsistent& c = GetParam();
    auto g = minimal_groups();
    g[static_cast<size_t>(c.group - 1)] = c.text;
    write_lines("faux-bin", g);
    if (c.field != nullptr) *c.field = -99;
    tablam.DELTAE = -5.0f;
    EXPECT_EQ(tables::lila("faux-bin", 1), 1);
    EXPECT_EQ(take(),
              group_line("faux-bin", c.group) + " " + std::string(78, ' ') + "\n" + error_line(5));
    if (c.field != nullptr) {
        EXPECT_EQ(*c.field, -99);
    }
    if (c.group == 14) {
        EXPECT_EQ(tablam.DELTAE, -5.0f);
    }
    if (c.group > 1) {
        EXPECT_EQ(tablam.NVA, 1);  // groups before it stay loaded
    }
    EXPECT_FALSE(fio::is_open(tables::ulog.table_unit));
}

INSTANTIATE_TEST_SUITE_P(
    Groups, InconsistentFile,
    ::testing::Values(
        Inconsistent{1, "0", &tablam.NVA}, Inconsistent{1, "5", &tablam.NVA},
        Inconsistent{2, "41", &tablam.NLAM[1]}, Inconsistent{3, "16", &tablam.NDOM[1]},
        Inconsistent{4, "41", &tablam.NLDOM[1][1]}, Inconsistent{5, "1501", &tablam.NEN[1]},
        Inconsistent{6, "80001", &compac.NCOMP}, Inconsistent{7, "5001", &compac.IDRLT1},
        Inconsistent{10, "0 4", &tablam.IPLAM[1][1]}, Inconsistent{10, "-1 0", &tablam.IPLAM[1][1]},
        Inconsistent{11, "1", &tablam.IPTOT[1]}, Inconsistent{11, "-1", &tablam.IPTOT[1]},
        Inconsistent{12, "1 2 1", &tablam.IDOM[1][1]},
        Inconsistent{12, "0 1 1", &tablam.IDOM[1][1]},
        Inconsistent{13, "1 3", &tablam.IORDL[1][1][1]},
        Inconsistent{13, "0 2", &tablam.IORDL[1][1][1]}, Inconsistent{14, "0.0", nullptr},
        Inconsistent{14, "-0.1", nullptr}, Inconsistent{18, "1 2", &tablam.NVFL[1][1]},
        Inconsistent{18, "0 1", &tablam.NVFL[1][1]}, Inconsistent{19, "1 5", &tablam.IPHOL[1][1]},
        Inconsistent{19, "0 1", &tablam.IPHOL[1][1]}));

// A valley filled to every capacity of the model loads.
TEST_F(TablesTest, CountsOnTheCapacitiesAreAccepted) {
    auto g = minimal_groups();
    auto repeat = [](const std::string& v, int n) {
        std::string s;
        for (int k = 0; k < n; ++k) s += (k == 0 ? "" : (k % 20 == 0 ? "\n" : " ")) + v;
        return s;
    };
    g[1] = "40";
    g[2] = "15";
    g[3] = repeat("40", 15);
    g[4] = "1500";
    g[5] = "80000";
    g[6] = "5000";
    g[7] = repeat("1.0", 80000);
    g[8] = repeat("-1.0E-13", 5000);
    g[9] = repeat("78500", 40);
    g[10] = "3500";
    g[11] = repeat("15", 1500);
    g[12] = repeat("40", 600);
    for (int k : {16, 17, 18, 19}) g[static_cast<size_t>(k - 1)] = repeat(k == 19 ? "4" : "1", 40);
    write_lines("plein-bin", g);
    ASSERT_EQ(tables::lila("plein-bin", 1), 0) << take();
    EXPECT_EQ(tablam.IORDL[1][15][40], 40);
    EXPECT_EQ(tablam.IDOM[1][1500], 15);
    EXPECT_EQ(compac.RLCOMP[80000], 1.0f);
    EXPECT_EQ(compac.RLTCOMP[5000], -1.0E-13f);
    EXPECT_EQ(tablam.IPHOL[1][40], 4);
    EXPECT_EQ(parlam.EPBF, 10.9f);
}

// ---------------------------------------------------------------- debug lines

TEST_F(TablesTest, DebugLinesFromLevelFive) {
    klip::debug.level = 4;
    ASSERT_EQ(tables::lila(data_file("ONEVAL-bin"), 1), 0);
    EXPECT_EQ(take(), "");
    klip::debug.level = 5;
    ASSERT_EQ(tables::lila(data_file("ONEVAL-bin"), 1), 0);
    EXPECT_EQ(take(),
              " LILA: materiau no   1\n"
              " LILA: NVA lu =   1\n"
              " LILA: EPBF lu =     10.9200\n");
}

TEST_F(TablesTest, DebugLinesGoToTheDebugUnit) {
    klip::debug.level = 5;
    klip::comlu[31] = 40;
    ASSERT_EQ(fio::open_new(40, "trace"), 0);
    ASSERT_EQ(tables::lila(data_file("ONEVAL-bin"), 1), 0);
    fio::close(40);
    EXPECT_EQ(take(), "");
    std::ifstream in("trace");
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, " LILA: materiau no   1");
}

}  // namespace
