// The plug-in's heap (counted, with a planned failure), wsprintfA and MulDiv.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>

#include "host/sim/world.h"

namespace sim::detail {
namespace {

struct Heap {
    std::set<void*> live;
    int calls = 0;
    int failAt = 0;  // counts down; the call that takes it to 0 fails
};

Heap& TheHeap() {
    static Heap heap;
    return heap;
}

HANDLE const kProcessHeap = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x0E00));
constexpr DWORD kZeroMemory = 0x00000008;  // HEAP_ZERO_MEMORY

}  // namespace

// Blocks still alive stay counted: they are real memory the plug-in may
// free after a Reset.
void ResetHeapPlans() {
    TheHeap().calls = 0;
    TheHeap().failAt = 0;
}

}  // namespace sim::detail

namespace sim {

using namespace detail;

int LiveHeapBlocks() { return static_cast<int>(TheHeap().live.size()); }
void FailHeapAllocAt(int n) { TheHeap().failAt = n < 0 ? 0 : n; }
int HeapAllocCalls() { return TheHeap().calls; }

}  // namespace sim

using namespace sim::detail;

extern "C" {

HANDLE WINAPI GetProcessHeap(void) { return kProcessHeap; }

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    Heap& state = TheHeap();
    ++state.calls;
    if (heap != kProcessHeap) {
        Warn("HeapAlloc on an unknown heap");
        return nullptr;
    }
    if (state.failAt > 0 && --state.failAt == 0) return nullptr;
    // malloc underneath, so that the sanitizers see what the plug-in leaks.
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) return nullptr;
    if ((flags & kZeroMemory) != 0) std::memset(block, 0, bytes);
    state.live.insert(block);
    return block;
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD, LPVOID block) {
    if (block == nullptr) return TRUE;
    if (heap != kProcessHeap) {
        Warn("HeapFree on an unknown heap");
        return FALSE;
    }
    auto it = TheHeap().live.find(block);
    if (it == TheHeap().live.end()) {
        // Freeing it again would corrupt the real heap; refuse as Windows' debug heap does.
        Warn("HeapFree of a block that is not allocated (freed twice?)");
        return FALSE;
    }
    TheHeap().live.erase(it);
    std::free(block);
    return TRUE;
}

int WINAPIV wsprintfA(LPSTR out, LPCSTR format, ...) {
    if (out == nullptr || format == nullptr) return 0;
    // Windows writes at most 1024 characters including the terminating zero.
    constexpr std::size_t kLimit = 1024;
    char buffer[kLimit];
    va_list args;
    va_start(args, format);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int wanted = std::vsnprintf(buffer, kLimit, format, args);
#pragma GCC diagnostic pop
    va_end(args);
    if (wanted < 0) {
        out[0] = '\0';
        return 0;
    }
    std::size_t length = std::strlen(buffer);
    std::memcpy(out, buffer, length + 1);
    return static_cast<int>(length);
}

int WINAPI MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    long long product = static_cast<long long>(number) * numerator;
    long long divisor = denominator;
    if (divisor < 0) {
        product = -product;
        divisor = -divisor;
    }
    // Round half away from zero.
    long long result = product >= 0 ? (product + divisor / 2) / divisor : (product - divisor / 2) / divisor;
    if (result > std::numeric_limits<int>::max() || result < -std::numeric_limits<int>::max()) return -1;
    return static_cast<int>(result);
}

}  // extern "C"
