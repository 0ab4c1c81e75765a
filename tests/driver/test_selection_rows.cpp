// The selection rows built at the start of a run must choose exactly what the scan of the
// order lists chooses: same lambda, position, kind, counters, draws and final state, for
// every valley and energy index of real table files, at bin centres and on the bin edges
// (where the energy index from the reciprocal of the step is checked against the division).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "driver/input.hpp"
#include "driver/records.hpp"
#include "klip/fio.hpp"
#include "klip/records.hpp"
#include "scatter/scatter.hpp"
#include "scatter/work.hpp"
#include "tables/model.hpp"
#include "tables/tables.hpp"
#include "driver_env.hpp"

namespace {

// Everything inter reads or writes that may differ between the two ways.
struct Snapshot {
    driver::Electr electr;
    driver::Etir etir;
    int32_t interion = 0;
    int64_t nbinter = 0;
    scatter::detail::Work work;
    scatter::InterState state;
    decltype(tables::tablam.NBLAM) nblam;

    static Snapshot take() {
        return {driver::electr,        driver::etir,         driver::INTERION,    driver::NBINTER,
                scatter::detail::work, scatter::inter_state, tables::tablam.NBLAM};
    }
    void restore() const {
        driver::electr = electr;
        driver::etir = etir;
        driver::INTERION = interion;
        driver::NBINTER = nbinter;
        scatter::detail::work = work;
        scatter::inter_state = state;
        tables::tablam.NBLAM = nblam;
    }
};

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expect_same(const Snapshot& a, const Snapshot& b, const std::string& where) {
    const auto& x = a.electr;
    const auto& y = b.electr;
    EXPECT_EQ(x.NVI, y.NVI) << where;
    for (auto [p, q] : {std::pair{x.ENI, y.ENI},
                        {x.WXI, y.WXI},
                        {x.WYI, y.WYI},
                        {x.WZI, y.WZI},
                        {x.MXI, y.MXI},
                        {x.MYI, y.MYI},
                        {x.MZI, y.MZI}}) {
        EXPECT_TRUE(same_bits(p, q)) << where << ": " << p << " / " << q;
    }
    EXPECT_EQ(a.etir.ISEED, b.etir.ISEED) << where;
    EXPECT_EQ(a.etir.NDRAW, b.etir.NDRAW) << where;
    EXPECT_EQ(a.interion, b.interion) << where;
    EXPECT_EQ(a.nbinter, b.nbinter) << where;
    EXPECT_EQ(a.work.ie01, b.work.ie01) << where;
    EXPECT_EQ(a.work.nd01, b.work.nd01) << where;
    EXPECT_EQ(a.work.nk01, b.work.nk01) << where;
    EXPECT_EQ(a.work.ilamb, b.work.ilamb) << where;
    EXPECT_TRUE(same_bits(a.state.popsi, b.state.popsi)) << where;
    EXPECT_TRUE(a.nblam == b.nblam) << where;
}

// The rows (and the energy index from the reciprocal of the step) on or off, without
// building them again.
void use_rows(bool on) {
    scatter::detail::selection.ready = on;
    scatter::index_guess.ready = on;
}

class SelectionRows : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        drivertest::reset_program();
        tables::ulog.table_unit = 26;
        fio::capture_begin();
        driver::reset_model();
        const int status = tables::lila(GetParam(), 1);
        const std::string out = fio::capture_end();
        ASSERT_EQ(status, 0) << out;
        driver::copy_rates();
        driver::kind_codes();
        tables::tablam.NBLAM = {};
        scatter::prepare_selection();
    }
    void TearDown() override { scatter::forget_selection(); }

    // One event from the end-of-flight state (valley nv, energy enf) with the selection
    // deviate drawn from `seed`, the long way and through the rows.
    Snapshot compare(int32_t nv, float enf, int32_t seed) {
        auto& e = driver::electr;
        e.IP = 1;
        e.NVF = nv;
        e.NVI = nv;
        e.ENF = enf;
        e.WXF = 1.5e5f;
        e.WYF = -2.0e5f;
        e.WZF = 0.5e5f;
        e.MXF = e.MYF = e.MZF = tables::bande.MEFF[nv];
        driver::etir.ISEED[9] = seed;
        driver::etir.ISEED[2] = (seed * 7 + 11) % 524288;
        driver::etir.ISEED[3] = (seed * 13 + 5) % 524288;
        const Snapshot start = Snapshot::take();
        use_rows(false);
        scatter::inter();
        const Snapshot long_way = Snapshot::take();
        start.restore();
        use_rows(true);
        scatter::inter();
        const Snapshot rows = Snapshot::take();
        start.restore();
        expect_same(long_way, rows,
                    "valley " + std::to_string(nv) + ", ENF " + std::to_string(enf) + ", seed "
                        + std::to_string(seed));
        return rows;
    }
};

