// The note entry command's closing message, apart from the export so that a
// test can show it for any count.
#pragma once

#include <windows.h>

#include <cstdint>

// "N replacement(s) was/were made." in an information box owned by the host
// window. The count is shown in full, however large.
void ReportReplacementCount(HWND hostWindow, std::int32_t count);
