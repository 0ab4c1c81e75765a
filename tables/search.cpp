// The repository search: finds in the catalogue the first table file computed for the
// requested material, carrier type, temperature and doping.
//
// Catalogue record, fixed columns: 1-12 table file name, 17-28 material, 33-37 temperature
// (K), 42 carrier letter, 47-57 doping (cm-3). Numeric fields are read the way formatted
// input reads them: blanks are ignored, an all-blank field is zero, a decimal point is
// optional and the exponent may be written with E or D, or as a bare signed number.
// The doping field carries a scale factor of one: without an exponent its value is divided
// by ten.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "tables/tables.hpp"

namespace tables {
namespace {

// Working values, kept between calls.
struct SearchWork {
    klip::Text<13> nomusr2;  // requested material name and one blank
    klip::Text<12> nomrep;   // material name of the current record
    klip::Text<13> nomrep2;  // nomrep and one blank
    float temrep = 0.0f;
    char typrep = ' ';
    float doprep = 0.0f;
    int32_t inom = 0;
    int32_t in = 0;
};
SearchWork work;

// What the scan saw, for the hint on standard error when nothing fits: the record that
// came nearest (the material agrees and the most of carrier, temperature and doping), the
// material names listed, and the record that could not be read.
struct Nearest {
    int records = 0;
    int best = -1;  // fields agreeing beside the material, -1: no record of the material
    int line = 0;
    std::string file;
    char type = ' ';
    float temp = 0.0f, dop = 0.0f;
    std::string materials;  // distinct names, blank-separated
    int unreadable = 0;     // line of the record that stopped the scan, 0: none
};
Nearest nearest;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Columns first..last (1-based) of a record, blank-padded when the line is short.
std::string columns(const std::string& line, size_t first, size_t last) {
    std::string s = line.size() >= first ? line.substr(first - 1, last - first + 1) : std::string();
    s.resize(last - first + 1, ' ');
    return s;
}

// A numeric field of a formatted record. Without an exponent the value is divided by
// 10**scale. Returns false for a field that formatted input cannot read.
bool read_field(const std::string& field, int scale, float& value) {
    std::string s;
    for (char c : field) {
        if (c != ' ') s.push_back(c);
    }
    if (s.empty()) {
        value = 0.0f;
        return true;
    }
    size_t i = 0;
    std::string mant;
    if (s[i] == '+' || s[i] == '-') mant.push_back(s[i++]);
    int digits = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (is_digit(s[i])) {
            ++digits;
        } else if (s[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
        mant.push_back(s[i]);
    }
    if (digits == 0) return false;
    long exponent = -scale;
    if (i < s.size()) {
        char c = s[i];
        if (c == 'E' || c == 'e' || c == 'D' || c == 'd') ++i;
        else if (c != '+' && c != '-') return false;
        bool negative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
        int exp_digits = 0;
        long e = 0;
        for (; i < s.size() && is_digit(s[i]); ++i, ++exp_digits) {
            if (e < 100000) e = e * 10 + (s[i] - '0');
        }
        if (exp_digits == 0 || i != s.size()) return false;
        exponent = negative ? -e : e;
    }
    std::string text = mant + "e" + std::to_string(exponent);
    errno = 0;
    float v = std::strtof(text.c_str(), nullptr);
    if (!std::isfinite(v)) return false;
    value = v;
    return true;
}

// Reads the next catalogue record into nfidat and the working values. False at the end of
// the catalogue or on a record that cannot be read.
bool next_record(int unit, klip::Text<80>& nfidat) {
    std::string line;
    if (!fio::read_line(unit, line)) return false;
    float temp = 0.0f;
    float dop = 0.0f;
    if (!read_field(columns(line, 33, 37), 0, temp) || !read_field(columns(line, 47, 57), 1, dop)) {
        nearest.unreadable = nearest.records + 1;
        return false;
    }
    nfidat.set(columns(line, 1, 12));
    work.nomrep.set(columns(line, 17, 28));
    work.temrep = temp;
    work.typrep = columns(line, 42, 42)[0];
    work.doprep = dop;
    return true;
}

// 1-based position of the first blank.
template <size_t N> int32_t first_blank(const klip::Text<N>& t) {
    for (size_t k = 0; k < N; ++k) {
        if (t.c[k] == ' ') return static_cast<int32_t>(k + 1);
    }
    return 0;
}

bool same_name(std::string_view nommat) {
    return work.in == work.inom
           && nommat.substr(0, static_cast<size_t>(work.inom - 1))
                  == work.nomrep.view().substr(0, static_cast<size_t>(work.in - 1));
}

void note_record(std::string_view nommat, float temp, char type, float dopmat,
                 const klip::Text<80>& nfidat) {
    Nearest& n = nearest;
    ++n.records;
    const std::string name(work.nomrep.trimmed());
    if (!name.empty() && (" " + n.materials + " ").find(" " + name + " ") == std::string::npos
        && n.materials.size() < 200) {
        n.materials += n.materials.empty() ? name : " " + name;
    }
    if (!same_name(nommat)) return;
    const int agree = (type == work.typrep) + (temp == work.temrep)
                      + (std::fabs(dopmat - work.doprep) <= 0.01f * std::fabs(dopmat));
    if (agree <= n.best) return;
    n.best = agree;
    n.line = n.records;
    n.file = std::string(nfidat.trimmed());
    n.type = work.typrep;
    n.temp = work.temrep;
    n.dop = work.doprep;
}

std::string carrier_name(char type) {
    if (type == 'E') return "electrons (E)";
    if (type == 'T') return "holes (T)";
    return std::string("carrier '") + type + "'";
}

// The hint on standard error after a search that found nothing.
void hint(std::string_view ficrep, std::string_view nommat, float temp, char type, float dopmat) {
    if (!fio::hints_enabled) return;
    const Nearest& n = nearest;
    const std::string cat(klip::Text<80>(ficrep).trimmed());
    const std::string mat(klip::Text<12>(nommat).trimmed());
    std::fprintf(stderr,
                 "zot: hint: the catalogue %s (%d record%s read) has no table for %s, %s, %g K, "
                 "doping %g cm-3.\n",
                 cat.c_str(), n.records, n.records == 1 ? "" : "s", mat.c_str(),
                 carrier_name(type).c_str(), static_cast<double>(temp),
                 static_cast<double>(dopmat));
    if (n.unreadable > 0) {
        std::fprintf(stderr,
                     "zot: hint: line %d of the catalogue cannot be read (columns 33-37 "
                     "temperature, 47-57 doping); the search stopped there.\n",
                     n.unreadable);
    }
    if (n.best < 0) {
        std::fprintf(stderr,
                     "zot: hint: material does not match: no record names %s (names are compared "
                     "up to their first blank); the catalogue lists: %s.\n",
                     mat.c_str(), n.materials.empty() ? "nothing" : n.materials.c_str());
    } else {
        std::string diff;
        char b[160];
        if (n.type != type) {
            diff +=
                "; carrier " + carrier_name(n.type) + " where the run asks " + carrier_name(type);
        }
        if (n.temp != temp) {
            std::snprintf(b, sizeof b, "; temperature %g K where the run asks %g K (must be equal)",
                          static_cast<double>(n.temp), static_cast<double>(temp));
            diff += b;
        }
        if (!(std::fabs(dopmat - n.dop) <= 0.01f * std::fabs(dopmat))) {
            std::snprintf(b, sizeof b,
                          "; doping %g cm-3 where the run asks %g (must agree within 1 %%)",
                          static_cast<double>(n.dop), static_cast<double>(dopmat));
            diff += b;
        }
        std::fprintf(stderr, "zot: hint: the nearest record, line %d (%s), has%s.\n", n.line,
                     n.file.c_str(), diff.empty() ? "" : diff.c_str() + 1);
    }
    std::fprintf(stderr,
                 "zot: hint: change the material data file to match a record, or make the table "
                 "with tabgen:\n"
                 "zot: hint:   tabgen -o DIR description.mat   (DIR: the folder of %s; see "
                 "docs/materials.md)\n",
                 cat.c_str());
}

bool fits(std::string_view nommat, float temp, char type, float dopmat) {
    if (work.in != work.inom) return false;
    if (nommat.substr(0, static_cast<size_t>(work.inom - 1))
        != work.nomrep.view().substr(0, static_cast<size_t>(work.in - 1)))
        return false;
    if (type != work.typrep) return false;
    if (temp != work.temrep) return false;
    return std::fabs(dopmat - work.doprep) <= 0.01f * std::fabs(dopmat);
}

void not_found(int out, std::string_view nommat, char type, float temp) {
    fio::write_fmt(
        out, "(' Il n''existe pas de donnees sur ',5X,A12,' de type ',A1,'  A  T= ',F5.0,'K')",
        {nommat, std::string_view(&type, 1), temp});
    fio::List(out) << "CONSEIL : Utiliser la clef REP pour reperer"
                   << " un fichier modele";
    fio::List(out) << "et utilisez le au cours de la creation (CRE)...";
}

}  // namespace

int search(std::string_view ficrep, std::string_view nommat_in, float temp, char type, float dopmat,
           klip::Text<80>& nfidat) {
    const int out = klip::comlu[1];
    const int unit = ulog.catalogue_unit;
    const std::string nommat = klip::pad(nommat_in, 12);
    work.nomusr2.set(nommat);
    if (klip::opnold(unit, ficrep) != 0) return 1;
    nearest = Nearest{};
    while (next_record(unit, nfidat)) {
        work.nomrep2.set(work.nomrep.view());
        work.inom = first_blank(work.nomusr2);
        work.in = first_blank(work.nomrep2);
        note_record(nommat, temp, type, dopmat, nfidat);
        if (klip::debug.level >= 2) {
            fio::List(out) << nfidat.view() << work.nomrep.view() << work.temrep
                           << std::string_view(&work.typrep, 1) << work.doprep;
            fio::List(out) << "INOM=" << work.inom << "  ;   IN=" << work.in;
        }
        if (fits(nommat, temp, type, dopmat)) {
            fio::close(unit);
            return 0;
        }
    }
    not_found(out, nommat, type, temp);
    klip::cisyn.NERR += 1;  // the run cannot be made: counted like the errors reported
    fio::close(unit);
    hint(ficrep, nommat, temp, type, dopmat);
    return 1;
}

}  // namespace tables
