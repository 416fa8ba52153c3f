// Serves arbitrary activation requests: the first bytes are the code written to
// dmsActivateMessage, the rest the MULTI text of the message it may name (changeable 1).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/display.h"
#include "display/module_type.h"
#include "render/render_sign_store.h"
#include "runtime/post_office.h"

namespace {

struct World {
    World() : fonts(RenderSignGeometry{48, 16}) {
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
        display->BuildDisplayConfiguration(16, 48, 15);
    }
    CRenderSignStore fonts;
    std::unique_ptr<CDisplay> display;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World world;
    if (size > 4096) {
        return 0;
    }
    const size_t codeSize = size < 14 ? size : (data[0] % 3 == 0 ? 11 : 12) + data[0] % 3;
    std::vector<uint8_t> code(data, data + (codeSize < size ? codeSize : size));
    std::vector<uint8_t> text(data + code.size(), data + size);
    g_DataBase.SetText(dbo::dmsMessageMultiString, text.data(), uint32_t(text.size()),
                       kDbSkipValidation);
    g_DataBase.Set(dbo::dmsMessageStatus, 4, kDbSkipValidation);
    g_DataBase.Set(dbo::dmsMessageCRC, code.size() >= 8 ? (code[6] << 8 | code[7]) : 0,
                   kDbSkipValidation);
    g_DataBase.SetText(dbo::dmsActivateMessage, code.data(), uint32_t(code.size()), 0);
    world.display->ActivateMessage(code.data(), uint32_t(code.size()), 7, true, 8, 2);
    // A few cycles of whatever was accepted.
    for (int i = 0; i < 3; ++i) {
        world.display->StepFrameSequence();
        world.display->CountDownMessageTime();
    }
    return 0;
}
