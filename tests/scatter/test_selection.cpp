// Choice of the mechanism: energy index, domain, draw on ISEED(9), order-list scan,
// counters, and the fatal conditions of the selection.
#include <cmath>
#include <limits>

#include "model_fixture.hpp"

namespace {

using scatter::detail::work;
using scattest::kNen;
using scattest::kStep;
using scattest::next_draw;

class Selection : public scattest::Material {};

TEST_F(Selection, EnergyIndexTruncates) {
    only(16);
    auto& e = particle::electr;
    struct Case {
        float enf;
        int32_t ie;
    };
    for (Case c : {Case{0.0f, 1}, Case{3.5f * kStep, 4}, Case{3.0f * kStep, 4}, Case{1.0e-8f, 1},
                   Case{(kNen - 0.5f) * kStep, kNen}}) {
        e.ENF = c.enf;
        scatter::inter();
        EXPECT_EQ(work.ie01, c.ie) << "ENF " << c.enf;
    }
}

TEST_F(Selection, DomainComesFromTheEnergyMap) {
    auto& t = tables::tablam;
    t.NDOM[1] = 2;
    for (int ie = 101; ie <= kNen; ++ie) t.IDOM[1][ie] = 2;
    lambda(1, 1, 13);
    lambda(1, 2, 14);
    order(1, 1, {1}, {1.0f});
    order(1, 2, {2}, {1.0f});
    auto& e = particle::electr;
    e.ENF = 99.5f * kStep;  // index 100
    scatter::inter();
    EXPECT_EQ(work.nd01, 1);
    EXPECT_EQ(particle::INTERION, 13);
    e.ENF = 100.5f * kStep;  // index 101
    scatter::inter();
    EXPECT_EQ(work.nd01, 2);
    EXPECT_EQ(particle::INTERION, 14);
    EXPECT_EQ(t.NBLAM[1][1], 1);
    EXPECT_EQ(t.NBLAM[1][2], 1);
}

TEST_F(Selection, DrawEqualToACumulativeValueSelectsThatCandidate) {
    lambda(1, 1, 13);
    lambda(1, 2, 16);
    const float r = next_draw(particle::etir.ISEED[9]);
    order(1, 1, {1, 2}, {r, 1.0f});
    scatter::inter();
    EXPECT_EQ(work.nk01, 1);
    EXPECT_EQ(work.ilamb, 1);
    EXPECT_EQ(particle::INTERION, 13);

    // One ulp below the draw: the next candidate wins.
    const float r2 = next_draw(particle::etir.ISEED[9]);
    order(1, 1, {1, 2}, {std::nextafter(r2, 0.0f), 1.0f});
    scatter::inter();
    EXPECT_EQ(work.nk01, 2);
    EXPECT_EQ(particle::INTERION, 16);
}

TEST_F(Selection, EmptyPositionsAreSkipped) {
    lambda(1, 3, 14);
    order(1, 1, {0, 0, 3}, {0.0f, 0.0f, 1.0f});
    scatter::inter();
    EXPECT_EQ(work.nk01, 3);
    EXPECT_EQ(work.ilamb, 3);
    EXPECT_EQ(particle::INTERION, 14);
    EXPECT_EQ(tables::tablam.NBLAM[1][3], 1);
}

TEST_F(Selection, CountsEveryDrawAndEveryChosenLambda) {
    only(16);
    auto& tir = particle::etir;
    int32_t seed = tir.ISEED[9];
    for (int n = 1; n <= 5; ++n) {
        float r;
        scatter::alea(seed, r);
        scatter::inter();
        EXPECT_EQ(work.r09, r);
    }
    EXPECT_EQ(tir.ISEED[9], seed);
    EXPECT_EQ(tir.NDRAW[9], 5);
    EXPECT_EQ(tables::tablam.NBLAM[1][1], 5);
    EXPECT_EQ(particle::NBINTER, 5);
    EXPECT_EQ(work.ir, 1);
    // The other streams are not used by a self-scattering.
    EXPECT_EQ(tir.ISEED[2], particle::kInitialSeeds[2]);
    EXPECT_EQ(tir.ISEED[3], particle::kInitialSeeds[3]);
    EXPECT_EQ(tir.ISEED[11], particle::kInitialSeeds[11]);
    EXPECT_EQ(tir.NDRAW[2] + tir.NDRAW[3] + tir.NDRAW[11], 0);
}

TEST_F(Selection, SelectionUsesTheValleyOfTheEndOfFlight) {
    lambda(1, 1, 13);
    order(1, 1, {1}, {1.0f});
    lambda(2, 1, 14);
    order(2, 1, {1}, {1.0f});
    auto& e = particle::electr;
    e.NVF = 2;
    e.MXF = 1.9f;
    e.MYF = e.MZF = 0.075f;
    scatter::inter();
    EXPECT_EQ(particle::INTERION, 14);
    EXPECT_EQ(tables::tablam.NBLAM[2][1], 1);
    EXPECT_EQ(tables::tablam.NBLAM[1][1], 0);
    EXPECT_EQ(e.NVI, 2);
}

using SelectionDeath = Selection;

TEST_F(SelectionDeath, EnergyIndexBeyondTheTable) {
    only(16);
    auto& e = particle::electr;
    e.IP = 7;
    e.ENF = kNen * kStep;  // index NEN + 1
    std::string out;
    EXPECT_FATAL_OUTPUT(scatter::inter(), out);
    EXPECT_EQ(out,
              " Erreur : index d'energie hors table\n"
              "  particule no  7\n"
              "  vallee no  1\n"
              "  energie =    1.56250\n"
              "  index =  201\n"
              "  NEN =  200\n");
}

TEST_F(SelectionDeath, UnreadableEnergyIsAnIndexFaultToo) {
    only(16);
    auto& e = particle::electr;
    e.ENF = std::numeric_limits<float>::quiet_NaN();
    std::string out;
    EXPECT_FATAL_OUTPUT(scatter::inter(), out);
    EXPECT_NE(out.find("  index =  0\n"), std::string::npos) << out;
    e.ENF = -2.0f * kStep;  // index -1
    EXPECT_FATAL_OUTPUT(scatter::inter(), out);
    EXPECT_NE(out.find("  index =  -1\n"), std::string::npos) << out;
}

TEST_F(SelectionDeath, EnergyIndexFaultOfTheDriver) {
    std::string out;
    EXPECT_FATAL_OUTPUT(scatter::energy_index_fault(12, 3, 2.5f, 1501, 1500), out);
    EXPECT_EQ(out,
              " Erreur : index d'energie hors table\n"
              "  particule no  12\n"
              "  vallee no  3\n"
              "  energie =    2.50000\n"
              "  index =  1501\n"
              "  NEN =  1500\n");
}

std::string repeat(std::string_view item, int n) {
    std::string s;
    for (int k = 0; k < n; ++k) s += item;
    return s;
}

TEST_F(SelectionDeath, NoCandidateAcceptedListsTheDomain) {
    auto& t = tables::tablam;
    lambda(1, 2, 16);
    lambda(1, 5, 13);
    order(1, 1, {2, 0, 5}, {0.0f, 0.0f, 0.0f});  // the cumulative values never reach the draw
    t.RLTOT[t.IPTOT[1] + 4] = -2.5e-14f;
    auto& e = particle::electr;
    e.IP = 3;
    e.ENF = 3.5f * kStep;
    const float r = next_draw(particle::etir.ISEED[9]);
    std::string out;
    EXPECT_FATAL_OUTPUT(scatter::inter(), out);
    // 40 entries per listing, wrapped before column 80; positions holding no lambda show 0.
    EXPECT_EQ(out, " Erreur trilamb : \n"
                   " cellule no   0 materiau no   1\n"
                   " particule no   3\n"
                   " ENF,DEN =" + fio::free_real(3.5f * kStep) + fio::free_real(kStep) + "\n"
                   " Index energie =   4\n"
                   " Tirage au sort : " + fio::free_real(r) + "\n"
                   " Domaine no =   1\n"
                   " Ordre des lambdas dans le domaine : \n"
                   "   2  0  5" + repeat("  0", 23) + "\n " + repeat("  0", 14) + "\n"
                   " Index des lambdas pour ce domaine :\n"
                   "   200  0  800" + repeat("  0", 22) + "\n " + repeat("  0", 15) + "\n"
                   " RL possibles/ cette energie =\n"
                   " " + repeat("  0.", 19) + "\n " + repeat("  0.", 19) + "\n " + repeat("  0.", 2) + "\n"
                   " RLTOT a cette energie = " + fio::free_real(-2.5e-14f) + "\n");
}

TEST_F(SelectionDeath, UnknownKindCode) {
    only(17);
    auto& e = particle::electr;
    e.ENF = 0.5f;
    const float r = next_draw(particle::etir.ISEED[9]);
    std::string out;
    EXPECT_FATAL_OUTPUT(scatter::inter(), out);
    EXPECT_EQ(out, " Lambda inconnu\n"
                   " maillle no   0 materiau no   1\n"
                   " ENF,DEN =   0.500000" + fio::free_real(kStep) + "\n"
                   " Index energie =   65\n"
                   " Domaine no =   1\n"
                   " Tirage au sort : " + fio::free_real(r) + "\n"
                   " No d'ordre du lambda =  1\n"
                   " No du lambda =   1\n");
}

}  // namespace
