// Loads the built shared library the way an outside program would and
// resolves its nine functions by their bare names.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(LinkportLibrary, ExportsTheNineFunctionsByName) {
    void* lib = dlopen(LINKPORT_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const char* name : {"PortOpen", "InitCommTimeOuts", "Send", "Receive", "PortClose", "GetDeviceID",
                             "GetIOErrorCode", "GetModelName", "SendINITSignal"})
        EXPECT_NE(dlsym(lib, name), nullptr) << name;

    // Calls that touch no device: a refused port code and a send with no port.
    auto portOpen = reinterpret_cast<uint16_t (*)(uint16_t)>(dlsym(lib, "PortOpen"));
    auto errorCode = reinterpret_cast<int16_t (*)()>(dlsym(lib, "GetIOErrorCode"));
    auto send = reinterpret_cast<uint16_t (*)(const uint8_t*, uint32_t)>(dlsym(lib, "Send"));
    ASSERT_TRUE(portOpen && errorCode && send);
    EXPECT_EQ(portOpen(1025), 0x1000);
    EXPECT_EQ(errorCode(), 0x1100);
    const uint8_t byte = 0;
    EXPECT_EQ(send(&byte, 1), 0x1000);
    EXPECT_EQ(errorCode(), -105);
    dlclose(lib);
}

}  // namespace
