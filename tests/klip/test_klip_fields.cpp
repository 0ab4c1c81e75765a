// Field parser: cutting the line into fields, classification, radix-40 names,
// parameter substitution and the typed readers.
#include <cmath>

#include "test_klip_fixture.hpp"

namespace klip_test {
namespace {

using namespace klip;

struct Field {
    int32_t integ = 0;
    float reel = 0.0f;
    int32_t i40 = 0;
    std::string st;
    int32_t ln = 0;
    int32_t typ = 0;
    int32_t err = 0;
};

Field next() {
    Field f;
    Text<80> st;
    getfld(f.integ, f.reel, f.i40, st, f.ln, f.typ);
    f.st = std::string(st.trimmed());
    f.err = indic.INDERR;
    return f;
}

using FieldsTest = KlipTest;

TEST_F(FieldsTest, SeparatorsCutTheLineIntoFields) {
    line("10,20");
    EXPECT_EQ(next().integ, 10);
    EXPECT_EQ(next().integ, 20);
    EXPECT_EQ(next().err, -3);

    line("10,,20");
    EXPECT_EQ(next().integ, 10);
    Field empty = next();
    EXPECT_EQ(empty.err, -4);
    EXPECT_EQ(empty.ln, 0);
    EXPECT_EQ(next().integ, 20);

    // The blank ends the first field; the comma after it is an empty field.
    line("10 , 20");
    EXPECT_EQ(next().integ, 10);
    EXPECT_EQ(next().err, -4);
    EXPECT_EQ(next().integ, 20);

    line("A=B:C");
    EXPECT_EQ(next().st, "A");
    EXPECT_EQ(next().st, "B");
    Field c = next();
    EXPECT_EQ(c.st, "C");
    EXPECT_EQ(cisyn.IPTR0, 5);
}

TEST_F(FieldsTest, TerminatorEndsTheCommandAndColumn80EndsTheLine) {
    line("A;B");
    EXPECT_EQ(next().err, -3);
    Field b = next();
    EXPECT_EQ(b.err, 0);
    EXPECT_EQ(b.st, "B");

    // A field must be followed by a separator in column 79 at the latest.
    const std::string at77 = std::string(76, ' ') + "XYZ";
    const std::string at76 = std::string(75, ' ') + "XYZ";
    line(at77);
    EXPECT_EQ(next().err, -3);
    line(at76);
    Field xyz = next();
    EXPECT_EQ(xyz.st, "XYZ");
    EXPECT_EQ(xyz.ln, 3);
    EXPECT_EQ(next().err, -3);

    line("");
    EXPECT_EQ(skipb(), 1);
    EXPECT_EQ(next().err, -3);
}

TEST_F(FieldsTest, ClassificationOfFields) {
    struct Case {
        const char* text;
        int32_t typ;
        int32_t integ;
        float reel;
    };
    const Case cases[] = {
        {"10", 1 + 2 + 4 + 8, 10, 10.0f},
        {"-7", 1 + 2 + 8, -7, -7.0f},
        {"+", 1 + 2 + 8, 0, 0.0f},
        {"-", 1 + 2 + 8, 0, 0.0f},
        {"1.5K", 2 + 8, 0, 1500.0f},
        {"2E-3", 2 + 8, 0, 0.002f},
        {"2.5e+2", 2 + 8, 0, 250.0f},
        {"1.5KX", 8, 0, 0.0f},
        {"ABC", 4 + 8, 0, 0.0f},
        {"abc", 4 + 8, 0, 0.0f},
        {"ABCDEFG", 8, 0, 0.0f},
        {"A.B", 8, 0, 0.0f},
        {"K", 2 + 4 + 8, 0, 0.0f},
        {"3MEG", 2 + 4 + 8, 0, 3.0e6f},
        {"4MIL", 2 + 4 + 8, 0, 0.004f},
        {"7U", 2 + 4 + 8, 0, 7.0e-6f},
        {"1E3K", 2 + 4 + 8, 0, 1.0e6f},
        {"-2.5P", 2 + 8, 0, -2.5e-12f},
        // Only the aligned entries of the scale table are suffixes.
        {"1EGK", 4 + 8, 0, 0.0f},
        {"1M", 4 + 8, 0, 0.0f},
        // Digits beyond 32 bits are no integer, but still a real.
        {"2147483647", 1 + 2 + 8, 2147483647, 2147483647.0f},
        {"2147483648", 2 + 8, 0, 2147483648.0f},
        {"-99999999999", 2 + 8, 0, -99999999999.0f},
        // A real that overflows single precision is no real.
        {"1E99", 4 + 8, 0, 0.0f},
        {"1.2.3", 8, 0, 0.0f},
    };
    for (const Case& c : cases) {
        line(std::string(c.text) + ",");
        Field f = next();
        SCOPED_TRACE(c.text);
        EXPECT_EQ(f.err, 0);
        EXPECT_EQ(f.typ, c.typ);
        EXPECT_EQ(f.integ, c.integ);
        EXPECT_NEAR(f.reel, c.reel, std::fabs(c.reel) * 1e-6f);
        EXPECT_EQ(f.st, c.text);
        EXPECT_EQ(f.ln, static_cast<int32_t>(std::string_view(c.text).size()));
    }
}

TEST_F(FieldsTest, PackedNameOfAField) {
    line("abc NAME_1 TOOLONG");
    EXPECT_EQ(next().i40, 1683);
    Field n = next();
    EXPECT_EQ(n.i40, igsr40("NAME_1"));
    EXPECT_NE(n.typ & 4, 0);
    Field t = next();
    EXPECT_EQ(t.i40, 0);
    EXPECT_EQ(t.typ & 4, 0);
    EXPECT_EQ(t.err, 0);
}

TEST_F(FieldsTest, Radix40PackingBothWays) {
    EXPECT_EQ(igsr40("ABC"), 1683);
    EXPECT_EQ(igsr40("abc"), 1683);
    EXPECT_EQ(igsr40(""), 0);
    EXPECT_EQ(dgsr40(1683).str(), "ABC   ");
    EXPECT_EQ(igsr40("   ABC"), 1683 * 65536);
    // The second group can pass 2^31: the packed value is negative and unpacks all the same.
    int32_t high = igsr40("&&&&&&");
    EXPECT_LT(high, 0);
    EXPECT_EQ(dgsr40(high).str(), "&&&&&&");
    for (const char* name : {"ZOT", "CA", "X$_&9", "A1B2C3", "SUBST"}) {
        EXPECT_EQ(dgsr40(igsr40(name)).view(), pad(name, 6)) << name;
    }
    // Only the first six characters count.
    EXPECT_EQ(igsr40("ABCDEFGH"), igsr40("ABCDEF"));

    indic.INDERR = 0;
    EXPECT_EQ(igsr40("A.B"), 0);
    EXPECT_EQ(indic.INDERR, -11);

    std::array<int32_t, 4> table{0, 5, 7, 5};
    EXPECT_EQ(ic40(5, table.data(), 3), 1);
    EXPECT_EQ(ic40(7, table.data(), 3), 2);
    EXPECT_EQ(ic40(7, table.data(), 1), 0);
    EXPECT_EQ(ic40(9, table.data(), 3), 0);
}

class SubstitutionTest : public KlipTest {
protected:
    static void define(const char* name, const char* text) {
        cpara.NPARA += 1;
        cpara.NOMPAR[static_cast<std::size_t>(cpara.NPARA)] = igsr40(name);
        cpara.STPARA[static_cast<std::size_t>(cpara.NPARA)].set(text);
    }
};

TEST_F(SubstitutionTest, ParameterTextReplacesTheField) {
    define("X", "10");
    line("$X,5");
    Field x = next();
    EXPECT_EQ(x.integ, 10);
    EXPECT_EQ(x.st, "10");
    EXPECT_EQ(cisyn.IPTR0, 1);
    EXPECT_EQ(next().integ, 5);
    EXPECT_EQ(ccsyn.BUF.trimmed(), "10,5");

    // Substituted text may hold separators, and the rest of the line follows it.
    define("P", "1,2");
    line("CA $P 3");
    EXPECT_EQ(next().st, "CA");
    EXPECT_EQ(next().integ, 1);
    EXPECT_EQ(next().integ, 2);
    EXPECT_EQ(next().integ, 3);
    EXPECT_EQ(next().err, -3);
}

TEST_F(SubstitutionTest, NestedUnknownBlankAndEndless) {
    define("A", "$B");
    define("B", "7K");
    line("$A");
    Field a = next();
    EXPECT_EQ(a.err, 0);
    EXPECT_EQ(a.reel, 7000.0f);

    line("$NOPE 1");
    Field u = next();
    EXPECT_EQ(u.err, -14);
    EXPECT_EQ(u.typ, 0);
    EXPECT_EQ(u.st, "");
    EXPECT_EQ(u.ln, 0);

    define("BL", "");
    line("$BL,1");
    EXPECT_EQ(next().err, -4);

    define("SELF", "$SELF");
    line("$SELF ");
    Field s = next();
    EXPECT_EQ(s.err, -16);
    EXPECT_EQ(s.st, "");

    // A reference that grows the line by itself is cut at column 200 and still stops.
    define("GROW", "$GROW,$GROW");
    line("$GROW ");
    EXPECT_EQ(next().err, -16);
}

TEST_F(FieldsTest, TypedReaders) {
    int32_t n = 99;
    line("12 X 3.5");
    getint(n);
    EXPECT_EQ(n, 12);
    getint(n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(indic.INDERR, -2);
    getint(n);
    EXPECT_EQ(indic.INDERR, -2);
    getint(n);
    EXPECT_EQ(indic.INDERR, -3);  // the field error is kept, not turned into -2

    line("NAME A.B");
    get40(n);
    EXPECT_EQ(n, igsr40("NAME"));
    get40(n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(indic.INDERR, -11);

    Text<80> s{"old"};
    int32_t ln = -1;
    line("Mixed,");
    getstr(s, ln);
    EXPECT_EQ(s.trimmed(), "Mixed");
    EXPECT_EQ(ln, 5);
    getstr(s, ln);
    EXPECT_EQ(s.trimmed(), "");
    EXPECT_EQ(indic.INDERR, -3);

    Text<4> up;
    line("on,");
    getstm(up, ln);
    EXPECT_EQ(up.view(), "ON  ");
}

TEST_F(FieldsTest, FileNameKeepsItsColon) {
    Text<80> name{"previous"};
    line("BIBLI C:CMD.TXT,LIST");
    int32_t ln = 0;
    Text<80> kw;
    getstr(kw, ln);
    getfd(name);
    EXPECT_EQ(name.trimmed(), "C:CMD.TXT");
    EXPECT_EQ(spcar.SEP.view(), ",= :    ");
    line("A:B");
    getstr(kw, ln);
    EXPECT_EQ(kw.trimmed(), "A");
}

TEST_F(FieldsTest, CharacterSetScansAndUpperCase) {
    EXPECT_EQ(ianyr("A,B,C", ","), 4);
    EXPECT_EQ(ianyr("ABC", ","), 0);
    EXPECT_EQ(inanyr("TITLE   ", " "), 5);
    EXPECT_EQ(inanyr("    ", " "), 0);
    EXPECT_EQ(inanyl("  X ", " "), 3);
    EXPECT_EQ(inanyl("", " "), 0);
    EXPECT_EQ(cvmaj("aZ9_b", 7), "AZ9_B  ");
    EXPECT_EQ(cvmaj("abcdef", 3), "ABC");
}

}  // namespace
}  // namespace klip_test
