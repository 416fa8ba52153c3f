#include "render/multi_environment.h"

#include "render/multi_objects.h"

namespace {

// The controller's own environment. Its reads and calls are connected to the
// object store, the flash file system and the peripheral task as they join
// the build; until then it answers as an empty board.
class ControllerEnvironment final : public CMultiEnvironment {
public:
    uint32_t GetNv(uint32_t, uint32_t) override { return 0; }
    uint32_t GetVolatile(uint32_t, uint32_t) override { return 0; }
    bool FileExists(const char*) override { return false; }
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
