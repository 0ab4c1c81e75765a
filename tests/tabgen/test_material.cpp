// Material descriptions: the shipped ones read, and every kind of bad input is refused
// with a message naming the field.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <cmath>
#include <string>

#include "tabgen/build.hpp"
#include "tabgen/material.hpp"

namespace {

const std::string kBase = R"(material  TEST
table     TEST_E
carrier   electrons
temperature 300
doping    1e15
deltae    0.002
etop      1.5
gap       1.4
density   5000
sound     5000
eps_static 12
eps_optic  10
polar_phonon 0.035
valley G form 0 mass 0.07 alpha 0.6 energy 0 count 1 acoustic 7
valley L form 0 mass 0.2 alpha 0.4 energy 0.3 count 4 acoustic 9
intervalley G L 0 0.028 1e9
)";

std::string replace(std::string s, const std::string& from, const std::string& to) {
    const size_t p = s.find(from);
    EXPECT_NE(p, std::string::npos) << from;
    if (p != std::string::npos) s.replace(p, from.size(), to);
    return s;
}

std::string error_of(const std::string& text) {
    tabgen::Material m;
    std::string err;
    if (tabgen::parse_material(text, m, err)) {
        auto g = tabgen::build_tables(m, err);
        if (g) return "";
    }
    return err;
}

}  // namespace

TEST(Material, ShippedDescriptionsRead) {
    for (const char* f : {"gaas.mat", "si.mat", "inp.mat"}) {
        tabgen::Material m;
        std::string err;
        ASSERT_TRUE(
            tabgen::read_material(std::string(ZOT_SOURCE_DIR) + "/examples/materials/" + f, m, err))
            << err;
        EXPECT_EQ(m.table.size(), 6u);
        EXPECT_EQ(m.temperature, 300.0);
    }
}

// The temperature laws against measured values: GaAs gap 1.424 eV at 300 K and 1.519 eV at
// 0 K (Blakemore, J. Appl. Phys. 53, R123 (1982)), Si 1.124 eV at 300 K (Green, J. Appl. Phys.
// 67, 2944 (1990)); GaAs Gamma-L separation 0.29 eV at 300 K, narrowing as T rises.
TEST(Material, TemperatureLawsOfTheShippedDescriptions) {
    auto at = [](const char* f, const char* temp) {
        std::ifstream in(std::string(ZOT_SOURCE_DIR) + "/examples/materials/" + f);
        std::stringstream ss;
        ss << in.rdbuf();
        tabgen::Material m;
        std::string err;
        EXPECT_TRUE(tabgen::parse_material(
            replace(ss.str(), "temperature     300", std::string("temperature     ") + temp), m,
            err))
            << err;
        return m;
    };
    EXPECT_NEAR(at("gaas.mat", "300").gap, 1.424, 0.003);
    EXPECT_NEAR(at("gaas.mat", "1").gap, 1.519, 0.001);
    EXPECT_NEAR(at("si.mat", "300").gap, 1.124, 0.003);
    EXPECT_NEAR(at("gaas.mat", "300").valleys[1].energy, 0.29, 1e-6);
    EXPECT_GT(at("gaas.mat", "77").valleys[1].energy, at("gaas.mat", "400").valleys[1].energy);
}

// Tables outside the checked range are made, with a warning for each reason; none at 300 K.
TEST(Material, WarningsOutsideTheCheckedRange) {
    auto warnings = [](const std::string& text) {
        tabgen::Material m;
        std::string err;
        EXPECT_TRUE(tabgen::parse_material(text, m, err)) << err;
        std::string all;
        for (const auto& w : m.warnings) all += w.substr(0, w.find(' ')) + ";";
        return all;
    };
    EXPECT_EQ(warnings(kBase), "");
    EXPECT_EQ(warnings(replace(kBase, "temperature 300", "temperature 4.2")),
              "temperature;deltae;");
    EXPECT_EQ(warnings(replace(kBase, "temperature 300", "temperature 600")), "temperature;");
    EXPECT_EQ(warnings(replace(kBase, "doping    1e15", "doping 2e19")), "doping;");
}

