// Planted: two rooms of one floor.
#pragma once

#include "host/musicxml/score.h"
