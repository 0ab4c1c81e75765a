// Numbered messages and their fallbacks, paginated lines, opening existing files,
// banner, orderly end and the debug traces.
#include <algorithm>
#include <ctime>
#include <regex>
#include <sstream>

#include "test_klip_fixture.hpp"

namespace klip_test {
namespace {

using namespace klip;
using MessagesTest = KlipTest;

constexpr const char* kHeader = "KLIP message file, level '4.1'\n";

std::string message_line(const char* file, int n) {
    std::ifstream in(shipped(file));
    std::string l;
    for (int i = 0; i <= n; ++i) std::getline(in, l);
    return pad(l, 110).substr(1) + "\n";
}

std::string erreur(int32_t code) { return "ERREUR" + fio::fmt_i(code, 12) + "\n"; }

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST_F(MessagesTest, ErrorZeroWritesNothing) {
    std::string out = captured([] { EXPECT_EQ(error(0), 0); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(cisyn.NERR, 0);
}

TEST_F(MessagesTest, FieldErrorShowsTheCaretUnderTheField) {
    line("DEBUG X");
    int32_t n = 0;
    Text<80> word;
    int32_t ln = 0;
    getstr(word, ln);
    getint(n);
    ASSERT_EQ(indic.INDERR, -2);
    std::string out = captured([] { EXPECT_EQ(error(indic.INDERR), 1); });
    EXPECT_EQ(out, echo("DEBUG X") + "       ^\n" + message_line("synerr", 2));
    EXPECT_EQ(cisyn.NERR, 1);
}

TEST_F(MessagesTest, PlainProgramMessageHasNoCaret) {
    line("CA");
    cisyn.IPTR0 = 1;
    std::string out = captured([] { EXPECT_EQ(error(6), 1); });
    EXPECT_EQ(out, echo("CA") + message_line("zotmer", 6));
}

TEST_F(MessagesTest, UnknownTypeAndCaretLimits) {
    ierrfd(file("msg", std::string(kHeader) + "7 ODD TYPE\n1 FIELD\n"), "");
    line("A BC");
    cisyn.IPTR0 = 3;
    std::string out = captured([] { error(-1); });
    EXPECT_EQ(out, echo("A BC") + "TYPE D'ERREUR INCONNU : " + fio::fmt_i(7, 12) + "\n" + "   ^\n"
                       + pad(" ODD TYPE", 109) + "\n");

    cisyn.IPTR0 = 110;
    out = captured([] { error(-2); });
    EXPECT_EQ(out, echo("A BC") + std::string(110, ' ') + "^\n" + pad(" FIELD", 109) + "\n");
    cisyn.IPTR0 = 111;
    out = captured([] { error(-2); });
    EXPECT_EQ(out, echo("A BC") + pad(" FIELD", 109) + "\n");
    cisyn.IPTR0 = 0;
    out = captured([] { error(-2); });
    EXPECT_EQ(out, echo("A BC") + pad(" FIELD", 109) + "\n");
}

TEST_F(MessagesTest, MessageFileFallbacks) {
    line("X");
    struct Case {
        std::string content;
        const char* kind;  // what error writes before the ERREUR line
    };
    const Case cases[] = {
        {"KLIP message file, level '4.2'\n1 A\n1 B\n", "incompatible"},
        {"KLIP message file\n1 A\n1 B\n", "incompatible"},
        {"'4.1\n1 A\n1 B\n", "incompatible"},
        {std::string(kHeader) + "1 A\n", "short"},
        {"", "short"},
    };
    int errors = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        std::string path = file("synerr", c.content);
        ierrfd(path, "");
        std::string name = pad(path, 80);
        std::string before = std::string(c.kind) == "short"
                                 ? "ERREUR DE FORMAT FICHIER ERREUR " + name + "\n"
                                 : "LE FICHIER " + name + " EST INCOMPATIBLE\n";
        std::string out = captured([] { EXPECT_EQ(error(-2), 1); });
        EXPECT_EQ(out, echo("X") + before + erreur(-2));
        EXPECT_EQ(cisyn.NERR, ++errors);
    }

    // A file that cannot be opened: only the ERREUR line.
    ierrfd((dir / "missing").string(), (dir / "missing").string());
    std::string out = captured([] { EXPECT_EQ(error(4), 1); });
    EXPECT_EQ(out, echo("X") + erreur(4));

    // The toolkit's incoherent-field code has no line of its own in the message file.
    ierrfd(shipped("synerr"), shipped("zotmer"));
    out = captured([] { error(-1000); });
    EXPECT_EQ(out, echo("X") + "ERREUR DE FORMAT FICHIER ERREUR " + pad(shipped("synerr"), 80)
                       + "\n" + erreur(-1000));
    out = captured([] { error(INT32_MIN); });
    EXPECT_NE(out.find(erreur(INT32_MIN)), std::string::npos);
}

TEST_F(MessagesTest, ShippedMessageFilesCoverEveryCode) {
    line("CMD FIELD");
    cisyn.IPTR0 = 5;
    const int field_errors[] = {2, 3, 4, 5, 8, 11, 14, 16};
    for (int n = 1; n <= 16; ++n) {
        SCOPED_TRACE(n);
        std::string out = captured([n] { error(-n); });
        bool caret = std::find(std::begin(field_errors), std::end(field_errors), n)
                     != std::end(field_errors);
        EXPECT_EQ(out, echo("CMD FIELD") + (caret ? "     ^\n" : "") + message_line("synerr", n));
        EXPECT_NE(message_line("synerr", n).substr(1, 3), "   ");
    }
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE(n);
        std::string out = captured([n] { error(n); });
        EXPECT_EQ(out, echo("CMD FIELD") + message_line("zotmer", n));
    }
}

TEST_F(MessagesTest, MessageLineWithoutTypeDigitEndsTheProgram) {
    std::string msgs = file("synerr", std::string(kHeader) + "X NO TYPE\n");
    std::string out = (dir / "stdout").string();
    line("Z");
    EXPECT_EXIT(
        {
            ierrfd(msgs, "");
            std::freopen(out.c_str(), "w", stdout);
            error(-1);
        },
        ::testing::ExitedWithCode(2), "");
    EXPECT_EQ(slurp(out),
              echo("Z") + "ERREUR NON REPERTORIEE\n Fin d'execution. Code de fin :   2\n");
}

TEST_F(MessagesTest, UexitWritesTheEndLineAndExits) {
    std::string out = (dir / "stdout").string();
    EXPECT_EXIT(
        {
            std::freopen(out.c_str(), "w", stdout);
            dial(6, "->");
            uexit(3);
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_EQ(slurp(out), "-> Fin d'execution. Code de fin :   3\n");

    // 256 errors must not end as a success.
    EXPECT_EXIT(
        {
            std::freopen(out.c_str(), "w", stdout);
            uexit(256);
        },
        ::testing::ExitedWithCode(255), "");
    EXPECT_EQ(slurp(out), " Fin d'execution. Code de fin : 256\n");
}

TEST_F(MessagesTest, PagedOutputHeaders) {
    indic.IPAGE = 1;
    ccsyn.TITRE.set("ESSAI");
    cisyn.LTITRE = 5;
    std::string out = captured([] {
        for (int i = 1; i <= 57; ++i) ecrire("L" + std::to_string(i), 6);
    });
    auto header = [](int page, const std::string& title) {
        return "1" + std::string(9, ' ') + pad(title, 59) + "PAGE:" + fio::fmt_i(page, 4)
               + "\n\n\n";
    };
    std::string want = header(1, "ESSAI");
    for (int i = 1; i <= 56; ++i) want += " L" + std::to_string(i) + "\n";
    want += header(2, "ESSAI") + " L57\n";
    EXPECT_EQ(out, want);
    EXPECT_EQ(cisyn.NLIGNE, 4);
    EXPECT_EQ(cisyn.NPAGE, 2);

    // A long title stops at column 69; the text of a line stops at 78 columns.
    ccsyn.TITRE.set(std::string(80, 'T'));
    cisyn.LTITRE = 80;
    cisyn.NLIGNE = 59;
    out = captured([] { ecrire(std::string(90, 'x'), 6); });
    EXPECT_EQ(out, header(3, std::string(59, 'T')) + " " + std::string(78, 'x') + "\n");

    indic.IPAGE = 0;
    cisyn.NLIGNE = 100;
    out = captured([] { ecrire("plain", 6); });
    EXPECT_EQ(out, " plain\n");
    EXPECT_EQ(cisyn.NLIGNE, 101);
}

TEST_F(MessagesTest, OpnoldRetriesInLowerCase) {
    file("lower.dat", "content\n");
    fs::path cwd = fs::current_path();
    fs::current_path(dir);
    std::string out = captured([] { EXPECT_EQ(opnold(7, "LOWER.DAT"), 0); });
    fs::current_path(cwd);
    EXPECT_EQ(out, "");
    std::string l;
    ASSERT_TRUE(fio::read_line(7, l));
    EXPECT_EQ(l, "content");
}

TEST_F(MessagesTest, OpnoldFailureReportsTheStatus) {
    line("BIBLI NOFILE");
    cisyn.IPTR0 = 7;
    std::string out = captured([] { EXPECT_EQ(opnold(7, "NOFILE"), 1); });
    std::string status = " I/O STATUS : " + fio::fmt_i(2, 12) + " FICHIER : NOFILE";
    EXPECT_EQ(out, echo("BIBLI NOFILE") + message_line("synerr", 7) + ecrit(pad(status, 120)));
    EXPECT_FALSE(fio::is_open(7));
    EXPECT_EQ(cisyn.NERR, 1);

    std::string d = dir.string();
    out = captured([&] { EXPECT_EQ(opnold(7, d), 1); });
    EXPECT_NE(out.find(" I/O STATUS : " + fio::fmt_i(21, 12) + " FICHIER : "), std::string::npos);
}

TEST_F(MessagesTest, BannerCarriesTheDate) {
    std::time_t before = std::time(nullptr);
    Text<26> dt = datim();
    std::time_t after = std::time(nullptr);
    char b[32], a[32];
    ctime_r(&before, b);
    ctime_r(&after, a);
    std::string got(dt.view().substr(0, 24));
    EXPECT_TRUE(got == std::string(b, 24) || got == std::string(a, 24)) << got;
    EXPECT_EQ(dt.view().substr(24), "  ");

    std::string out = captured([] { idpro(6, "ZOT 3.3 Thu Jan  1 01:00:00"); });
    EXPECT_TRUE(std::regex_match(
        out, std::regex(" ZOT 3\\.3 Thu Jan  1 01:00:00   [A-Z][a-z]{2} [A-Z][a-z]{2} "
                        "[ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}  \n")))
        << out;
}

TEST_F(MessagesTest, DebugTracesFollowTheLevelRanges) {
    auto traces = [](int level) {
        debug.level = level;
        KlipTest::line("AB ");
        std::string out = captured([] {
            int32_t n;
            get40(n);
            error(-3);
        });
        debug.level = 0;
        std::string seen;
        if (out.find(" Entree dans GETFLD") != std::string::npos) seen += "F";
        if (out.find(" Entree dans GETST1") != std::string::npos) seen += "S";
        if (out.find(" CVMAJ:S1,LEN(S1) ") != std::string::npos) seen += "C";
        if (out.find(" error : entete :KLIP message file, level '4.1'") != std::string::npos)
            seen += "E";
        return seen;
    };
    EXPECT_EQ(traces(0), "");
    EXPECT_EQ(traces(-100), "");
    EXPECT_EQ(traces(-101), "F");
    EXPECT_EQ(traces(-103), "FS");
    EXPECT_EQ(traces(-105), "FSC");
    EXPECT_EQ(traces(-106), "FSCE");
    EXPECT_EQ(traces(-199), "FSCE");
    EXPECT_EQ(traces(-200), "E");
    EXPECT_EQ(traces(-201), "");

    debug.level = -101;
    std::string out = captured([&] { opnold(7, file("t", "")); });
    debug.level = 0;
    EXPECT_NE(out.find(" OPNOLD LU,FICHIER :  7"), std::string::npos);
}

}  // namespace
}  // namespace klip_test