TEST_P(SelectionRows, ChooseWhatTheOrderListsChoose) {
    const auto& t = tables::tablam;
    const float step = t.DELTAE;
    for (int32_t nv = 1; nv <= t.NVA; ++nv) {
        const int32_t nen = std::min(t.NEN[nv], tables::kEnergies);
        const int32_t stride = nen > 200 ? 7 : 1;
        for (int32_t ie = 1; ie <= nen; ie += stride) {
            const float edge = static_cast<float>(ie - 1) * step;  // index ie from here on
            const float top = static_cast<float>(ie) * step;
            for (float enf : {(static_cast<float>(ie) - 0.5f) * step, edge,
                              std::nextafter(edge, 1.0f), std::nextafter(top, 0.0f)}) {
                if (!(enf / step + 1.0f >= 1.0f
                      && enf / step + 1.0f < static_cast<float>(nen) + 1.0f))
                    continue;  // outside the table: the index fault, tested elsewhere
                for (int32_t seed : {1, 4099, 77777, 262143, 524287}) compare(nv, enf, seed);
                if (HasFailure()) return;
            }
        }
    }
}

// A deviate equal to a stored cumulative value selects that lambda both ways.
TEST_P(SelectionRows, DrawEqualToAStoredValue) {
    auto& t = tables::tablam;
    const int32_t nv = 1;
    const int32_t ie = 2;
    const int32_t nd = t.IDOM[nv][ie];
    const int32_t lam = t.IORDL[nv][nd][1];
    ASSERT_GE(lam, 1);
    const float r = 123457.0f / 524288.0f;
    t.RLAM[t.IPLAM[nv][lam] + ie] = r;
    scatter::prepare_selection();
    int32_t seed = 0;
    for (int32_t s = 1; s < 524288 && seed == 0; ++s) {
        int32_t probe = s;
        float d = 0.0f;
        scatter::alea(probe, d);
        if (d == r) seed = s;
    }
    ASSERT_NE(seed, 0);
    const Snapshot rows = compare(nv, (static_cast<float>(ie) - 0.5f) * t.DELTAE, seed);
    EXPECT_EQ(rows.work.ilamb, lam);
    EXPECT_EQ(rows.work.nk01, 1);
}

// Rows whose values decrease somewhere or hold a NaN (only a damaged table has them) are
// not counted: the scan of the order list decides, with its own answer.
TEST_P(SelectionRows, DisorderedOrUnreadableRowsGoTheLongWay) {
    auto& t = tables::tablam;
    const int32_t nv = 1;
    const int32_t ie = 3;
    const int32_t nd = t.IDOM[nv][ie];
    std::vector<int32_t> listed;
    for (int32_t k = 1; k <= tables::kLambdas; ++k) {
        const int32_t lam = t.IORDL[nv][nd][k];
        if (lam >= 1 && lam <= tables::kLambdas) listed.push_back(lam);
    }
    ASSERT_GE(listed.size(), 2u);
    const float enf = (static_cast<float>(ie) - 0.5f) * t.DELTAE;
    for (float first : {0.75f, std::numeric_limits<float>::quiet_NaN()}) {
        t.RLAM[t.IPLAM[nv][listed[0]] + ie] = first;
        t.RLAM[t.IPLAM[nv][listed[1]] + ie] = 0.25f;
        scatter::prepare_selection();
        for (int32_t seed = 1; seed < 524288; seed += 9973) compare(nv, enf, seed);
    }
}

INSTANTIATE_TEST_SUITE_P(TableFiles, SelectionRows,
                         ::testing::Values(ZOT_TEST_DATA "/tables/ONEVAL-bin",
                                           ZOT_TEST_DATA "/tables/TRIVAL-bin",
                                           ZOT_TEST_DATA "/tables/QUAVAL-bin",
                                           ZOT_SOURCE_DIR "/examples/GAAS_E-bin",
                                           ZOT_SOURCE_DIR "/examples/SILI_E-bin",
                                           ZOT_SOURCE_DIR "/examples/INPH_E-bin"));

}  // namespace
