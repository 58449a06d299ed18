// Counting what the plug-in module creates and frees. Its import address
// table is pointed at small wrappers that call the real function and note
// the handle, so fonts, brushes, display contexts, heap blocks, registry keys
// and subclassings are counted exactly, and only the plug-in's own.
#include <windows.h>

#include <cstring>

#include "host/win32/win_state.h"

namespace win32 {

Accounting& Counts() {
    static Accounting counts;
    return counts;
}

namespace {

HMODULE g_plugin = nullptr;

HFONT WINAPI CountedCreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                                DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                                DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR face) {
    HFONT font = CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                             outPrecision, clipPrecision, quality, pitchAndFamily, face);
    if (font != nullptr) Counts().fonts.insert(font);
    return font;
}

HFONT WINAPI CountedCreateFontIndirectA(const LOGFONTA* logFont) {
    HFONT font = CreateFontIndirectA(logFont);
    if (font != nullptr) Counts().fonts.insert(font);
    return font;
}

HBRUSH WINAPI CountedCreateSolidBrush(COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    if (brush != nullptr) Counts().brushes.insert(brush);
    return brush;
}

BOOL WINAPI CountedDeleteObject(HGDIOBJ object) {
    BOOL deleted = DeleteObject(object);
    if (deleted) {
        Counts().fonts.erase(object);
        Counts().brushes.erase(object);
    }
    return deleted;
}

HDC WINAPI CountedGetDC(HWND window) {
    HDC dc = GetDC(window);
    if (dc != nullptr) Counts().dcs.insert(dc);
    return dc;
}

int WINAPI CountedReleaseDC(HWND window, HDC dc) {
    int released = ReleaseDC(window, dc);
    if (released != 0) Counts().dcs.erase(dc);
    return released;
}

LPVOID WINAPI CountedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    ++Counts().heapAllocCalls;
    LPVOID block = HeapAlloc(heap, flags, bytes);
    if (block != nullptr) Counts().heapBlocks.insert(block);
    return block;
}

BOOL WINAPI CountedHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
    BOOL freed = HeapFree(heap, flags, block);
    if (freed) Counts().heapBlocks.erase(block);
    return freed;
}

LSTATUS WINAPI CountedRegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    LSTATUS status = RegOpenKeyExA(key, subKey, options, access, result);
    if (status == ERROR_SUCCESS && result != nullptr) Counts().keys.insert(*result);
    return status;
}

LSTATUS WINAPI CountedRegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                                      REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                                      LPDWORD disposition) {
    LSTATUS status = RegCreateKeyExA(key, subKey, reserved, keyClass, options, access, security, result, disposition);
    if (status == ERROR_SUCCESS && result != nullptr) Counts().keys.insert(*result);
    return status;
}

LSTATUS WINAPI CountedRegCloseKey(HKEY key) {
    LSTATUS status = RegCloseKey(key);
    if (status == ERROR_SUCCESS) Counts().keys.erase(key);
    return status;
}

void NoteSubclass(HWND window, int index, LONG_PTR previous) {
    if (index != GWLP_WNDPROC || previous == 0) return;
    // The first procedure a window had is its own.
    Counts().subclassed.emplace(window, reinterpret_cast<WNDPROC>(previous));
}

LONG_PTR WINAPI CountedSetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    LONG_PTR previous = SetWindowLongPtrA(window, index, value);
    NoteSubclass(window, index, previous);
    return previous;
}

#ifndef _WIN64
// On 32-bit Windows SetWindowLongPtrA is SetWindowLongA.
LONG WINAPI CountedSetWindowLongA(HWND window, int index, LONG value) {
    LONG previous = SetWindowLongA(window, index, value);
    NoteSubclass(window, index, previous);
    return previous;
}
#endif

BOOL WINAPI CountedInvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    ++Counts().invalidations[window];
    return InvalidateRect(window, rect, erase);
}

struct Redirect {
    const char* name;
    void* counted;
};

const Redirect kRedirects[] = {
    {"CreateFontA", reinterpret_cast<void*>(&CountedCreateFontA)},
    {"CreateFontIndirectA", reinterpret_cast<void*>(&CountedCreateFontIndirectA)},
    {"CreateSolidBrush", reinterpret_cast<void*>(&CountedCreateSolidBrush)},
    {"DeleteObject", reinterpret_cast<void*>(&CountedDeleteObject)},
    {"GetDC", reinterpret_cast<void*>(&CountedGetDC)},
    {"ReleaseDC", reinterpret_cast<void*>(&CountedReleaseDC)},
    {"HeapAlloc", reinterpret_cast<void*>(&CountedHeapAlloc)},
    {"HeapFree", reinterpret_cast<void*>(&CountedHeapFree)},
    {"RegOpenKeyExA", reinterpret_cast<void*>(&CountedRegOpenKeyExA)},
    {"RegCreateKeyExA", reinterpret_cast<void*>(&CountedRegCreateKeyExA)},
    {"RegCloseKey", reinterpret_cast<void*>(&CountedRegCloseKey)},
    {"SetWindowLongPtrA", reinterpret_cast<void*>(&CountedSetWindowLongPtrA)},
#ifndef _WIN64
    {"SetWindowLongA", reinterpret_cast<void*>(&CountedSetWindowLongA)},
#endif
    {"InvalidateRect", reinterpret_cast<void*>(&CountedInvalidateRect)},
};

const void* RedirectFor(const char* name) {
    for (const Redirect& redirect : kRedirects) {
        if (std::strcmp(redirect.name, name) == 0) return redirect.counted;
    }
    return nullptr;
}

}  // namespace

bool HookModuleImports(HMODULE module, std::string* error) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) {
        *error = "not a PE image";
        return false;
    }
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return true;
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); import->Name != 0;
         ++import) {
        if (import->OriginalFirstThunk == 0) continue;  // no names to go by
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            const void* counted = RedirectFor(reinterpret_cast<const char*>(byName->Name));
            if (counted == nullptr) continue;
            DWORD oldProtection = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &oldProtection)) {
                *error = "cannot write the import table";
                return false;
            }
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(counted);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, oldProtection, &oldProtection);
        }
    }
    return true;
}

void SetPluginModule(HMODULE module) { g_plugin = module; }
HMODULE PluginModule() { return g_plugin; }

}  // namespace win32

namespace sim {

int LiveFonts() { return static_cast<int>(win32::Counts().fonts.size()); }
int LiveBrushes() { return static_cast<int>(win32::Counts().brushes.size()); }
int LiveDCs() { return static_cast<int>(win32::Counts().dcs.size()); }
int LiveHeapBlocks() { return static_cast<int>(win32::Counts().heapBlocks.size()); }
int HeapAllocCalls() { return win32::Counts().heapAllocCalls; }
int OpenKeys() { return static_cast<int>(win32::Counts().keys.size()); }

int Subclassings() {
    int count = 0;
    for (const auto& [window, own] : win32::Counts().subclassed) {
        if (IsWindow(window) && reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) != own) ++count;
    }
    return count;
}

int Invalidations(HWND window) {
    auto& counts = win32::Counts().invalidations;
    int count = 0;
    for (const auto& [invalidated, times] : counts) {
        if (invalidated == window || GetParent(invalidated) == window) count += times;
    }
    return count;
}

void FailHeapAllocAt(int n) {
    // Windows' heap cannot be told to fail a given allocation.
    if (n != 0) win32::Unsupported("fail-alloc (making the " + std::to_string(n) + "-th allocation fail)");
}

}  // namespace sim
