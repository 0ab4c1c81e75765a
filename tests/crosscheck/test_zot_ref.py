#!/usr/bin/env python3
"""Checks of the reference's own building blocks against values worked out by hand from
the program's description of its output layouts, random generator and name packing, so
that an agreement between zot and the reference cannot come from a shared slip in them."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import zot_ref as z  # noqa: E402

F = z.F


def free_line(*items):
    z.OUT.parts.clear()
    z.free(*items)
    return "".join(z.OUT.parts)


class FreeFormatReals(unittest.TestCase):
    def test_fixed_and_exponent_fields(self):
        cases = [(0.5, "  0.500000"), (1.5, "   1.50000"), (300.0, "   300.000"),
                 (300000.0, "   300000."), (-0.25, " -0.250000"),
                 (1.2345678e-5, "   1.23457E-05"), (-4.33085e-13, "  -4.33085E-13")]
        for v, want in cases:
            self.assertEqual(z.ff_real(F(v)), want, v)

    def test_notation_chosen_after_rounding(self):
        self.assertEqual(z.ff_real(F(999999.7)), "   1.00000E+06")
        self.assertEqual(z.ff_real(F(0.09999999)), "  0.100000")
        self.assertEqual(z.ff_real(F(9.999997)), "   10.0000")

    def test_zero_and_non_finite(self):
        self.assertEqual(z.ff_real(F(0.0)), "  0.")
        self.assertEqual(z.ff_real(F(-0.0)), "  0.")
        self.assertEqual(z.ff_real(F("inf")), "      Infinity")
        self.assertEqual(z.ff_real(F("-inf")), "     -Infinity")
        self.assertEqual(z.ff_real(F("nan")), "           NaN")


class FreeFormatLines(unittest.TestCase):
    def test_items_and_separators(self):
        self.assertEqual(free_line("A=", 5, z.Logical(True), F(0)), " A=  5  T  0.\n")
        self.assertEqual(free_line("X", -12), " X  -12\n")

    def test_wrap_uses_nominal_widths(self):
        # each real is written in 15 columns but counts 7 for the 80-column rule
        line = free_line(*[F(-4.33085e-13)] * 6)
        first, second = line.split("\n")[:2]
        self.assertEqual(len(first), 1 + 5 * 15)
        self.assertEqual(second, "    -4.33085E-13")

    def test_long_text_starts_a_new_line(self):
        line = free_line(" FICREP = ", ".././replam".ljust(80))
        self.assertEqual(line, "  FICREP = \n .././replam" + " " * 69 + "\n")


class FixedFields(unittest.TestCase):
    def test_f_fields(self):
        self.assertEqual(z.fF(F(0.5), 6, 3), " 0.500")
        self.assertEqual(z.fF(F(300.0), 5, 0), " 300.")
        self.assertEqual(z.fF(F(-0.001), 6, 2), " -0.00")
        self.assertEqual(z.fF(F(-0.0), 6, 2), " -0.00")
        self.assertEqual(z.fF(F(123.4567), 6, 3), "******")
        self.assertEqual(z.fF(F(0.5), 4, 3), "****")  # the leading 0 is kept
        self.assertEqual(z.fF(F("inf"), 9, 2), " Infinity")
        self.assertEqual(z.fF(F("-inf"), 6, 2), "  -Inf")
        self.assertEqual(z.fF(F("nan"), 6, 2), "   NaN")

    def test_e_fields(self):
        self.assertEqual(z.fE(F(1e17), 10, 3, False), " 0.100E+18")
        self.assertEqual(z.fE(F(123456.0), 12, 5, True), " 1.23456E+05")
        self.assertEqual(z.fE(F(-3.0e7), 11, 3, True), " -3.000E+07")
        self.assertEqual(z.fE(F(0.0), 12, 5, True), " 0.00000E+00")
        self.assertEqual(z.fE(F(1e17), 11, 4, True), " 1.0000E+17")

    def test_i_fields(self):
        self.assertEqual(z.fI(7, 3), "  7")
        self.assertEqual(z.fI(1000, 3), "***")


class RandomAndNames(unittest.TestCase):
    def test_generator_steps(self):
        z.ISEED[12] = 1
        self.assertEqual(z.alea(12), F(3132) / F(524288))
        self.assertEqual(z.ISEED[12], 3132)
        z.ISEED[12] = 308533
        self.assertEqual(z.alea(12), F(7) / F(524288))
        z.ISEED[12] = 0
        z.alea(12)
        self.assertEqual(z.ISEED[12], 7)

    def test_radix40(self):
        self.assertEqual(z.dgsr40(1683), "ABC   ")
        self.assertEqual(z.dgsr40(-2041837881), "ACOUST")
        self.assertEqual(z.dgsr40(90188), "OPL  A")
        self.assertEqual(z.dgsr40(352332), "OPL  E")

    def test_constants(self):
        self.assertEqual(z.PI, F(3.1415901))
        self.assertEqual(z.DPI, F(6.2831802))


if __name__ == "__main__":
    unittest.main()
