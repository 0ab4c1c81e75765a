// Toolkit start, keyword lookup and the option readers.
#include "test_klip_fixture.hpp"

namespace klip_test {
namespace {

using namespace klip;
using KeywordsTest = KlipTest;

constexpr std::string_view kCommands =
    "EXIT                BIBRET              Q                   DEBUG               "
    "BIBLI               BATCH               INTER               ECHO                "
    "TITRE               AIDE                SUBST               SYNTAXE             "
    "CA                  CONS                ";

int lookup(std::string_view typed) {
    KlipTest::line(typed);
    return iclef(kCommands, 14, 20, 0);
}

TEST_F(KeywordsTest, InisynResetsTheRecordsAndWritesTheBanner) {
    cisyn.NLIGNE = 3;
    cisyn.NPAGE = 7;
    cisyn.LTITRE = 5;
    ccsyn.TITRE.set("OLD");
    indic.IPAGE = 1;
    indic.INDERR = -3;
    spcar.SEP.set(";");
    debug.level = 42;
    comlu[4] = 20;  // units already set by the program stay as they are
    std::string out = captured([] { inisyn(); });
    EXPECT_EQ(out, " KLIP 4.1                 \n");
    EXPECT_EQ(cisyn.NLIGNE, 9999);
    EXPECT_EQ(cisyn.NPAGE, 0);
    EXPECT_EQ(cisyn.LTITRE, 1);
    EXPECT_EQ(ccsyn.TITRE.trimmed(), "");
    EXPECT_EQ(indic.IPAGE, 0);
    EXPECT_EQ(indic.INDERR, 0);
    EXPECT_EQ(spcar.SEP.view(), ",= :    ");
    EXPECT_EQ(spcar.SEPF.view(), ",=      ");
    EXPECT_EQ(debug.level, 0);
    EXPECT_EQ(comlu[4], 20);

    comlu.fill(0);
    captured([] { inisyn(); });
    EXPECT_EQ(comlu[1], 6);
    EXPECT_EQ(comlu[2], 5);
    EXPECT_EQ(comlu[3], 5);
    EXPECT_EQ(comlu[4], 12);
}

TEST_F(KeywordsTest, EntryKeywordIsAPrefixOfTheTypedWord) {
    EXPECT_EQ(lookup("EXIT"), 1);
    EXPECT_EQ(lookup("exitnow"), 1);
    EXPECT_EQ(lookup("Q"), 3);
    EXPECT_EQ(lookup("CA,"), 13);
    EXPECT_EQ(lookup("CONS 5"), 14);
    EXPECT_EQ(ccsyn.CLE.view(), "CONS      ");
    // "EX" is shorter than every keyword it could be: nothing matches, no error.
    EXPECT_EQ(lookup("EX"), 0);
    EXPECT_EQ(indic.INDERR, 0);
    // An earlier entry wins: "QUIT" begins with "Q".
    EXPECT_EQ(lookup("QUIT"), 3);
    EXPECT_EQ(lookup(""), 0);
    EXPECT_EQ(indic.INDERR, -3);
    EXPECT_EQ(lookup(",X"), 0);
    EXPECT_EQ(indic.INDERR, -4);
}

TEST_F(KeywordsTest, KeywordIsTenCharactersAndExactMode) {
    constexpr std::string_view table = "ABCDEFGHIJKL";
    line("ABCDEFGHIJXX");
    EXPECT_EQ(iclef(table, 1, 12, 0), 1);
    EXPECT_EQ(ccsyn.CLE.view(), "ABCDEFGHIJ");

    constexpr std::string_view exact = "SET  SETUP";
    line("SETUP");
    EXPECT_EQ(iclef(exact, 2, 5, 1), 2);
    line("SETX");
    EXPECT_EQ(iclef(exact, 2, 5, 1), 0);
    line("SETX");
    EXPECT_EQ(iclef(exact, 2, 5, 0), 1);

    // A blank entry holds no keyword and matches nothing.
    constexpr std::string_view gap = "     SETUP";
    line("ANY");
    EXPECT_EQ(iclef(gap, 2, 5, 0), 0);
    line("SETUP");
    EXPECT_EQ(iclef(gap, 2, 5, 0), 2);
}

TEST_F(KeywordsTest, OptionReaders) {
    struct Case {
        const char* text;
        bool is_list;
        int32_t ind;
        int32_t err;
    };
    const Case cases[] = {
        {"LIST", true, 1, 0}, {"NLIST", true, 0, 0},   {"LISTING", true, 1, 0},
        {"L", true, 1, -8},   {"", true, 1, -8},       {"on", false, 1, 0},
        {"OFF", false, 0, 0}, {"ONWARD", false, 1, 0}, {"YES", false, 0, -5},
        {"", false, 0, -5},   {"1", false, 0, -5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        line(c.text);
        int32_t ind = 7;
        if (c.is_list) {
            list(ind);
        } else {
            onoff(ind);
        }
        EXPECT_EQ(ind, c.ind);
        EXPECT_EQ(indic.INDERR, c.err);
    }
}

}  // namespace
}  // namespace klip_test
