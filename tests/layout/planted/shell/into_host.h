// Planted: the plug-in reaching into the host.
#pragma once

#include "host/services/services.h"
