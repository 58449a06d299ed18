// GDI objects with live counts, and the system colours.
#include <cstdio>

#include "host/sim/world.h"

namespace sim::detail {
namespace {

enum class GdiKind { Font, Brush, DC };

struct GdiObject {
    GdiKind kind = GdiKind::Font;
    FontInfo font;
    COLORREF brushColor = 0;
    // Display contexts start black on white, as Windows' do.
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF backColor = RGB(255, 255, 255);
    bool textColorSet = false;
    HWND window = nullptr;
};

constexpr int kSysColorCount = 31;

// Windows' classic ("Windows Standard") scheme.
constexpr COLORREF kDefaultSysColors[kSysColorCount] = {
    RGB(212, 208, 200),  // 0 scroll bar
    RGB(58, 110, 165),   // 1 desktop
    RGB(10, 36, 106),    // 2 active caption
    RGB(128, 128, 128),  // 3 inactive caption
    RGB(212, 208, 200),  // 4 menu
    RGB(255, 255, 255),  // 5 window
    RGB(0, 0, 0),        // 6 window frame
    RGB(0, 0, 0),        // 7 menu text
    RGB(0, 0, 0),        // 8 window text
    RGB(255, 255, 255),  // 9 caption text
    RGB(212, 208, 200),  // 10 active border
    RGB(212, 208, 200),  // 11 inactive border
    RGB(128, 128, 128),  // 12 application workspace
    RGB(10, 36, 106),    // 13 highlight
    RGB(255, 255, 255),  // 14 highlight text
    RGB(212, 208, 200),  // 15 button face
    RGB(128, 128, 128),  // 16 button shadow
    RGB(128, 128, 128),  // 17 grey text
    RGB(0, 0, 0),        // 18 button text
    RGB(212, 208, 200),  // 19 inactive caption text
    RGB(255, 255, 255),  // 20 button highlight
    RGB(64, 64, 64),     // 21 3D dark shadow
    RGB(212, 208, 200),  // 22 3D light
    RGB(0, 0, 0),        // 23 tooltip text
    RGB(255, 255, 225),  // 24 tooltip background
    RGB(181, 181, 181),  // 25 (unused)
    RGB(0, 0, 128),      // 26 hot-track
    RGB(166, 202, 240),  // 27 active caption gradient
    RGB(192, 192, 192),  // 28 inactive caption gradient
    RGB(10, 36, 106),    // 29 menu highlight
    RGB(212, 208, 200),  // 30 menu bar
};

struct Gdi {
    std::map<HGDIOBJ, GdiObject> objects;
    COLORREF sysColors[kSysColorCount];
    Gdi() { ResetColors(); }
    void ResetColors() {
        for (int i = 0; i < kSysColorCount; ++i) sysColors[i] = kDefaultSysColors[i];
    }
};

Gdi& TheGdi() {
    static Gdi gdi;
    return gdi;
}

GdiObject* Object(HGDIOBJ handle, GdiKind kind) {
    auto it = TheGdi().objects.find(handle);
    return it == TheGdi().objects.end() || it->second.kind != kind ? nullptr : &it->second;
}

HGDIOBJ AddObject(GdiObject object) {
    HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(NextHandle());
    TheGdi().objects[handle] = std::move(object);
    return handle;
}

int Count(GdiKind kind) {
    int count = 0;
    for (const auto& [handle, object] : TheGdi().objects) {
        if (object.kind == kind) ++count;
    }
    return count;
}

// Stock objects are not counted and never deleted.
HBRUSH const kFaceBrush = reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(0x0F00));

std::string Hex(const void* handle) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", handle);
    return text;
}

}  // namespace

std::optional<FontInfo> FontOf(HFONT font) {
    GdiObject* object = Object(font, GdiKind::Font);
    if (object == nullptr) return std::nullopt;
    return object->font;
}

std::optional<COLORREF> DcTextColor(HDC dc) {
    GdiObject* object = Object(dc, GdiKind::DC);
    if (object == nullptr || !object->textColorSet) return std::nullopt;
    return object->textColor;
}

