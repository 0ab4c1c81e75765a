// The repository search: matching rules, the catalogue's fixed columns and numeric fields,
// the not-found message, the trace lines, and the shipped catalogue.
#include "tables_fixture.hpp"

namespace {

using namespace tables_test;

// One catalogue record in its columns: name 1-12, material 17-28, temperature 33-37,
// carrier 42, doping 47-57.
std::string record(const std::string& name, const std::string& mat, const std::string& temp,
                   char type, const std::string& dop) {
    return klip::pad(name, 12) + "    " + klip::pad(mat, 12) + "    " + klip::pad(temp, 5) + "    "
           + std::string(1, type) + "    " + dop;
}

class SearchTest : public TablesTest {
protected:
    // Runs the search on a catalogue of these records; the found name, trimmed, or "-".
    std::string find(const std::vector<std::string>& records, const std::string& mat, float temp,
                     char type, float dop) {
        write_lines("replam", records);
        klip::Text<80> nfidat;
        nfidat.set("inchange");
        int rc = tables::search("replam", mat, temp, type, dop, nfidat);
        EXPECT_FALSE(fio::is_open(tables::ulog.catalogue_unit));
        return rc == 0 ? std::string(nfidat.trimmed()) : "-";
    }
};

TEST_F(SearchTest, FirstFittingRecordWins) {
    EXPECT_EQ(find({record("AUTRE1", "INP", "300.", 'E', "1.0000E+17"),
                    record("PREMIE", "GAAS", "300.", 'E', "1.0000E+17"),
                    record("SECOND", "GAAS", "300.", 'E', "1.0000E+17")},
                   "GAAS", 300.0f, 'E', 1.0e17f),
              "PREMIE");
    EXPECT_EQ(take(), "");
}

TEST_F(SearchTest, CarrierTypeMustAgree) {
    std::vector<std::string> cat = {record("TROUS", "GAAS", "300.", 'T', "1.0000E+17"),
                                    record("ELECS", "GAAS", "300.", 'E', "1.0000E+17")};
    EXPECT_EQ(find(cat, "GAAS", 300.0f, 'E', 1.0e17f), "ELECS");
    EXPECT_EQ(find(cat, "GAAS", 300.0f, 'T', 1.0e17f), "TROUS");
}

TEST_F(SearchTest, DopingWithinOnePercent) {
    std::vector<std::string> cat = {record("LOIN", "GAAS", "300.", 'E', "1.0200E+17"),
                                    record("PRES", "GAAS", "300.", 'E', "1.0050E+17")};
    EXPECT_EQ(find(cat, "GAAS", 300.0f, 'E', 1.0e17f), "PRES");
    EXPECT_EQ(find({cat[0]}, "GAAS", 300.0f, 'E', 1.0e17f), "-");
}

TEST_F(SearchTest, ZeroDopingMatchesOnlyZero) {
    std::vector<std::string> cat = {record("PEU", "GAAS", "300.", 'E', "1.0000E-30"),
                                    record("ZERO", "GAAS", "300.", 'E', "0.0000E+00")};
    EXPECT_EQ(find(cat, "GAAS", 300.0f, 'E', 0.0f), "ZERO");
    // A short line: the doping field is blank, hence zero.
    EXPECT_EQ(find({cat[0], record("COURT", "GAAS", "300.", 'E', "")}, "GAAS", 300.0f, 'E', 0.0f),
              "COURT");
}

TEST_F(SearchTest, TemperatureMustBeEqual) {
    std::vector<std::string> cat = {record("DEMI", "GAAS", "300.5", 'E', "1.0000E+17"),
                                    record("ENTIER", "GAAS", "  300", 'E', "1.0000E+17")};
    EXPECT_EQ(find(cat, "GAAS", 300.0f, 'E', 1.0e17f), "ENTIER");
    EXPECT_EQ(find(cat, "GAAS", 300.5f, 'E', 1.0e17f), "DEMI");
    // Blanks inside a numeric field are ignored; an integer field has no implied decimals.
    EXPECT_EQ(
        find({record("BLANCS", "GAAS", "3 0 0", 'E', "1.0000E+17")}, "GAAS", 300.0f, 'E', 1.0e17f),
        "BLANCS");
    EXPECT_EQ(find({record("ZERO", "GAAS", "", 'E', "1.0000E+17")}, "GAAS", 0.0f, 'E', 1.0e17f),
              "ZERO");
}

TEST_F(SearchTest, NamesAreComparedUpToTheirFirstBlank) {
    std::vector<std::string> cat = {record("LONG", "GAASP", "300.", 'E', "1.0000E+17"),
                                    record("COURT", "GA", "300.", 'E', "1.0000E+17"),
                                    record("EXACT", "GAAS", "300.", 'E', "1.0000E+17")};
    EXPECT_EQ(find(cat, "GAAS", 300.0f, 'E', 1.0e17f), "EXACT");
    EXPECT_EQ(find(cat, "GAASP", 300.0f, 'E', 1.0e17f), "LONG");
    EXPECT_EQ(find(cat, "GA AS", 300.0f, 'E', 1.0e17f), "COURT");
    EXPECT_EQ(find({record("X", "GA XYZ", "300.", 'E', "1.0000E+17")}, "GA", 300.0f, 'E', 1.0e17f),
              "X");
    EXPECT_EQ(find({cat[0]}, "GAAS", 300.0f, 'E', 1.0e17f), "-");
}

TEST_F(SearchTest, DopingFieldForms) {
    auto one = [&](const std::string& dop, float want) {
        return find({record("OUI", "SI", "300.", 'E', dop)}, "SI", 300.0f, 'E', want);
    };
    EXPECT_EQ(one("1.0E+17", 1.0e17f), "OUI");
    EXPECT_EQ(one("1.0e17", 1.0e17f), "OUI");
    EXPECT_EQ(one("1.0D+17", 1.0e17f), "OUI");
    EXPECT_EQ(one("1.0d17", 1.0e17f), "OUI");
    EXPECT_EQ(one("1.0+17", 1.0e17f), "OUI");
    EXPECT_EQ(one(" 1 .0E+1 7", 1.0e17f), "OUI");
    EXPECT_EQ(one("2.5-3", 2.5e-3f), "OUI");
    EXPECT_EQ(one("-1.0E+15", -1.0e15f), "OUI");
    // Without an exponent the value is divided by ten.
    EXPECT_EQ(one("1000", 100.0f), "OUI");
    EXPECT_EQ(one("1000", 1000.0f), "-");
    EXPECT_EQ(one("2.5", 0.25f), "OUI");
}

TEST_F(SearchTest, UnreadableRecordEndsTheSearch) {
    const std::string good = record("BON", "GAAS", "300.", 'E', "1.0000E+17");
    for (const std::string& bad :
         {record("MAL", "GAAS", "300.", 'E', "1.0X17"),
          record("MAL", "GAAS", "3OO.", 'E', "1.0000E+17"),
          record("MAL", "GAAS", "300.", 'E', "1.0E"),
          record("MAL", "GAAS", "300.", 'E', "1.0E+17+3"), record("MAL", "GAAS", "300.", 'E', "."),
          record("MAL", "GAAS", "300.", 'E', "1.0E+99")}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(find({bad, good}, "GAAS", 300.0f, 'E', 1.0e17f), "-");
        EXPECT_NE(take().find("Il n'existe pas"), std::string::npos);
    }
}

TEST_F(SearchTest, NotFoundMessage) {
    EXPECT_EQ(
        find({record("AUTRE", "INP", "300.", 'E', "1.0000E+17")}, "GAAS", 77.0f, 'T', 1.0e17f),
        "-");
    EXPECT_EQ(take(),
              " Il n'existe pas de donnees sur      GAAS         de type T  A  T=   77.K\n"
              " CONSEIL : Utiliser la clef REP pour reperer un fichier modele\n"
              " et utilisez le au cours de la creation (CRE)...\n");
    // An empty catalogue says the same.
    EXPECT_EQ(find({}, "GAAS", 300.0f, 'E', 1.0e17f), "-");
    EXPECT_NE(take().find("T=  300.K"), std::string::npos);
}

TEST_F(SearchTest, MissingCatalogue) {
    klip::Text<80> nfidat;
    EXPECT_EQ(tables::search("absent-replam", "GAAS", 300.0f, 'E', 1.0e17f, nfidat), 1);
    std::string out = take();
    EXPECT_NE(out.find(error_line(-7)), std::string::npos) << out;
    EXPECT_EQ(out.find("Il n'existe pas"), std::string::npos) << out;
}

TEST_F(SearchTest, TraceLinesFromLevelTwo) {
    const std::vector<std::string> cat = {record("GAAS-1", "GAAS", "300.", 'E', "1.0000E+17")};
    klip::debug.level = 1;
    EXPECT_EQ(find(cat, "GAAS", 300.0f, 'E', 1.0e17f), "GAAS-1");
    EXPECT_EQ(take(), "");
    klip::debug.level = 2;
    EXPECT_EQ(find(cat, "GAASP", 300.0f, 'E', 1.0e17f), "-");
    std::string out = take();
    EXPECT_EQ(out.substr(0, out.find(" Il n'existe")),
              " " + klip::pad("GAAS-1", 80) + "\n" +
                  " GAAS            300.000E    1.00000E+17\n"
                  " INOM=  6  ;   IN=  5\n");
}

// The shipped catalogue names the shipped table files.
TEST_F(SearchTest, ShippedCatalogueFindsEachTableFile) {
    struct Entry {
        const char* mat;
        char type;
        float dop;
        const char* file;
    };
    for (const Entry& e :
         {Entry{"GAAS1V", 'E', 1.0e17f, "ONEVAL"}, Entry{"GAAS1V", 'T', 1.0e17f, "ONEVAL"},
          Entry{"GAAS", 'E', 1.0e17f, "TRIVAL"}, Entry{"SI4V", 'E', 1.0e15f, "QUAVAL"},
          Entry{"GAASSP", 'E', 1.0e17f, "SPLITV"}}) {
        SCOPED_TRACE(e.mat);
        reset_model();
        klip::Text<80> nfidat;
        ASSERT_EQ(tables::search(data_file("replam"), e.mat, 300.0f, e.type, e.dop, nfidat), 0);
        EXPECT_EQ(nfidat.trimmed(), e.file);
        EXPECT_EQ(tables::lila(data_file(std::string(nfidat.view().substr(0, 6)) + "-bin"), 1), 0);
        EXPECT_EQ(tables::parlam.TEMP, 300.0f);
    }
    EXPECT_EQ(take(), "");
}

}  // namespace
