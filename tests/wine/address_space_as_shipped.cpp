// The dialog tests run under the address space of the program as it ships, a 32-bit
// process, in the x86-64 build too: its rules for a short address space are then tested
// on every machine, whichever build its Wine runs.
#include "engine/address_space.h"
#include "tests/wine/support/fault_injection.h"

#include <gtest/gtest.h>

namespace {

class AddressSpaceAsShipped : public ::testing::Environment {
public:
    void SetUp() override
    {
        faults::ReportShortAddressSpace(true);
        ASSERT_TRUE(AddressSpaceIsShort()) << "setup: the process still reports the address space it has";
    }
};

[[maybe_unused]] ::testing::Environment* const g_asShipped = ::testing::AddGlobalTestEnvironment(new AddressSpaceAsShipped);

}  // namespace
