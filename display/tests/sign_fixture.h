#pragma once
// A booted board with the simulated sign for the sign driver's tests: a monitor on a temporary
// board directory (its EPLD-load service wired to the sign's EPLD), the system drive mounted,
// the module-type table installed, brenModuleID 116, and the debug and monitor console output
// captured. Run(fn) runs fn in start-up context of a fresh kernel with the buffer pool ready.

#include <ftw.h>
#include <stdlib.h>

#include <functional>
#include <memory>
#include <string>

#include "database/file_system_driver.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/module_type.h"
#include "display/q2_display_driver.h"
#include "platform/kernel/kernel.h"
#include "platform/monitor/monitor.h"
#include "platform/sim/sign.h"
#include "runtime/debug_print.h"
#include "runtime/gp_buffer.h"

namespace sign_test {

inline std::string& DebugText() {
    static std::string text;
    return text;
}
inline std::string& ConsoleText() {
    static std::string text;
    return text;
}

class SignFixture {
public:
    explicit SignFixture(sim::SignConfig config = {}) : sign_(config) {
        char tmpl[] = "/tmp/dms-q2-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        monitor::MonitorConfig mc;
        mc.boardDir = dir_;
        mc.flashSize = 4u << 20;
        monitor_ = std::make_unique<monitor::Monitor>(mc);
        monitor_->Boot();
        monitor_->SetEpldLoadHook([this](const uint8_t* bits, size_t size) {
            return loadWorks && sign_.GetEpld().Load(bits, size);
        });
        monitor_->GetConsole().SetPutChar([](int c) {
            ConsoleText() += char(c);
            return c;
        });
        sign_.Attach();
        g_FileSystem.Mount(&g_SystemDrive, "system drive");
        InstallModuleTypeTable();
        g_DataBase.Set(dbo::brenModuleID, 116, 0);
        g_EpldReady = 0;
        DebugText().clear();
        ConsoleText().clear();
        DebugSetSink([](const char* text) { DebugText() += text; });
    }
    ~SignFixture() {
        DebugSetSink(nullptr);
        g_FileSystem.Unmount(&g_SystemDrive);
        sign_.Detach();
        monitor_.reset();
        ::nftw(
            dir_.c_str(),
            [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 8,
            FTW_DEPTH | FTW_PHYS);
    }

    // fn runs where the driver runs at boot: in start-up context, pools ready.
    void Run(const std::function<void()>& fn) {
        {
            kernel::Kernel k;
            k.Start([&](void* memory) {
                std::destroy_at(&g_GpBuffer);
                std::construct_at(&g_GpBuffer);
                uint8_t* next = static_cast<uint8_t*>(memory);
                g_GpBuffer.Create(&next, 0x101000);
                fn();
            });
        }
        std::destroy_at(&g_GpBuffer);
        std::construct_at(&g_GpBuffer);
    }

    sim::Sign& Sign() { return sign_; }
    monitor::Monitor& Monitor() { return *monitor_; }
    bool loadWorks = true;

private:
    std::string dir_;
    sim::Sign sign_;
    std::unique_ptr<monitor::Monitor> monitor_;
};

}  // namespace sign_test
