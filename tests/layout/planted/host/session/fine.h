// Planted: what may be included: its own room, lower floors, the plug-in.
#pragma once

#include "host/document/document.h"
#include "host/scores/score_file.h"
#include "host/session/runner.h"
#include "shell/host_records.h"
#include "resource.h"
