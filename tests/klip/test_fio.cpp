// The text layer: free-format line, fixed layouts, free-format reader, units.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <cstring>
#include <functional>
#include <unistd.h>

#include "klip/fio.hpp"

namespace {

std::string list_text(const std::function<void(fio::List&)>& fill) {
    fio::capture_begin();
    {
        fio::List l(fio::kStdout);
        fill(l);
    }
    return fio::capture_end();
}

TEST(FreeReal, FixedNotationSixSignificantDigits) {
    EXPECT_EQ(fio::free_real(0.5f), "   0.500000");
    EXPECT_EQ(fio::free_real(1.5f), "    1.50000");
    EXPECT_EQ(fio::free_real(300.0f), "    300.000");
    EXPECT_EQ(fio::free_real(-2.25f), "   -2.25000");
    EXPECT_EQ(fio::free_real(123456.0f), "    123456.");
    EXPECT_EQ(fio::free_real(100000.0f), "    100000.");
}

TEST(FreeReal, ChoiceMadeAfterRounding) {
    EXPECT_EQ(fio::free_real(999999.7f), "    1.00000E+06");
    EXPECT_EQ(fio::free_real(0.09999999f), "   0.100000");
    EXPECT_EQ(fio::free_real(9.999997f), "    10.0000");
    EXPECT_EQ(fio::free_real(0.0999f), "    9.99000E-02");
}

TEST(FreeReal, ExponentNotationAndSpecialValues) {
    EXPECT_EQ(fio::free_real(1.2345678e-5f), "    1.23457E-05");
    EXPECT_EQ(fio::free_real(-3.0e10f), "   -3.00000E+10");
    EXPECT_EQ(fio::free_real(1.0e6f), "    1.00000E+06");
    EXPECT_EQ(fio::free_real(0.0f), "  0.");
    EXPECT_EQ(fio::free_real(-0.0f), "  0.");
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(fio::free_real(inf), "       Infinity");
    EXPECT_EQ(fio::free_real(-inf), "      -Infinity");
    EXPECT_EQ(fio::free_real(std::nanf("")), "            NaN");
}

TEST(FreeReal, TiesRoundToEvenOnTheExactBinaryValue) {
    // 0.125 is exact in binary: to six digits it is 0.125000; 2.5 rounds 1.25 at digit 6 only
    // when exact, and 1.0000005 is not exactly representable (its float is below the tie).
    EXPECT_EQ(fio::free_real(0.125f), "   0.125000");
    EXPECT_EQ(fio::free_real(1.0000005f), "    1.00000");
}

TEST(FreeLine, ItemsAndLayout) {
    EXPECT_EQ(list_text([](fio::List& l) { l << "temperature = " << 300.0f << " K"; }),
              " temperature =     300.000 K\n");
    EXPECT_EQ(list_text([](fio::List& l) { l << "nb = " << int32_t{-12} << true; }),
              " nb =   -12  T\n");
    EXPECT_EQ(list_text([](fio::List& l) { l << "z" << 0.0f; }), " z  0.\n");
    EXPECT_EQ(list_text([](fio::List&) {}), " \n");
}

TEST(FreeLine, WrapsOnNominalWidths) {
    // Each real counts 7 columns for the test but takes 11: 1 + 7*7 + 11 = 61 <= 80, the
    // 12th real would pass column 80 by its nominal width.
    std::string out = list_text([](fio::List& l) {
        for (int i = 0; i < 12; ++i) l << 1.0f;
    });
    std::string first = out.substr(0, out.find('\n'));
    // 1 + 11k <= 80 nominal check: len + 7 > 80 happens when len >= 74, i.e. after 7 items.
    EXPECT_EQ(first.size(), 1u + 7u * 11u);
    EXPECT_EQ(out.substr(first.size() + 1, 1), " ");
    // A text longer than the line is written whole at the start of a line.
    std::string longtext(90, 'x');
    EXPECT_EQ(list_text([&](fio::List& l) { l << longtext; }), " " + longtext + "\n");
    EXPECT_EQ(list_text([&](fio::List& l) { l << "ab" << longtext; }), " ab\n " + longtext + "\n");
}

TEST(Layout, IntegersTextsAndLiterals) {
    EXPECT_EQ(fio::format("(5X,I5,' particules dans la vallee no',I2)", {int32_t{123}, int32_t{2}}),
              "       123 particules dans la vallee no 2\n");
    EXPECT_EQ(fio::format("(I3)", {int32_t{1000}}), "***\n");
    EXPECT_EQ(fio::format("(A,'|',A5,'|',A2,'|')", {"abc", "xy", "abc"}), "abc|   xy|ab|\n");
    EXPECT_EQ(fio::format("('l''equilibre')", {}), "l'equilibre\n");
    EXPECT_EQ(fio::format("(1X,3('*'))", {}), " ***\n");
}

TEST(Layout, FixedPoint) {
    EXPECT_EQ(fio::fmt_f(38.7654f, 6, 2), " 38.77");
    EXPECT_EQ(fio::fmt_f(300.0f, 5, 0), " 300.");
    EXPECT_EQ(fio::fmt_f(0.5f, 6, 3), " 0.500");
    EXPECT_EQ(fio::fmt_f(-0.001f, 6, 2), " -0.00");
    EXPECT_EQ(fio::fmt_f(-0.0f, 6, 2), " -0.00");
    EXPECT_EQ(fio::fmt_f(12345.0f, 6, 2), "******");
    EXPECT_EQ(fio::fmt_f(0.125f, 5, 2), " 0.12");  // exact tie: to even
    EXPECT_EQ(fio::fmt_f(0.375f, 5, 2), " 0.38");
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(fio::fmt_f(inf, 9, 3), " Infinity");
    EXPECT_EQ(fio::fmt_f(-inf, 9, 3), "-Infinity");
    EXPECT_EQ(fio::fmt_f(-inf, 6, 2), "  -Inf");
    EXPECT_EQ(fio::fmt_f(std::nanf(""), 6, 2), "   NaN");
    EXPECT_EQ(fio::fmt_f(inf, 2, 0), "**");
}

TEST(Layout, Exponent) {
    EXPECT_EQ(fio::fmt_e(1.0e17f, 10, 3), " 0.100E+18");
    EXPECT_EQ(fio::fmt_e(1.0e17f, 12, 5, 1), " 1.00000E+17");
    EXPECT_EQ(fio::fmt_e(-2.5e-3f, 11, 3, 1), " -2.500E-03");
    EXPECT_EQ(fio::fmt_e(0.0f, 12, 5, 1), " 0.00000E+00");
    EXPECT_EQ(fio::fmt_e(0.0f, 10, 3), " 0.000E+00");
    EXPECT_EQ(fio::fmt_e(9.9999e9f, 10, 3), " 0.100E+11");
    EXPECT_EQ(fio::fmt_e(1.0e17f, 6, 3), "******");
    EXPECT_EQ(fio::format("(1X,3(1PE12.5,1X))", {1.0f, 2.0f, 3.0f}),
              "  1.00000E+00  2.00000E+00  3.00000E+00 \n");
}

TEST(Layout, SlashesRepeatsAndEndOfItems) {
    EXPECT_EQ(fio::format("(/,/)", {}), "\n\n\n");
    EXPECT_EQ(fio::format("(/,1X,'  Energie moyenne initiale= ',F6.2,' meV',/)", {38.75f}),
              "\n   Energie moyenne initiale=  38.75 meV\n\n");
    // Output stops at the first data descriptor that finds no item.
    EXPECT_EQ(fio::format("(' a=',I2,' b=',I2)", {int32_t{1}}), " a= 1 b=\n");
    EXPECT_EQ(fio::format("(3I3)", {int32_t{1}, int32_t{2}, int32_t{3}}), "  1  2  3\n");
}

TEST(Layout, ReversionRestartsAtTheLastGroup) {
    EXPECT_EQ(
        fio::format("(' x',2(I2))", {int32_t{1}, int32_t{2}, int32_t{3}, int32_t{4}, int32_t{5}}),
        " x 1 2\n 3 4\n 5\n");
    EXPECT_EQ(fio::format("(I2)", {int32_t{1}, int32_t{2}}), " 1\n 2\n");
    // A layout with no data descriptor does not loop on remaining items.
    EXPECT_EQ(fio::format("('x')", {int32_t{1}}), "x\n");
}

TEST(Layout, RunBanner) {
    std::string out = fio::format(
        "(1X,60('*'),/,20X,A12,/,'  Dopage=',E10.3,' cm-3    Type ',A1,'    T=',F5.0,' "
        "K',/,1X,60('*'),/,/)",
        {"GAAS        ", 1.0e17f, "N", 300.0f});
    std::string stars(60, '*');
    EXPECT_EQ(out, " " + stars + "\n" + std::string(20, ' ') + "GAAS        \n"
                       + "  Dopage= 0.100E+18 cm-3    Type N    T= 300. K\n " + stars + "\n\n\n");
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path()
               / ("fio_test_" + std::to_string(::getpid()) + "_"
                  + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string write(const std::string& name, const std::string& content) {
        std::string p = (dir_ / name).string();
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    std::filesystem::path dir_;
};

using Reader = TempDir;

TEST_F(Reader, ValuesSpanLinesAndTheRestOfTheLastLineIsDropped) {
    std::string p = write("a", "1, 2\n\n  3 9 9\n4.5e1 ,, -7\nlast\n");
    ASSERT_EQ(fio::open_old(40, p), 0);
    fio::ListReader r(40);
    int32_t a = 0, b = 0, c = 0;
    EXPECT_EQ(r.next_int(a), fio::ReadStatus::Ok);
    EXPECT_EQ(r.next_int(b), fio::ReadStatus::Ok);
    EXPECT_EQ(r.next_int(c), fio::ReadStatus::Ok);
    EXPECT_EQ(a + b + c, 6);
    r.end();
    float x = 0;
    int32_t y = 0;
    fio::ListReader r2(40);
    EXPECT_EQ(r2.next_real(x), fio::ReadStatus::Ok);
    EXPECT_EQ(r2.next_int(y), fio::ReadStatus::Ok);
    EXPECT_EQ(x, 45.0f);
    EXPECT_EQ(y, -7);
    std::string t;
    EXPECT_EQ(fio::read_text(40, 6, t), fio::ReadStatus::Ok);
    EXPECT_EQ(t, "last  ");
    EXPECT_EQ(fio::read_text(40, 3, t), fio::ReadStatus::End);
    fio::close(40);
}

TEST_F(Reader, BadValuesAndEndOfFileAreReported) {
    std::string p = write("b", "1.5\nabc\n2147483648\n");
    ASSERT_EQ(fio::open_old(41, p), 0);
    int32_t n = 0;
    fio::ListReader r(41);
    EXPECT_EQ(r.next_int(n), fio::ReadStatus::Bad);  // a real is not an integer
    fio::ListReader r2(41);
    float f = 0;
    EXPECT_EQ(r2.next_real(f), fio::ReadStatus::Bad);
    fio::ListReader r3(41);
    EXPECT_EQ(r3.next_int(n), fio::ReadStatus::Bad);  // overflows 32 bits
    fio::ListReader r4(41);
    EXPECT_EQ(r4.next_int(n), fio::ReadStatus::End);
    fio::close(41);
}

TEST(Parse, NumbersAsTheReaderAcceptsThem) {
    float f = 0;
    int32_t i = 0;
    EXPECT_TRUE(fio::parse_real("1.0D-3", f));
    EXPECT_FLOAT_EQ(f, 1.0e-3f);
    EXPECT_TRUE(fio::parse_real("-.5", f));
    EXPECT_EQ(f, -0.5f);
    EXPECT_TRUE(fio::parse_real("7", f));
    EXPECT_FALSE(fio::parse_real("inf", f));
    EXPECT_FALSE(fio::parse_real("nan", f));
    EXPECT_FALSE(fio::parse_real("1e39", f));
    EXPECT_FALSE(fio::parse_real("1e", f));
    EXPECT_FALSE(fio::parse_real(".", f));
    EXPECT_TRUE(fio::parse_int("-2147483648", i));
    EXPECT_EQ(i, -2147483647 - 1);
    EXPECT_FALSE(fio::parse_int("+", i));
    EXPECT_FALSE(fio::parse_int("12a", i));
}

using Units = TempDir;

TEST_F(Units, OpenFailuresGiveTheSystemStatus) {
    EXPECT_EQ(fio::open_old(42, (dir_ / "missing").string()), ENOENT);
    EXPECT_EQ(fio::open_old(42, dir_.string()), 21);
    EXPECT_FALSE(fio::is_open(42));
    std::string line;
    EXPECT_FALSE(fio::read_line(42, line));
    fio::write_line(42, "dropped");  // not open: nothing happens
}

TEST_F(Units, NewFileIsEmptiedAndUnformattedRecordsAreFramed) {
    std::string p = write("out", "old content that is longer\n");
    ASSERT_EQ(fio::open_new(43, p), 0);
    fio::write_prompt(43, "a ");
    fio::write_line(43, "b");
    fio::close(43);
    std::ifstream in(p, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(all, "a b\n");

    std::string q = (dir_ / "bruit").string();
    ASSERT_EQ(fio::open_unformatted(44, q), 0);
    double v = 1.5;
    fio::write_record(44, &v, 8);
    fio::close(44);
    std::ifstream bin(q, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(bin)), {});
    ASSERT_EQ(bytes.size(), 16u);
    int32_t head = 0, tail = 0;
    double got = 0;
    std::memcpy(&head, bytes.data(), 4);
    std::memcpy(&got, bytes.data() + 4, 8);
    std::memcpy(&tail, bytes.data() + 12, 4);
    EXPECT_EQ(head, 8);
    EXPECT_EQ(tail, 8);
    EXPECT_EQ(got, 1.5);
}

TEST(Prompt, LeavesTheLineOpen) {
    fio::capture_begin();
    fio::write_prompt(fio::kStdout, "->");
    fio::List(fio::kStdout) << "x";
    EXPECT_EQ(fio::capture_end(), "-> x\n");
}

}  // namespace
