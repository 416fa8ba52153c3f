#include "render/multi_environment.h"

#include "database/data_base.h"
#include "platform/monitor/mon.h"
#include "render/multi_objects.h"
#include "render/sign_objects.h"

namespace {

// The controller's own environment: the object store attached for rendering
// (sign_objects::AttachDatabase at start-up) and the boot monitor's flash file
// system. The peripheral task's outputs are joined here when that task joins
// the build; until then they are not driven.
class ControllerEnvironment final : public CMultiEnvironment {
public:
    uint32_t GetNv(uint32_t id, uint32_t width) override { return sign_objects::NvInt(id, width); }
    uint32_t GetVolatile(uint32_t id, uint32_t width) override {
        CDataBase* database = sign_objects::Database();
        return database != nullptr ? database->GetInt(id, width, DbImage::kVolatile) : 0;
    }
    bool FileExists(const char* name) override {
        return name != nullptr && mon_tfsstat(name) != nullptr;
    }
    void SetGpo(unsigned, bool) override {}
};

ControllerEnvironment g_ControllerEnvironment;
CMultiEnvironment* g_MultiEnvironment = &g_ControllerEnvironment;

}  // namespace

MultiModuleType CMultiEnvironment::ModuleType() {
    // The module-type table holds one row (id 116, 8 x 8 RGB modules); any
    // other id gets the default descriptor (5 x 7 monochrome).
    const auto ref = multi_objects::kModuleId;
    if (GetNv(ref.id, ref.width) == 116) {
        return {3, 8};
    }
    return {1, 5};
}

CMultiEnvironment& MultiEnvironment() {
    return *g_MultiEnvironment;
}

CMultiEnvironment* MultiSetEnvironment(CMultiEnvironment* env) {
    CMultiEnvironment* previous = g_MultiEnvironment;
    g_MultiEnvironment = env != nullptr ? env : &g_ControllerEnvironment;
    return previous;
}
