// Planted: the top floor may include anything below.
#include "host/session/fine.h"
#include "host/subcommands/text_command.h"
#include "host/terminal/session.h"
