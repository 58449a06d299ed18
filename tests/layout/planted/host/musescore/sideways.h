// Planted: two rooms of one floor (the score formats meet only below).
#pragma once

#include "host/musicxml/score.h"