TEST(Material, ValuesAndDerivedMasses) {
    tabgen::Material m;
    std::string err;
    std::string text = kBase + "valley X form 2 mass 0.9 0.2 alpha 0.5 energy 0.5 count 3\n";
    text = replace(text, "polar_phonon 0.035\n", "");
    ASSERT_TRUE(tabgen::parse_material(text, m, err)) << err;
    ASSERT_EQ(m.valleys.size(), 3u);
    EXPECT_EQ(m.valleys[2].form, 2);
    EXPECT_DOUBLE_EQ(m.valleys[2].ml, 0.9);
    EXPECT_DOUBLE_EQ(m.valleys[2].mt, 0.2);
    EXPECT_NEAR(m.valleys[2].md, std::cbrt(0.9 * 0.2 * 0.2), 1e-15);
    EXPECT_EQ(m.carrier, 'E');
    EXPECT_FALSE(m.ionisation);
}

TEST(Material, BadInputNamesTheField) {
    struct Case {
        std::string text, field;
    };
    const Case cases[] = {
        {replace(kBase, "deltae    0.002\n", ""), "deltae: missing"},
        {replace(kBase, "deltae    0.002", "deltae 0"), "deltae: must be above 0"},
        {replace(kBase, "deltae    0.002", "deltae -1"), "deltae"},
        {replace(kBase, "density   5000", "density 5e3x"), "density: not a number"},
        {replace(kBase, "mass 0.07", "mass -0.07"), "valley G mass: must be above 0"},
        {replace(kBase, "mass 0.07 ", ""), "valley G mass: missing"},
        {replace(kBase, "alpha 0.6", "alpha abc"), "valley G alpha"},
        {replace(kBase, "form 0 mass 0.2", "form 7 mass 0.2"), "valley L form"},
        {replace(kBase, "form 0 mass 0.2", "form 1 mass 0.3 0.2"), "valley L form: polar optical"},
        {replace(kBase, "form 0 mass 0.2", "form 1 mass 0.2"),
         "valley L mass: an ellipsoidal valley takes two masses"},
        {kBase
             + "valley X form 0 mass 0.5 alpha 0.1 energy 0.5\nvalley Y form 0 mass 0.5 alpha 0.1 "
               "energy 0.6\n"
               "valley Z form 0 mass 0.5 alpha 0.1 energy 0.7\n",
         "more than 4 valleys"},
        {replace(kBase, "valley L form", "valley G form"), "used twice"},
        {replace(kBase, "table     TEST_E", "table TEST"), "table: one name of exactly 6"},
        {replace(kBase, "material  TEST", "material ThisIsTooLongName"), "material"},
        {replace(kBase, "carrier   electrons", "carrier ions"), "carrier"},
        {replace(kBase, "temperature 300", "temperature 0"), "temperature: must be above 0"},
        {replace(kBase, "temperature 300", "temperature 1e-30"),
         "temperature: must lie between 1 and 9999 K"},
        {replace(kBase, "doping    1e15", "doping 1e30"), "doping: must not exceed"},
        {replace(kBase, "etop      1.5", "etop 1e300"), "etop: must not exceed 20 eV"},
        {replace(kBase, "deltae    0.002", "deltae 1e-300"), "deltae/etop: valley G needs"},
        {replace(kBase, "acoustic 9", "acoustic 1e30"), "valley L: rate of ACO beyond 1e20"},
        {replace(kBase, "eps_optic  10", "eps_optic 13"), "eps_static: must be above eps_optic"},
        {replace(kBase, "etop      1.5", "etop 0.2"), "etop"},
        {replace(kBase, "etop      1.5", "etop 4"),
         "deltae/etop: valley G needs 2000 energy points"},
        {replace(kBase, "deltae    0.002", "deltae 0.001")
             + "valley X form 0 mass 0.5 alpha 0.1 energy 0.05\n"
               "valley Y form 0 mass 0.5 alpha 0.1 energy 0.05\n",
         "deltae/etop: 5600 total-rate values, more than 5000"},
        {kBase + "colour blue\n", "colour: unknown field"},
        {kBase + "gap 1.5\n", "gap: given twice"},
        {kBase + "intervalley G Q 0 0.03 1e9\n", "unknown valley Q"},
        {kBase + "intervalley G L 2 0.03 1e9\n", "intervalley order"},
        {kBase + "intervalley G L 0 0 1e9\n", "intervalley energy"},
        {kBase + "intervalley G L 0 30293 1e9\n",
         "intervalley energy: must be a number above 0, at most 1 eV"},
        {replace(kBase, "polar_phonon 0.035", "polar_phonon 2"),
         "polar_phonon: must not exceed 1 eV"},
        {kBase
             + "intervalley G L 0 0.03 1e9\nintervalley G L 0 0.03 1e9\nintervalley G L 0 0.03 "
               "1e9\n"
               "intervalley G L 0 0.03 1e9\n",
         "more than 4 order-0 phonons between valleys G and L"},
        {replace(kBase, "valley G form",
                 "valley X form 0 mass 0.1 alpha 0 energy 0.1\nvalley G form"),
         "the first valley must be the lowest"},
        {kBase + "ionisation 1.7\n", "ionisation"},
        {kBase + "impurity_correction -1 1e17 1\n", "impurity_correction gain"},
        {replace(kBase, "count 4 acoustic", "count 4 varshni 6e-4 204 acoustic"),
         "valley L varshni: needs gap_varshni"},
        {replace(replace(kBase, "gap       1.4", "gap_varshni 1.5 5e-2 200"), "count 4 acoustic",
                 "count 4 varshni 6e-4 204 acoustic"),
         "gap_varshni: the gap would be"},
        {replace(replace(kBase, "gap       1.4", "gap_varshni 2.5 1e-2 200"), "count 4 acoustic",
                 "count 4 varshni 6e-4 204 acoustic"),
         "valley L varshni: its edge would lie at"},
        {replace(replace(kBase, "gap       1.4", "gap_varshni 1.5 5e-4 200"), "count 4 acoustic",
                 "count 4 varshni 1 0 acoustic"),
         "valley L varshni: below the first valley"},
        {kBase + "impurity_correction 2 1e17\n", "impurity_correction: expected"},
    };
    for (const auto& c : cases) {
        const std::string err = error_of(c.text);
        EXPECT_NE(err.find(c.field), std::string::npos)
            << "wanted \"" << c.field << "\", got \"" << err << "\"";
    }
}

TEST(Material, TooManyMechanismsInOneValley) {
    // Valley L: 4 + 2 x (4 + 3 + 3 order-0 and 3 x 3 order-1 phonons to other valleys) + 2 x 4 + 1 > 40
    std::string text = kBase + "valley X form 0 mass 0.5 alpha 0.1 energy 0.5 count 3\n"
                               "valley Y form 0 mass 0.5 alpha 0.1 energy 0.6 count 3\n";
    for (int i = 0; i < 3; ++i) text += "intervalley * ~ 0 0.03 1e8\nintervalley * ~ 1 0.03 1\n";
    for (int i = 0; i < 4; ++i) text += "intervalley * = 0 0.03 1e8\n";
    EXPECT_NE(error_of(text).find("mechanisms, more than 40"), std::string::npos) << error_of(text);
}

TEST(Material, LineNumbersInMessages) {
    const std::string err = error_of(replace(kBase, "sound     5000", "sound fast"));
    EXPECT_EQ(err.rfind("line 10: sound", 0), 0u) << err;
}
