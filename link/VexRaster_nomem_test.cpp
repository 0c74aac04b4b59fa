// The job stream's start-up failure: its buffer cannot be had. Built as its own
// program because it replaces the allocation function for the whole program.
#include "link/VexRaster.h"

#include "link/Host.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {
bool refuseAllocation = false;
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return refuseAllocation ? nullptr : std::malloc(size == 0 ? 1 : size);
}

// The array forms as a set, so every array allocation and release matches.
void* operator new[](std::size_t size) {
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void operator delete[](void* p) noexcept { std::free(p); }

void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace svc {
namespace {

TEST(JobStreamDeathTest, NoMemoryShowsTheMessageAndEndsWithExitCodeZero) {
    SetHost(nullptr);  // the console host writes the box to standard error
    EXPECT_EXIT(
        {
            refuseAllocation = true;
            TPRaster stream;
        },
        ::testing::ExitedWithCode(0),
        "Error!: There is not enough free memory to run this program.\nQuit one or more programs, and then try "
        "again.");
}

TEST(JobStreamNoMemory, AllocatesOnceWhenMemoryIsThere) {
    TPRaster stream;
    EXPECT_NE(stream.Buffer(), nullptr);
    EXPECT_EQ(stream.Count(), 0);
}

}  // namespace
}  // namespace svc