HBRUSH FaceBrush() { return kFaceBrush; }

void ResetGdi() { TheGdi().objects.clear(); }
void ResetSysColors() { TheGdi().ResetColors(); }

}  // namespace sim::detail

namespace sim {

using namespace detail;

int LiveFonts() { return Count(GdiKind::Font); }
int LiveBrushes() { return Count(GdiKind::Brush); }
int LiveDCs() { return Count(GdiKind::DC); }

void SetSysColor(int index, COLORREF color) {
    if (index < 0 || index >= kSysColorCount) return;
    TheGdi().sysColors[index] = color;
    // Every open dialog hears of it, through its current procedure.
    for (HWND dialog : OpenDialogs()) {
        SendMessageA(dialog, WM_SYSCOLORCHANGE, 0, 0);
        InvalidateRect(dialog, nullptr, TRUE);
    }
}

std::optional<FontInfo> ControlFont(HWND dialog, int id) {
    Window* control = ControlObject(dialog, id);
    if (control == nullptr) return std::nullopt;
    return control->font;
}

}  // namespace sim

using namespace sim::detail;

extern "C" {

DWORD WINAPI GetSysColor(int index) {
    if (index < 0 || index >= kSysColorCount) return 0;
    return TheGdi().sysColors[index];
}

HDC WINAPI GetDC(HWND window) {
    GdiObject dc;
    dc.kind = GdiKind::DC;
    dc.window = window;
    return static_cast<HDC>(AddObject(dc));
}

int WINAPI ReleaseDC(HWND, HDC dc) {
    if (Object(dc, GdiKind::DC) == nullptr) {
        Warn("ReleaseDC of an unknown display context " + Hex(dc));
        return 0;
    }
    TheGdi().objects.erase(dc);
    return 1;
}

int WINAPI GetDeviceCaps(HDC dc, int index) {
    if (Object(dc, GdiKind::DC) == nullptr) {
        Warn("GetDeviceCaps on an unknown display context " + Hex(dc));
        return 0;
    }
    constexpr int kLogPixelsX = 88;
    return index == LOGPIXELSY || index == kLogPixelsX ? 96 : 0;
}

HFONT WINAPI CreateFontA(int height, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                         DWORD pitchAndFamily, LPCSTR face) {
    GdiObject font;
    font.kind = GdiKind::Font;
    font.font.height = height;
    font.font.weight = weight;
    font.font.pitchAndFamily = static_cast<int>(pitchAndFamily);
    font.font.face = face == nullptr ? "" : face;
    return static_cast<HFONT>(AddObject(font));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    GdiObject brush;
    brush.kind = GdiKind::Brush;
    brush.brushColor = color;
    return static_cast<HBRUSH>(AddObject(brush));
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    if (object == kFaceBrush) return TRUE;
    auto it = TheGdi().objects.find(object);
    if (it == TheGdi().objects.end()) {
        Warn("DeleteObject of an unknown or already deleted object " + Hex(object));
        return FALSE;
    }
    if (it->second.kind == GdiKind::DC) {
        Warn("DeleteObject on a display context " + Hex(object) + " (ReleaseDC it)");
        return FALSE;
    }
    TheGdi().objects.erase(it);
    return TRUE;
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF color) {
    GdiObject* object = Object(dc, GdiKind::DC);
    if (object == nullptr) {
        Warn("SetTextColor on an unknown display context " + Hex(dc));
        return 0xFFFFFFFF;  // CLR_INVALID
    }
    COLORREF previous = object->textColor;
    object->textColor = color;
    object->textColorSet = true;
    return previous;
}

COLORREF WINAPI SetBkColor(HDC dc, COLORREF color) {
    GdiObject* object = Object(dc, GdiKind::DC);
    if (object == nullptr) {
        Warn("SetBkColor on an unknown display context " + Hex(dc));
        return 0xFFFFFFFF;
    }
    COLORREF previous = object->backColor;
    object->backColor = color;
    return previous;
}

}  // extern "C"
