// The particle records (particle/records.hpp) as the driver names them.
#pragma once

#include "particle/records.hpp"

namespace driver {

using particle::dtafix;
using particle::Dtafix;
using particle::electr;
using particle::Electr;
using particle::etir;
using particle::Etir;
using particle::INTERION;
using particle::kInitialSeeds;
using particle::NBINTER;

}  // namespace driver
