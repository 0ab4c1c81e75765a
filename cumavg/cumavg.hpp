// cumavg: the running mean of a column of values.
#pragma once

#include <cstdio>

namespace cumavg {

inline constexpr const char* kInputName = "avirer";
inline constexpr const char* kOutputName = "MoyMobilCumul.txt";
inline constexpr int kFailure = 2;

// The whole program, in the current directory: the prompt goes to `out`, the count is read
// from `in`, the values from "avirer", the means go to "MoyMobilCumul.txt" and diagnostics
// to `err`. Returns the exit status: 0, or kFailure with "MoyMobilCumul.txt" unchanged.
int run(std::FILE* in, std::FILE* out, std::FILE* err);

}  // namespace cumavg
