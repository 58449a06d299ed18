// The plug-in's dialog templates as the resource compiler left them in the
// DLL (DLGTEMPLATEEX), read into the same description the Linux host builds
// from the resource script.
#include <windows.h>

#include <cstring>
#include <map>
#include <memory>

#include "host/sim/resource_script.h"
#include "host/win32/win_state.h"

namespace {

std::string g_error;

class Reader {
public:
    Reader(const BYTE* data, std::size_t size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }
    std::size_t offset() const { return offset_; }

    template <typename T>
    T Read() {
        T value{};
        if (offset_ + sizeof(T) > size_) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, data_ + offset_, sizeof(T));
        offset_ += sizeof(T);
        return value;
    }

    std::string ReadString() {
        std::wstring wide;
        for (;;) {
            WORD c = Read<WORD>();
            if (!ok_ || c == 0) break;
            wide += static_cast<wchar_t>(c);
        }
        if (wide.empty()) return {};
        int length =
            WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<std::size_t>(length), '\0');
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), text.data(), length, nullptr,
                            nullptr);
        return text;
    }

    // A name or an ordinal (0xFFFF then the number); ordinals come back as
    // "#n", or as the class name for the predefined control classes.
    std::string ReadNameOrOrdinal(bool controlClass) {
        WORD first = Read<WORD>();
        if (!ok_ || first == 0) return {};
        if (first == 0xFFFF) {
            WORD ordinal = Read<WORD>();
            if (controlClass) {
                switch (ordinal) {
                    case 0x80:
                        return "Button";
                    case 0x81:
                        return "Edit";
                    case 0x82:
                        return "Static";
                    case 0x83:
                        return "ListBox";
                    case 0x84:
                        return "ScrollBar";
                    case 0x85:
                        return "ComboBox";
                }
            }
            return "#" + std::to_string(ordinal);
        }
        offset_ -= sizeof(WORD);
        return ReadString();
    }

    void AlignTo4() { offset_ = (offset_ + 3) & ~static_cast<std::size_t>(3); }
    void Skip(std::size_t bytes) { offset_ += bytes; }

private:
    const BYTE* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
    bool ok_ = true;
};

bool ReadTemplate(const BYTE* data, std::size_t size, int id, sim::DialogTemplate* out, std::string* error) {
    Reader reader(data, size);
    WORD version = reader.Read<WORD>();
    WORD signature = reader.Read<WORD>();
    if (version != 1 || signature != 0xFFFF) {
        *error = "dialog " + std::to_string(id) + " is not an extended template (DIALOGEX)";
        return false;
    }
    sim::DialogTemplate dialog;
    dialog.id = id;
    reader.Read<DWORD>();  // help id
    dialog.exStyle = reader.Read<DWORD>();
    dialog.style = reader.Read<DWORD>();
    WORD count = reader.Read<WORD>();
    dialog.x = reader.Read<short>();
    dialog.y = reader.Read<short>();
    dialog.width = reader.Read<short>();
    dialog.height = reader.Read<short>();
    reader.ReadNameOrOrdinal(false);  // menu
    reader.ReadNameOrOrdinal(false);  // window class
    dialog.caption = reader.ReadString();
    if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
        dialog.fontSize = reader.Read<WORD>();
        reader.Read<WORD>();  // weight
        reader.Read<BYTE>();  // italic
        reader.Read<BYTE>();  // character set
        dialog.fontFace = reader.ReadString();
    }
    for (WORD i = 0; i < count && reader.ok(); ++i) {
        reader.AlignTo4();
        sim::ControlTemplate control;
        reader.Read<DWORD>();  // help id
        control.exStyle = reader.Read<DWORD>();
        control.style = reader.Read<DWORD>();
        control.x = reader.Read<short>();
        control.y = reader.Read<short>();
        control.width = reader.Read<short>();
        control.height = reader.Read<short>();
        control.id = static_cast<int>(reader.Read<DWORD>());
        control.className = reader.ReadNameOrOrdinal(true);
        control.text = reader.ReadNameOrOrdinal(false);
        WORD extra = reader.Read<WORD>();
        reader.Skip(extra);
        dialog.controls.push_back(control);
    }
    if (!reader.ok()) {
        *error = "dialog " + std::to_string(id) + " ends before its last control";
        return false;
    }
    *out = dialog;
    return true;
}

}  // namespace

namespace sim {

const DialogTemplate* FindDialogTemplate(int id) {
    static std::map<std::pair<HMODULE, int>, std::unique_ptr<DialogTemplate>> cache;
    HMODULE module = win32::PluginModule();
    if (module == nullptr) return nullptr;
    auto& slot = cache[{module, id}];
    if (slot) return slot.get();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(static_cast<WORD>(id)), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    if (found == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    const auto* data = static_cast<const BYTE*>(LockResource(loaded));
    if (data == nullptr) return nullptr;
    auto dialog = std::make_unique<DialogTemplate>();
    if (!ReadTemplate(data, SizeofResource(module, found), id, dialog.get(), &g_error)) return nullptr;
    slot = std::move(dialog);
    return slot.get();
}

std::string ResourceScriptError() { return g_error; }

bool ParseResourceScript(const std::string&, std::vector<DialogTemplate>*, std::string* error) {
    // Windows builds take the templates from the DLL's compiled resources.
    if (error != nullptr) *error = "the resource script reader is part of the Linux host";
    return false;
}

}  // namespace sim
