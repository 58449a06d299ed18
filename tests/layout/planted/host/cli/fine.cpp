// Planted: the top floor may include anything below.
#include "host/session/fine.h"
#include "host/terminal/session.h"
#include "host/users/text_command.h"
