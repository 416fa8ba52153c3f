// Random MULTI through the message table's validation on a small sign: the text is stored as
// changeable message 1 (validateReq) and the pass run; the first byte picks a few graphic and
// reference states so that the graphic tags and the reference resets are reached too.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/display.h"
#include "display/module_type.h"
#include "render/msg_id_code.h"
#include "render/render_sign_store.h"
#include "runtime/post_office.h"

namespace {

struct World {
    World() : fonts(RenderSignGeometry{24, 8}) {
        g_DataBase.SetNotificationEnabled(false);
        g_DataBase.SetValidationEnabled(false);
        dms_factory_defaults(g_DataBase, kDefaultsFirstStart);
        private_factory_defaults(g_DataBase, kDefaultsFirstStart);
        dms_volatile_defaults(g_DataBase);
        private_volatile_defaults(g_DataBase);
        InstallModuleTypeTable();
        display = std::make_unique<CDisplay>(g_PostOffice, nullptr);
        g_DataBase.Set(dbo::brenModuleID, 116, 0);
        display->SetSignDriver(nullptr);
        display->BuildDisplayConfiguration(8, 24, 15);
        g_DataBase.Set(dbo::dmsGraphicNumber, 1, kDbSkipValidation, 0);
        g_DataBase.Set(dbo::dmsGraphicHeight, 4, kDbSkipValidation, 0);
        g_DataBase.Set(dbo::dmsGraphicWidth, 4, kDbSkipValidation, 0);
        g_DataBase.Set(dbo::dmsGraphicType, 1, kDbSkipValidation, 0);
        g_DataBase.SetText(dbo::dmsGraphicBlockBitmap, "\xF0\x0F", 2, kDbSkipValidation, 0);
    }
    CRenderSignStore fonts;
    std::unique_ptr<CDisplay> display;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World world;
    if (size == 0 || size > 3000) {
        return 0;
    }
    const uint8_t mode = data[0];
    g_DataBase.Set(dbo::dmsGraphicStatus, mode & 1 ? 8 : 9, kDbSkipValidation, 0);
    CMsgIDCode reference;
    reference.Set(3, 1, 0);
    g_DataBase.SetText(dbo::dmsResetMessage, reference.raw, mode & 2 ? 5 : 4, kDbSkipValidation);
    world.display->ProcessGraphicTable();
    g_DataBase.SetText(dbo::dmsMessageMultiString, data + 1, uint32_t(size - 1), kDbSkipValidation);
    g_DataBase.Set(dbo::dmsMessageBeacon, mode >> 4, kDbSkipValidation);
    g_DataBase.Set(dbo::dmsMessageStatus, mode & 4 ? 7 : 3, kDbSkipValidation);
    world.display->ProcessMessageTable();
    const uint32_t status = g_DataBase.Get(dbo::dmsMessageStatus);
    if (status != 4 && status != 5) {
        __builtin_trap();  // a pass leaves no request behind
    }
    world.display->ValidateMultiText(reinterpret_cast<const char*>(data + 1), uint32_t(size - 1),
                                     mode & 8);
    return 0;
}
