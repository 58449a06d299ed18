// Planted: the document reaching up to the command line.
#pragma once

#include "host/cli/host_main.h"
#include "host/sim/sim.h"
