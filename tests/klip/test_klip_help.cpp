// Help: refusal while paging, the list of mnemonics, one explanation block, screenfuls
// with "SUITE ?", and help files that end too early.
#include <algorithm>

#include "test_klip_fixture.hpp"

namespace klip_test {
namespace {

using namespace klip;

class HelpTest : public KlipTest {
public:
    // The command line "AIDE ..." with its keyword already read, as the command loop leaves it.
    static void command(std::string_view text) {
        line(text);
        Text<10> kw;
        int32_t ln = 0;
        getstm(kw, ln);
    }
    static std::string message(int n) {
        std::ifstream in(shipped("synerr"));
        std::string l;
        for (int i = 0; i <= n; ++i) std::getline(in, l);
        return pad(l, 110).substr(1) + "\n";
    }
    static std::string shown(std::string_view text) { return ecrit(pad(text, 80)); }

    // A help file with mnemonics A and B; B's block holds `lines` numbered lines.
    std::string two_topics(int lines, bool final_marker = true) const {
        std::string s = "A\nB\n--------------------\nTopic A\n--------------------\n";
        for (int i = 1; i <= lines; ++i) s += "line " + std::to_string(i) + "\n";
        if (final_marker) s += "--------------------\n";
        return file("hlp", s);
    }
    static std::string block(int from, int to) {
        std::string s;
        for (int i = from; i <= to; ++i) s += shown("line " + std::to_string(i));
        return s;
    }
};

TEST_F(HelpTest, RefusedWhilePagingAndNoTopic) {
    indic.IPAGE = 1;
    command("AIDE EXIT");
    std::string out = captured([] { help(shipped("zothlp")); });
    // A refused help is reported like any error: through the page header on a fresh page.
    EXPECT_NE(out.find(echo("AIDE EXIT") + message(12)), std::string::npos);
    EXPECT_EQ(cisyn.NERR, 1);

    indic.IPAGE = 0;
    command("AIDE   ");
    out = captured([] { help(shipped("zothlp")); });
    EXPECT_EQ(out, "POUR OBTENIR LA LISTE DES COMMANDES,TAPER AIDE *\n");
}

TEST_F(HelpTest, ListOfMnemonicsThreePerLine) {
    command("AIDE *");
    std::string out = captured([] { help(shipped("zothlp")); });
    auto row = [](std::string_view a, std::string_view b = "", std::string_view c = "") {
        std::string r = pad(a, 20);
        if (!b.empty()) r += pad(b, 20);
        if (!c.empty()) r += pad(c, 20);
        return ecrit(r);
    };
    EXPECT_EQ(out, "   LISTE DES COMMANDES : \n" + row("EXIT", "BIBRET", "Q")
                       + row("DEBUG", "BIBLI", "BATCH") + row("INTER", "ECHO", "TITRE")
                       + row("AIDE", "SUBST", "SYNTAXE") + row("CA", "CONS")
                       + "POUR UNE EXPLICATION DE CES COMMANDES,\nTAPER : AIDE <MNEMONIQUE>\n");
    EXPECT_FALSE(fio::is_open(17));
}

TEST_F(HelpTest, ExplanationOfOneMnemonic) {
    command("aide exit");
    std::string out = captured([] { help(shipped("zothlp")); });
    EXPECT_EQ(out,
              shown("EXIT : fin du programme.")
                  + shown("  Le code de fin est le nombre d'erreurs signalees depuis le debut."));
    EXPECT_FALSE(fio::is_open(17));

    // The command SYNTAXE asks for the topic of the same name: it has its block too.
    command("AIDE SYNTAXE");
    out = captured([] { help(shipped("zothlp")); });
    EXPECT_EQ(out.substr(0, 33), shown("Syntaxe des lignes de commande").substr(0, 33));

    command("AIDE NOSUCH");
    out = captured([] { help(shipped("zothlp")); });
    EXPECT_EQ(out, echo("AIDE NOSUCH") + "      ^\n" + message(4));
    EXPECT_FALSE(fio::is_open(17));
}

TEST_F(HelpTest, LongBlockAsksSuiteEveryScreenful) {
    std::string hlp = two_topics(45);
    const std::string suite = " SUITE ?\n";

    command("AIDE B");
    fio::stdin_from_string("\n   \n");
    std::string out = captured([&] { help(hlp); });
    EXPECT_EQ(out, block(1, 21) + suite + block(22, 42) + suite + block(43, 45));

    command("AIDE B");
    fio::stdin_from_string("\nN\n");
    out = captured([&] { help(hlp); });
    EXPECT_EQ(out, block(1, 21) + suite + block(22, 42) + suite);
    EXPECT_FALSE(fio::is_open(17));

    // End of input at the question stops the listing.
    command("AIDE B");
    fio::stdin_from_string("");
    out = captured([&] { help(hlp); });
    EXPECT_EQ(out, block(1, 21) + suite);
    EXPECT_EQ(cisyn.NERR, 0);

    // Exactly one screenful: no question.
    std::string one = two_topics(21);
    command("AIDE B");
    out = captured([&] { help(one); });
    EXPECT_EQ(out, block(1, 21));

    // The shipped CA block is longer than a screenful.
    command("AIDE CA");
    fio::stdin_from_string("non\n");
    out = captured([] { help(shipped("zothlp")); });
    EXPECT_EQ(out.substr(out.size() - suite.size()), suite);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 22);
}

TEST_F(HelpTest, HelpFileEndingTooEarly) {
    std::string end9 = message(9);

    // The list ends without its marker: the names read are shown, then -9.
    std::string hlp = file("h1", "A\nB\nC\nD\n");
    command("AIDE *");
    std::string out = captured([&] { help(hlp); });
    EXPECT_EQ(out, "   LISTE DES COMMANDES : \n" + ecrit(pad("A", 20) + pad("B", 20) + pad("C", 20))
                       + ecrit(pad("D", 20)) + echo("AIDE *") + end9);

    // The block has no closing marker: its lines are shown, then -9.
    command("AIDE B");
    std::string open_block = two_topics(2, false);
    out = captured([&] { help(open_block); });
    EXPECT_EQ(out, block(1, 2) + echo("AIDE B") + end9);

    // The mnemonic list has no marker and no such name.
    command("AIDE Z");
    out = captured([&] { help(hlp); });
    EXPECT_EQ(out, echo("AIDE Z") + end9);

    // An empty help file.
    std::string empty = file("h2", "");
    command("AIDE *");
    out = captured([&] { help(empty); });
    EXPECT_EQ(out, "   LISTE DES COMMANDES : \n" + echo("AIDE *") + end9);
    EXPECT_EQ(cisyn.NERR, 4);
    EXPECT_FALSE(fio::is_open(17));
}

TEST_F(HelpTest, MissingHelpFileAndBadTopicField) {
    command("AIDE EXIT");
    std::string missing = (dir / "nohelp").string();
    std::string out = captured([&] { help(missing); });
    std::string status = " I/O STATUS : " + fio::fmt_i(2, 12) + " FICHIER : " + missing;
    EXPECT_EQ(out, echo("AIDE EXIT") + message(7) + ecrit(pad(status, 120)));

    command("AIDE ,X");
    out = captured([] { help(shipped("zothlp")); });
    EXPECT_EQ(out, echo("AIDE ,X") + "      ^\n" + message(4));
    EXPECT_FALSE(fio::is_open(17));
}

}  // namespace
}  // namespace klip_test
