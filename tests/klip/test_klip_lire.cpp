// Line reader: prompt, echo, comments, inline definitions and the command-file stack.
#include "test_klip_fixture.hpp"

namespace klip_test {
namespace {

using namespace klip;
using LireTest = KlipTest;

// The message line of toolkit code `code` as error writes it: columns 2..110 of its line.
std::string synerr_text(int code) {
    std::ifstream in(shipped("synerr"));
    std::string l;
    for (int i = 0; i <= code; ++i) std::getline(in, l);
    return pad(l, 110).substr(1) + "\n";
}

TEST_F(LireTest, TerminalPromptEchoCommentsAndEndOfInput) {
    fio::stdin_from_string("; a comment\nDEBUG 3\n");
    indic.IECHO = 1;
    std::string out = captured([] { lire(); });
    EXPECT_EQ(out, "->" + echo("; a comment") + "->" + echo("DEBUG 3"));
    EXPECT_EQ(ccsyn.BUF.trimmed(), "DEBUG 3");
    EXPECT_EQ(cisyn.IPTR, 1);
    EXPECT_EQ(indic.INDERR, 0);

    out = captured([] { lire(); });
    EXPECT_EQ(out, "->");
    EXPECT_EQ(indic.INDERR, -1);
    EXPECT_EQ(ccsyn.BUF.trimmed(), "");

    // Without echo, a comment only costs a second prompt; a long line keeps 80 columns.
    indic.IECHO = 0;
    std::string longline = std::string(79, 'A') + "BCDE";
    fio::stdin_from_string(";\n" + longline + "\n");
    out = captured([] { lire(); });
    EXPECT_EQ(out, "->->");
    EXPECT_EQ(ccsyn.BUF.view().substr(0, 81), std::string(79, 'A') + "B ");
}

TEST_F(LireTest, InlineDefinitionStoresTheParameter) {
    fio::stdin_from_string("CA <X 10\n<x 20\nSHOW $X,\n");
    std::string out = captured([] { lire(); });
    EXPECT_EQ(out, "->");
    EXPECT_EQ(ccsyn.BUF.trimmed(), "CA ;X 10");
    EXPECT_EQ(cpara.NPARA, 1);
    EXPECT_EQ(cpara.NOMPAR[1], igsr40("X"));
    EXPECT_EQ(cpara.STPARA[1].trimmed(), "10");
    Text<80> f;
    int32_t ln = 0;
    getstr(f, ln);
    EXPECT_EQ(f.trimmed(), "CA");
    getstr(f, ln);
    EXPECT_EQ(indic.INDERR, -3);

    // Redefinition replaces the text; the line holds no command.
    captured([] { lire(); });
    EXPECT_EQ(cpara.NPARA, 1);
    EXPECT_EQ(cpara.STPARA[1].trimmed(), "20");
    getstr(f, ln);
    EXPECT_EQ(indic.INDERR, -3);

    captured([] { lire(); });
    getstr(f, ln);
    getstr(f, ln);
    EXPECT_EQ(f.trimmed(), "20");
}

TEST_F(LireTest, FailedInlineDefinitionIsReportedAndTheLineDropped) {
    fio::stdin_from_string("CA <A.B 1\nNEXT\n");
    std::string out = captured([] { lire(); });
    EXPECT_EQ(out, "->" + echo("CA <A.B 1") + "     ^\n" + synerr_text(11) + "->");
    EXPECT_EQ(ccsyn.BUF.trimmed(), "NEXT");
    EXPECT_EQ(indic.INDERR, 0);
    EXPECT_EQ(cisyn.NERR, 1);
    EXPECT_EQ(cpara.NPARA, 0);
}

TEST_F(LireTest, FullParameterTableRefusesANewName) {
    for (int i = 1; i <= kMaxParams; ++i) {
        cpara.NOMPAR[static_cast<std::size_t>(i)] = igsr40("P" + std::to_string(i));
        cpara.STPARA[static_cast<std::size_t>(i)].set("V");
    }
    cpara.NPARA = kMaxParams;
    fio::stdin_from_string("CA <NEW 1\nCA <P7 2\n");
    std::string out = captured([] { lire(); });
    EXPECT_EQ(out, "->" + echo("CA <NEW 1") + synerr_text(15) + "->");
    EXPECT_EQ(cpara.NPARA, kMaxParams);
    EXPECT_EQ(cisyn.NERR, 1);
    // The second line redefines an existing name: accepted even with a full table.
    EXPECT_EQ(ccsyn.BUF.trimmed(), "CA ;P7 2");
    EXPECT_EQ(cpara.STPARA[7].trimmed(), "2");
}

TEST_F(LireTest, EndOfCommandFileReturnsToThePreviousLevel) {
    std::string f1 = file("cmd1", "F1A\n");
    std::string f2 = file("cmd2", "; comment\nF2A\n");
    ASSERT_EQ(opnold(7, f1), 0);
    ASSERT_EQ(opnold(8, f2), 0);
    comlu[4 + 5] = 0;  // terminal: no echo
    comlu[4 + 7] = 1;  // first file: listed
    comlu[2] = 8;
    indic.IECHO = 0;  // second file: not listed
    fio::stdin_from_string("TERM\n");

    std::string out = captured([] { lire(); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(ccsyn.BUF.trimmed(), "F2A");

    out = captured([] { lire(); });
    EXPECT_EQ(out, echo("F1A"));
    EXPECT_EQ(comlu[2], 7);
    EXPECT_EQ(indic.IECHO, 1);
    EXPECT_FALSE(fio::is_open(8));

    // Unit 6, the output unit, is skipped on the way back to the terminal.
    out = captured([] { lire(); });
    EXPECT_EQ(out, "->");
    EXPECT_EQ(comlu[2], 5);
    EXPECT_EQ(indic.IECHO, 0);
    EXPECT_EQ(ccsyn.BUF.trimmed(), "TERM");
    EXPECT_FALSE(fio::is_open(7));
}

TEST_F(LireTest, DebugUnitIsSkippedToo) {
    std::string f = file("cmd", "");
    comlu[31] = 9;
    ASSERT_EQ(opnold(10, f), 0);
    ASSERT_EQ(opnold(8, file("outer", "OUTER\n")), 0);
    comlu[4 + 8] = 1;
    comlu[2] = 10;
    captured([] { lire(); });
    EXPECT_EQ(comlu[2], 8);
    EXPECT_EQ(indic.IECHO, 1);
    EXPECT_EQ(ccsyn.BUF.trimmed(), "OUTER");
}

}  // namespace
}  // namespace klip_test
