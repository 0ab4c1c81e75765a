// Trace lines of the scattering routine: selection trace (debug 10..99), mechanism trace of
// the traced particle (debug 100 + IP), rejection traces (debug >= 4).
#include "model_fixture.hpp"

namespace {

using scattest::next_draw;

class Traces : public scattest::Material {
protected:
    static std::string run_inter() {
        fio::capture_begin();
        scatter::inter();
        return fio::capture_end();
    }
};

TEST_F(Traces, SelectionTraceForEveryEventBetween10And99) {
    lambda(1, 1, 16, 1, 1, "SSC001");
    order(1, 1, {1}, {1.0f});
    const std::string two = " ****** Interaction :\n Nom en clair de ce lambda: SSC001\n";
    for (int32_t level : {10, 55, 99}) {
        klip::debug.level = level;
        for (int32_t ip : {1, 2}) {
            particle::electr.IP = ip;
            EXPECT_EQ(run_inter(), two) << "debug " << level;
        }
    }
    for (int32_t level : {0, 9, 100, 101}) {
        klip::debug.level = level;
        EXPECT_EQ(run_inter(), "") << "debug " << level;
    }
}

TEST_F(Traces, MechanismTraceOnlyForTheTracedParticle) {
    lambda(1, 1, 9, 2, 3, "IV0A03");
    order(1, 1, {1}, {1.0f});
    tables::parlam.HWIV0[3][2][1] = 0.0625f;
    auto& e = particle::electr;
    klip::debug.level = 105;
    e.IP = 4;
    EXPECT_EQ(run_inter(), "");
    e.IP = 5;
    const float r09 = next_draw(particle::etir.ISEED[9]);
    EXPECT_EQ(run_inter(), " ********** INTER : Intervallee ordre 0 absorption\n"
                           " cellule no   0 materiau no   1\n"
                           " ENF,DEN =   0.500000    7.81250E-03\n"
                           " NVF,NVI=  1  2\n"
                           " phonon no  3\n"
                           " Index energie =   65\n"
                           " Domaine no =   1\n"
                           " Tirage au sort : " + fio::free_real(r09) + "\n"
                           " No d'ordre du lambda =  1\n"
                           " No du lambda =   1\n"
                           " Nom en clair de ce lambda: IV0A03\n"
                           " No du type d'interaction correspondant:   9\n");
    // debug 100 traces nobody.
    klip::debug.level = 100;
    e.IP = 0;
    EXPECT_EQ(run_inter(), "");
}

TEST_F(Traces, LinesOfTheTraceDependOnTheKind) {
    auto& e = particle::electr;
    klip::debug.level = 101;
    e.IP = 1;
    // Kinds 1..7: no phonon line.
    only(7, 2);
    std::string out = run_inter();
    EXPECT_EQ(out.substr(0, out.find('\n') + 1), " ********** INTER: ONP absorption\n");
    EXPECT_NE(out.find(" NVF,NVI=  1  2\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("phonon"), std::string::npos) << out;
    // Kinds 12..16: neither the valley line nor the phonon line.
    SetUp();
    klip::debug.level = 101;
    lambda(1, 1, 16, 1, 1, "SSC001");
    order(1, 1, {1}, {1.0f});
    const float r09 = next_draw(particle::etir.ISEED[9]);
    EXPECT_EQ(run_inter(), " ********** INTER : Self-scattering\n"
                           " cellule no   0 materiau no   1\n"
                           " ENF,DEN =   0.500000    7.81250E-03\n"
                           " Index energie =   65\n"
                           " Domaine no =   1\n"
                           " Tirage au sort : " + fio::free_real(r09) + "\n"
                           " No d'ordre du lambda =  1\n"
                           " No du lambda =   1\n"
                           " Nom en clair de ce lambda: SSC001\n"
                           " No du type d'interaction correspondant:   16\n");
}

TEST_F(Traces, EveryKindHasItsHeader) {
    const char* headers[17] = {"",
                               "********** INTER : Impuretes",
                               "********** INTER : Acoustiques",
                               "********** INTER : Piezoelectriques",
                               "********** INTER : OPL emission",
                               "********** INTER : OPL absorption",
                               "********** INTER : ONP emission",
                               "********** INTER: ONP absorption",
                               "********** INTER : Intervallee ordre 0 emission",
                               "********** INTER : Intervallee ordre 0 absorption",
                               "********** INTER : Intervallee ordre 1 emission",
                               "********** INTER : Intervallee ordre 1 absorption",
                               "********** INTER : Alliage",
                               "********** INTER : Surface",
                               "********** INTER : Recombinaison",
                               "********** INTER : Ionisation",
                               "********** INTER : Self-scattering"};
    for (int32_t kind = 1; kind <= 16; ++kind) {
        SetUp();
        klip::debug.level = 101;
        only(kind);
        const std::string out = run_inter();
        EXPECT_EQ(out.substr(0, out.find('\n')), std::string(" ") + headers[kind]);
    }
}

TEST_F(Traces, RejectedAbsorptionTraceFromDebug4) {
    auto& e = particle::electr;
    e.ITPORT = 2;
    e.ENF = 1.25f;
    tables::parlam.HWOPL = 0.25f;
    absorption_then_self(5, 1);
    klip::debug.level = 3;
    EXPECT_EQ(run_inter(), "");
    absorption_then_self(5, 1);
    scatter::inter_state.popsi = 0.0f;
    klip::debug.level = 4;
    EXPECT_EQ(run_inter(),
              " POPSI,ITPORT,IX,IY,IZ,ENI     1.00000  2  0  0  0    1.50000\n"
              " OPLA, VALLEE   1 MATERIAU   1\n");

    // Intervalley absorptions write the first line only; the non-polar one writes nothing.
    SetUp();
    e.ITPORT = 1;
    e.ENF = 1.25f;
    tables::parlam.HWIV1[1][2][1] = 0.5f;
    absorption_then_self(11, 2);
    klip::debug.level = 4;
    EXPECT_EQ(run_inter(), " POPSI,ITPORT,IX,IY,IZ,ENI     1.00000  1  0  0  0    1.75000\n");
    SetUp();
    e.ENF = 1.25f;
    tables::parlam.HWONP = 0.5f;
    tables::bande.ENVAL[2] = 0.0f;
    absorption_then_self(7, 2);
    klip::debug.level = 4;
    EXPECT_EQ(run_inter(), "");
    EXPECT_EQ(scatter::inter_state.popsi, 1.0f);
}

}  // namespace
