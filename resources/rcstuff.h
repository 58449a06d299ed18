/* Hides the differences between windres, Visual Studio's rc and the host's
   reader: each gets the Windows style names it needs. */
#ifndef ORVO_RCSTUFF_H
#define ORVO_RCSTUFF_H
#if defined(RC_INVOKED) || defined(_WIN32)
#include <winresrc.h>
#endif
#endif
