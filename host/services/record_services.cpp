// HS_LoadEData, HS_SaveEData, HS_NextEData over the attached document.
#include <algorithm>
#include <cstring>

#include "host/services/service_state.h"
#include "shell/host_services.h"

namespace {

using host::Document;
using host::Key;

// Only as many fields as the tag has: the plug-in's key may be a lone field.
Key ReadKey(std::uint32_t tag, const std::int16_t* key) {
    Key result{0, 0, 0};
    const int fields = Document::KeyFields(tag);
    for (int i = 0; i < fields; ++i) result[static_cast<std::size_t>(i)] = key[i];
    return result;
}

void WriteKey(std::uint32_t tag, const Key& from, std::int16_t* key) {
    const int fields = Document::KeyFields(tag);
    for (int i = 0; i < fields; ++i) key[i] = from[static_cast<std::size_t>(i)];
}

}  // namespace

extern "C" {

std::int16_t HS_LoadEData(std::uint32_t tag, std::int16_t* key, void* buffer, std::uint32_t* size) {
    Document* document = host::Services().document;
    if (!key || !size) {
        host::Complain("HS_LoadEData without a key or a size");
        return 0;
    }
    const Key k = ReadKey(tag, key);
    const host::Bytes* record = document ? document->Record(tag, k) : nullptr;
    if (!record) {
        *size = 0;
        return 0;
    }
    host::Services().lastLoadedTag = tag;
    host::Services().lastLoadedKey = k;
    if (buffer) {
        const std::size_t count = std::min<std::size_t>(*size, record->size());
        if (count > 0) std::memcpy(buffer, record->data(), count);
    }
    *size = static_cast<std::uint32_t>(record->size());
    return 1;
}

std::int16_t HS_SaveEData(std::uint32_t tag, const std::int16_t* key, const void* data, std::uint32_t byteCount) {
    host::ServiceState& state = host::Services();
    if (!key || (!data && byteCount > 0)) {
        host::Complain("HS_SaveEData without a key or data");
        return 0;
    }
    const Key k = ReadKey(tag, key);
    host::LogCall("savedata " + host::TagName(tag) + " " + std::to_string(k[0]) + " " + std::to_string(k[1]) + " " +
                  std::to_string(k[2]) + " " + std::to_string(byteCount));
    if (!state.document || state.refuseWrites) return 0;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::optional<std::string> before;
    if (state.writeWatcher) before = state.document->RecordText(tag, k);
    state.document->SetRecord(tag, k, host::Bytes(bytes, bytes + byteCount));
    if (state.writeWatcher) state.writeWatcher(tag, k, before, state.document->RecordText(tag, k));
    return 1;
}

std::int16_t HS_NextEData(std::uint32_t tag, std::int16_t* key, void* buffer, std::uint32_t byteCount) {
    Document* document = host::Services().document;
    if (!key) {
        host::Complain("HS_NextEData without a key");
        return 0;
    }
    if (!document) return 0;
    const auto next = document->NextKey(tag, ReadKey(tag, key));
    if (!next) return 0;
    const host::Bytes* record = document->Record(tag, *next);
    WriteKey(tag, *next, key);
    if (buffer) {
        const std::size_t count = std::min<std::size_t>(byteCount, record->size());
        if (count > 0) std::memcpy(buffer, record->data(), count);
    }
    return 1;
}

}  // extern "C"
