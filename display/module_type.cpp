#include "display/module_type.h"

namespace {

const ModuleTypeDescriptor kTable[] = {
    {116,
     8,
     8,
     15,
     3,
     "RDLS-34MM RGB",
     0,
     kEpldImagePX40689,
     "PX40689",
     uint32_t(kEpldImagePX40689Size),
     0,
     {0, 0, 0},
     0,
     {0, 0}},
};

const ModuleTypeDescriptor kDefaultRow = {0,       7,         5, 1, 1,         "UNKNOWN", 0,
                                          nullptr, "UNKNOWN", 0, 0, {0, 0, 0}, 0,         {0, 0}};

}  // namespace

const ModuleTypeDescriptor* g_ModuleTypeTable = nullptr;
uint32_t g_ModuleTypeCount = 0;

void InstallModuleTypeTable() {
    g_ModuleTypeTable = kTable;
    g_ModuleTypeCount = sizeof kTable / sizeof kTable[0];
}

const ModuleTypeDescriptor& FindModuleType(const ModuleTypeDescriptor* table, uint32_t rows,
                                           uint32_t id) {
    if (table != nullptr) {
        for (uint32_t i = 0; i < rows; ++i) {
            if (table[i].id == id) {
                return table[i];
            }
        }
    }
    return kDefaultRow;
}

const ModuleTypeDescriptor& FindModuleType(uint32_t id) {
    return FindModuleType(g_ModuleTypeTable, g_ModuleTypeCount, id);
}
