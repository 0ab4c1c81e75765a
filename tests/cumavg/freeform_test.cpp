// cumavg's free-format writer and reader.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <string>

#include "freeform.hpp"

namespace {

std::string real_field(float value) {
    char field[16];
    const int n = cumavg::free_real(value, field);
    EXPECT_EQ(n, static_cast<int>(std::string(field).size()));
    return field;
}

std::string contents(std::FILE* f) {
    std::rewind(f);
    std::string text;
    for (int c = std::getc(f); c != EOF; c = std::getc(f)) text += static_cast<char>(c);
    return text;
}

std::FILE* text_file(const char* text) {
    std::FILE* f = std::tmpfile();
    std::fputs(text, f);
    std::rewind(f);
    return f;
}

// The item as the layout gives it: one blank, then the body right-aligned in 10 columns
// (fixed notation) or 14 columns (exponent notation and the non-finite values).
std::string fixed(const std::string& body) {
    return " " + std::string(10 - body.size(), ' ') + body;
}
std::string wide(const std::string& body) {
    return " " + std::string(14 - body.size(), ' ') + body;
}

TEST(CumavgWriter, RealNotationIsChosenAfterRoundingToSixDigits) {
    EXPECT_EQ(real_field(0.0f), "  0.");
    EXPECT_EQ(real_field(-0.0f), "  0.");
    EXPECT_EQ(real_field(1.5f), "    1.50000");
    EXPECT_EQ(real_field(0.5f), "   0.500000");
    EXPECT_EQ(real_field(300.0f), "    300.000");
    EXPECT_EQ(real_field(-2.5f), fixed("-2.50000"));
    EXPECT_EQ(real_field(-0.25f), fixed("-0.250000"));
    EXPECT_EQ(real_field(123456.0f), fixed("123456."));
    EXPECT_EQ(real_field(0.1f), fixed("0.100000"));
    // Rounding carries into the next decade and moves the value across a boundary.
    EXPECT_EQ(real_field(999999.7f), "    1.00000E+06");
    EXPECT_EQ(real_field(0.09999999f), fixed("0.100000"));
    EXPECT_EQ(real_field(9.999997f), fixed("10.0000"));
    EXPECT_EQ(real_field(0.0999994f), wide("9.99994E-02"));
    EXPECT_EQ(real_field(999999.4f), fixed("999999."));
    // Ties on the exact binary value go to the even digit.
    EXPECT_EQ(real_field(1234565.0f), wide("1.23456E+06"));
    EXPECT_EQ(real_field(1234575.0f), wide("1.23458E+06"));
    EXPECT_EQ(real_field(1.2345678e-5f), wide("1.23457E-05"));
    EXPECT_EQ(real_field(-1.5e-7f), wide("-1.50000E-07"));
    EXPECT_EQ(real_field(FLT_MAX), wide("3.40282E+38"));
    EXPECT_EQ(real_field(-FLT_TRUE_MIN), wide("-1.40130E-45"));
}

TEST(CumavgWriter, InfinitiesAndNanFillTheWideField) {
    EXPECT_EQ(real_field(INFINITY), "       Infinity");
    EXPECT_EQ(real_field(-INFINITY), wide("-Infinity"));
    EXPECT_EQ(real_field(NAN), wide("NaN"));
}

TEST(CumavgWriter, LineItemsAndTheEightyColumnRule) {
    std::FILE* f = std::tmpfile();
    cumavg::Line line;
    cumavg::line_begin(line, f);
    cumavg::put_int(line, 2);
    cumavg::put_real(line, 1.5f);
    cumavg::put_int(line, -17);
    EXPECT_TRUE(cumavg::line_end(line));

    // 70 + 1 columns, then an integer of nominal width 7 still fits (78), a real does not.
    cumavg::line_begin(line, f);
    cumavg::put_text(line, std::string(70, 'a').c_str());
    cumavg::put_int(line, 12345);
    cumavg::put_real(line, 0.0f);  // nominal 4: 82 > 80
    cumavg::put_real(line, 2.0f);
    cumavg::line_end(line);

    // A text longer than the line on a fresh line stays whole.
    cumavg::line_begin(line, f);
    cumavg::put_text(line, std::string(90, 'b').c_str());
    cumavg::line_end(line);

    EXPECT_EQ(contents(f), "   2    1.50000  -17\n"
                           " " + std::string(70, 'a') + "  12345\n"
                           "   0.    2.00000\n"
                           " " + std::string(90, 'b') + "\n");
    std::fclose(f);
}

TEST(CumavgReader, IntegersFitInThirtyTwoBits) {
    int32_t v = 0;
    EXPECT_TRUE(cumavg::parse_int("42", v) && v == 42);
    EXPECT_TRUE(cumavg::parse_int("+7", v) && v == 7);
    EXPECT_TRUE(cumavg::parse_int("-2147483648", v) && v == INT32_MIN);
    EXPECT_TRUE(cumavg::parse_int("2147483647", v) && v == INT32_MAX);
    for (const char* bad : {"2147483648", "-2147483649", "99999999999999999999", "", "-", "3.0",
                            "1e3", "12a", "0x10"}) {
        EXPECT_FALSE(cumavg::parse_int(bad, v)) << bad;
    }
}

TEST(CumavgReader, RealsAreFiniteDecimalNumbers) {
    float v = 0.0f;
    EXPECT_TRUE(cumavg::parse_real("1", v) && v == 1.0f);
    EXPECT_TRUE(cumavg::parse_real("1.", v) && v == 1.0f);
    EXPECT_TRUE(cumavg::parse_real(".5", v) && v == 0.5f);
    EXPECT_TRUE(cumavg::parse_real("-2.5E3", v) && v == -2500.0f);
    EXPECT_TRUE(cumavg::parse_real("1.5d-3", v) && v == 1.5e-3f);
    EXPECT_TRUE(cumavg::parse_real("+1e+2", v) && v == 100.0f);
    EXPECT_TRUE(cumavg::parse_real("0.1", v) && v == 0.1f);
    EXPECT_TRUE(cumavg::parse_real("3.4028234e38", v) && v == FLT_MAX);
    EXPECT_TRUE(cumavg::parse_real("1e-50", v) && v == 0.0f);
    for (const char* bad : {"inf", "-Infinity", "nan", "1e39", "-4e38", ".", "e5", "1e", "1.5.3",
                            "0x10", "1+5", "--1", "", "1,5", "1 "}) {
        EXPECT_FALSE(cumavg::parse_real(bad, v)) << bad;
    }
}

TEST(CumavgReader, EachReadTakesTheFirstValueOfTheNextLineHoldingOne) {
    std::FILE* f = text_file("\n  ,\t3.5, junk\r\n\n-1 2\n7\r\nabc 4\n\n");
    cumavg::Reader rd;
    cumavg::reader_init(rd, f);
    float x = 0.0f;
    ASSERT_EQ(cumavg::read_real(rd, x), cumavg::ReadStatus::Ok);
    EXPECT_EQ(x, 3.5f);
    EXPECT_EQ(rd.line, 2);
    ASSERT_EQ(cumavg::read_real(rd, x), cumavg::ReadStatus::Ok);
    EXPECT_EQ(x, -1.0f);
    EXPECT_EQ(rd.line, 4);
    int32_t k = 0;
    ASSERT_EQ(cumavg::read_int(rd, k), cumavg::ReadStatus::Ok);
    EXPECT_EQ(k, 7);
    EXPECT_EQ(rd.line, 5);
    EXPECT_EQ(cumavg::read_real(rd, x), cumavg::ReadStatus::Bad);
    EXPECT_STREQ(rd.token, "abc");
    EXPECT_EQ(rd.line, 6);
    EXPECT_EQ(cumavg::read_real(rd, x), cumavg::ReadStatus::End);
    std::fclose(f);
}

TEST(CumavgReader, LastLineWithoutEndAndOverlongValues) {
    std::FILE* f = text_file(("2.25\n" + std::string(300, '1') + "\n8").c_str());
    cumavg::Reader rd;
    cumavg::reader_init(rd, f);
    float x = 0.0f;
    EXPECT_EQ(cumavg::read_real(rd, x), cumavg::ReadStatus::Ok);
    EXPECT_EQ(cumavg::read_real(rd, x), cumavg::ReadStatus::Bad);
    EXPECT_EQ(std::string(rd.token).size(), static_cast<size_t>(cumavg::kTokenMax));
    ASSERT_EQ(cumavg::read_real(rd, x), cumavg::ReadStatus::Ok);
    EXPECT_EQ(x, 8.0f);
    EXPECT_EQ(cumavg::read_real(rd, x), cumavg::ReadStatus::End);
    std::fclose(f);
}

}  // namespace
