#include "app/sign_startup.h"

#include <optional>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/module_type.h"
#include "display/q2_display_driver.h"
#include "render/surface.h"

namespace {

std::optional<CQ2DisplayDriver> g_signDriver;
CSurface g_blankSurface;

uint32_t RoundUp(uint32_t value, uint32_t step) {
    if (value == 0) {
        value = step;
    }
    return (value + step - 1) / step * step;
}

}  // namespace

void SignConfigurationStandIn() {
    g_signDriver.emplace();
    g_EpldReady = 0;
    const uint32_t id = g_DataBase.Get(dbo::brenModuleID);
    const ModuleTypeDescriptor& type = FindModuleType(id);
    const uint32_t height = RoundUp(g_DataBase.Get(dbo::vmsSignHeightPixels), type.module_height);
    const uint32_t width = RoundUp(g_DataBase.Get(dbo::vmsSignWidthPixels), type.module_width);
    g_signDriver->busy = 1;
    const bool ready = g_signDriver->Init(height, width, id);
    g_signDriver->busy = 0;
    if (ready && g_blankSurface.Allocate(int32_t(height), int32_t(width), type.bits_per_pixel)) {
        g_blankSurface.Clear();
        g_signDriver->WriteFrame(&g_blankSurface, 0, 0);
    }
}

CQ2DisplayDriver* SignDriver() {
    return g_signDriver ? &*g_signDriver : nullptr;
}
