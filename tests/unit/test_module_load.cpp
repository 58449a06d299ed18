// The plug-in as the host meets it: a module loaded at run time, its exports
// found by name, its host calls resolved against the loading program.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

#include "shell/plugin_exports.h"

namespace {

template <typename Fn>
Fn Export(void* module, const char* name) {
    return reinterpret_cast<Fn>(dlsym(module, name));
}

TEST(ModuleLoad, ExportsAreFoundByNameAndAnswer) {
    // RTLD_NOW: every host service and window function the module calls must
    // resolve now, not at the first call.
    void* module = dlopen(ORVO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();

    auto version = Export<VelduneExtensionVersionFn>(module, "VelduneExtensionVersion");
    auto init = Export<VelduneExtensionInitFn>(module, "VelduneExtensionInit");
    auto enumerate = Export<VelduneExtensionEnumerateFn>(module, "VelduneExtensionEnumerate");
    auto invoke = Export<VelduneExtensionInvokeFn>(module, "VelduneExtensionInvoke");
    auto terminate = Export<VelduneExtensionTerminateFn>(module, "VelduneExtensionTerminate");
    auto menuStatus = Export<VelduneExtensionGetMenuStatusFn>(module, "VelduneExtensionGetMenuStatus");
    EXPECT_NE(init, nullptr);
    EXPECT_NE(invoke, nullptr);
    EXPECT_NE(terminate, nullptr);
    ASSERT_NE(version, nullptr);
    ASSERT_NE(enumerate, nullptr);
    ASSERT_NE(menuStatus, nullptr);
    // The module's own code, not the copy linked into this program.
    EXPECT_NE(reinterpret_cast<void*>(enumerate), reinterpret_cast<void*>(&VelduneExtensionEnumerate));

    EXPECT_EQ(version(nullptr), kInterfaceVersion);
    EXPECT_EQ(menuStatus(nullptr), 1);

    unsigned char buffer[sizeof(MenuItemRecord) + 8];
    std::memset(buffer, 0xbd, sizeof(buffer));
    EXPECT_EQ(enumerate(nullptr, 1, reinterpret_cast<MenuItemRecord*>(buffer)), 1);
    unsigned char expected[sizeof(buffer)];
    std::memset(expected, 0, sizeof(MenuItemRecord));
    std::memset(expected + sizeof(MenuItemRecord), 0xbd, 8);
    std::memcpy(expected, "Orvo S && R - Text [v 1.11a]...", 31);
    std::memcpy(expected + 64, "Search/Replace - Text", 21);
    std::memcpy(expected + 128, "Orvo Search/Replace - Text", 26);
    for (std::size_t i = 0; i < sizeof(buffer); ++i) {
        EXPECT_EQ(int(buffer[i]), int(expected[i])) << "byte " << i;
    }
    dlclose(module);
}

}  // namespace
