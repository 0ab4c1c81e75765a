// A small hand-made material for the scattering tests: two valleys, one or two energy
// domains, lambdas whose cumulative probabilities are constant over the energy grid.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>

#include "particle/records.hpp"
#include "scatter/scatter.hpp"
#include "tables/tables.hpp"
#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"
#include "scatter/scatter.hpp"
#include "scatter/work.hpp"
#include "tables/model.hpp"

namespace scattest {

constexpr float kStep = 0.0078125f;  // 2^-7 eV: 10 steps are exact in single precision
constexpr int32_t kNen = 200;

// Radix-40 packing of a six-character name (blank 0, A..Z 1..26, 0..9 27..36).
inline int32_t pack40(std::string_view s) {
    auto code = [&](size_t i) -> uint32_t {
        char c = i < s.size() ? s[i] : ' ';
        if (c >= 'A' && c <= 'Z') return static_cast<uint32_t>(c - 'A' + 1);
        if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0' + 27);
        return 0;
    };
    uint32_t g1 = (code(0) * 40 + code(1)) * 40 + code(2);
    uint32_t g2 = (code(3) * 40 + code(4)) * 40 + code(5);
    return static_cast<int32_t>(g1 + g2 * 65536u);
}

// The deviate the next draw on `seed` will give, without touching the seed.
inline float next_draw(int32_t seed) {
    float r;
    scatter::alea(seed, r);
    return r;
}

// A seed whose next deviate is exactly `r` (a multiple of 2^-19).
inline int32_t seed_giving(float r) {
    for (int32_t s = 1; s < 524288; ++s)
        if (next_draw(s) == r) return s;
    return 0;
}

class Material : public ::testing::Test {
protected:
    void SetUp() override {
        auto& t = tables::tablam;
        tables::reset_records();
        particle::reset_records();
        scatter::reset_state();
        klip::reset_records();
        klip::standard_units();

        t.NVA = 2;
        t.DELTAE = kStep;
        for (int iv = 1; iv <= 2; ++iv) {
            t.NEN[iv] = kNen;
            t.NDOM[iv] = 1;
            t.ENMAX[iv] = kStep * kNen;
            for (int ie = 1; ie <= kNen; ++ie) t.IDOM[iv][ie] = 1;
            for (int k = 1; k <= tables::kLambdas; ++k)
                t.IPLAM[iv][k] = ((iv - 1) * tables::kLambdas + (k - 1)) * kNen;
            t.IPTOT[iv] = (iv - 1) * kNen;
        }
        t.NLAM[1] = t.NLAM[2] = 0;
        for (int n = 1; n <= 2 * kNen; ++n) t.RLTOT[n] = -1.0e-13f;

        auto& b = tables::bande;
        b.ENGAP = 0.5f;
        b.MEFF[1] = 0.067f;
        b.ML[1] = 0.067f;
        b.MT[1] = 0.067f;
        b.IFORV[1] = 0;
        b.ALP[1] = 0.61f;
        b.MEFF[2] = 0.22f;
        b.ML[2] = 1.9f;
        b.MT[2] = 0.075f;
        b.IFORV[2] = 1;
        b.ALP[2] = 0.5f;
        b.ENVAL[1] = 0.0f;
        b.ENVAL[2] = 0.25f;

        auto& e = particle::electr;
        e.IP = 1;
        e.ITPORT = 1;
        e.NVF = e.NVI = 1;
        e.ENF = 0.5f;
        e.WXF = 1.0e5f;
        e.WYF = 2.0e5f;
        e.WZF = -1.5e5f;
        e.MXF = e.MYF = e.MZF = 0.067f;
        e.MXI = e.MYI = e.MZI = 0.067f;
    }

    // Lambda k of valley iv: kind, final valley, phonon, name.
    static void lambda(int iv, int k, int32_t kind, int32_t nvfl = 0, int32_t ipho = 1,
                       std::string_view name = "") {
        auto& t = tables::tablam;
        if (t.NLAM[iv] < k) t.NLAM[iv] = k;
        t.ITYPL[iv][k] = kind;
        t.NVFL[iv][k] = nvfl ? nvfl : iv;
        t.IPHOL[iv][k] = ipho;
        t.NOMLAM[iv][k] = pack40(name.empty() ? "SSC001" : name);
    }

    // Order list of domain j of valley iv, with the cumulative probability of each listed
    // lambda (constant over the energy grid). A listed 0 is an empty position.
    static void order(int iv, int j, std::initializer_list<int32_t> lams,
                      std::initializer_list<float> cums) {
        auto& t = tables::tablam;
        int k = 0;
        for (int32_t lam : lams) t.IORDL[iv][j][++k] = lam;
        t.NLDOM[iv][j] = k;
        auto c = cums.begin();
        for (int32_t lam : lams) {
            float v = *c++;
            if (lam == 0) continue;
            for (int ie = 1; ie <= kNen; ++ie) t.RLAM[t.IPLAM[iv][lam] + ie] = v;
        }
    }

    // Lambda 1 of valley 1 (an absorption, cumulative 0.5) then lambda 2 (self-scattering);
    // the seed of the selection is placed so that the first draw takes lambda 1 and the
    // second lambda 2.
    static void absorption_then_self(int32_t kind, int32_t nvfl) {
        lambda(1, 1, kind, nvfl, 1, "ABS001");
        lambda(1, 2, 16);
        order(1, 1, {1, 2}, {0.5f, 1.0f});
        int32_t s = 1;
        for (;; ++s) {
            int32_t t = s;
            float r1, r2;
            scatter::alea(t, r1);
            scatter::alea(t, r2);
            if (r1 <= 0.5f && r2 > 0.5f) break;
        }
        particle::etir.ISEED[9] = s;
    }

    // The only mechanism of valley 1: lambda 1 of the given kind, always chosen.
    static void only(int32_t kind, int32_t nvfl = 1, int32_t ipho = 1) {
        lambda(1, 1, kind, nvfl, ipho);
        order(1, 1, {1}, {1.0f});
    }
};

// Run `body` in a child process whose standard output goes to a file; returns the file's
// text. The child must end with status 2.
#define EXPECT_FATAL_OUTPUT(body, out)                                                  \
    do {                                                                                \
        const std::string path_ =                                                       \
            ::testing::TempDir() + "scatter_fatal_" + std::to_string(::getpid()) + "_"  \
            + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt"; \
        std::filesystem::remove(path_);                                                 \
        EXPECT_EXIT(                                                                    \
            {                                                                           \
                fio::flush_all();                                                       \
                int fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);    \
                ::dup2(fd_, 1);                                                         \
                body;                                                                   \
            },                                                                          \
            ::testing::ExitedWithCode(2), "");                                          \
        std::ifstream in_(path_);                                                       \
        std::stringstream ss_;                                                          \
        ss_ << in_.rdbuf();                                                             \
        out = ss_.str();                                                                \
    } while (0)

}  // namespace scattest
