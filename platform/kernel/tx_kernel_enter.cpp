// Kernel entry of the application: start-up hook, then the scheduler.

#include <memory>

#include "platform/kernel/kernel.h"

VOID tx_kernel_enter(VOID) {
    std::unique_ptr<kernel::Kernel> own;
    kernel::Kernel* instance = kernel::Kernel::Current();
    if (instance == nullptr) {
        kernel::Options options;
        options.clock = kernel::ClockMode::kRealTime;
        own = std::make_unique<kernel::Kernel>(options);
        instance = own.get();
    }
    instance->Start([](void* memory) { tx_application_define(memory); });
    if (instance->clock() == kernel::ClockMode::kRealTime) {
        instance->WaitForStop();
    }
}
