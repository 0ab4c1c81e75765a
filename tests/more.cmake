# Regression tests of the faults found by fuzzing and by the output-file review.
zot_unit_tests(test_fuzz_regressions fuzz_regressions driverlib)
