// Each boot of the controller opens the display registry between the database and display
// tasks, and the end of the boot closes it for the next one.

#include "app/system_wiring.h"

#include <gtest/gtest.h>

#include "display/core.h"

namespace {

TEST(SystemWiring, EveryBootOpensTheDisplayRegistryAfresh) {
    for (int boot = 0; boot < 2; ++boot) {
        std::unique_ptr<Wiring> wiring = MakeWiring();
        ASSERT_TRUE(wiring->hooks.openDisplayRegistry);
        EXPECT_FALSE(disp::g_DisplayCore.IsOpen());
        wiring->hooks.openDisplayRegistry();
        EXPECT_TRUE(disp::g_DisplayCore.IsOpen());
        wiring.reset();
        EndOfBoot();
        EXPECT_FALSE(disp::g_DisplayCore.IsOpen());
    }
}

}  // namespace
