// Start-up of zot: units, banner, seeds, file names, constants, message files, toolkit.
#include "core/reset.hpp"
#include "driver/records.hpp"
#include "driver/sim.hpp"
#include "driver/run.hpp"
#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"
#include "tables/tables.hpp"

#ifndef ZOT_SYNERR_DIR
#define ZOT_SYNERR_DIR ""
#endif

namespace driver {

namespace {

constexpr const char* kIdent = "ZOT 3.3 Thu Jan  1 01:00:00";

void set_files_and_units() {
    const int32_t top = klip::comlu[4];
    setup.lumat = top + 8;
    setup.ludon = top + 9;
    setup.luspc = top + 10;
    setup.ludes = top + 11;
    setup.icons = 11;
    setup.FICREP.set(".././replam");
    tables::ulog.catalogue_unit = top + 6;
    tables::ulog.table_unit = top + 14;
}

}  // namespace

void startup() {
    fio::guard_standard_streams();
    klip::standard_units();
    klip::idpro(klip::comlu[1], kIdent);

    setup.fnbib.blank();
    klip::cpara.NPARA = 0;
    etir.ISEED = kInitialSeeds;

    set_files_and_units();

    dtafix = Dtafix{};
    setup.kbsq = 8.61708e-5f;

    klip::indic.IECHO = 0;
    klip::comlu[4 + klip::comlu[2]] = 0;
    klip::ccsyn.TITRE.blank();
    klip::cisyn.LTITRE = 1;

    klip::ierrfd(klip::pad(ZOT_SYNERR_DIR "synerr", 50), klip::pad("zotmer", 50));
    klip::inisyn();
}

void reset_process() {
    klip::reset_records();
    tables::reset_records();
    particle::reset_records();
    scatter::reset_state();
    core::restore_initial(setup);
    core::restore_initial(run);
    core::restore_initial(spectra);
    core::restore_initial(ensemble);
    core::restore_initial(ensw);
    core::restore_initial(flight);
    core::restore_initial(steps);
    core::restore_initial(outfiles);
    inter_routine = &scatter::inter;
    forget_last_rates();
}

}  // namespace driver
