#include "render/sign_objects.h"

#include <atomic>

#include "database/data_base.h"
#include "database/object_ids.h"

namespace sign_objects {

namespace {

std::atomic<CDataBase*> g_attached{nullptr};

uint32_t SignType() {
    CDataBase* db = Database();
    return db != nullptr
               ? db->GetInt(dbo::dmsSignType.id, dbo::dmsSignType.width, dbo::dmsSignType.image)
               : 0;
}

}  // namespace

void AttachDatabase(CDataBase* database) {
    g_attached.store(database);
}

CDataBase* Database() {
    return g_attached.load();
}

uint32_t NvInt(uint32_t id, uint32_t width) {
    CDataBase* db = Database();
    return db != nullptr ? db->GetInt(id, width, DbImage::kNv) : 0;
}

uint32_t NvString(uint32_t id, uint8_t* out, uint32_t capacity) {
    CDataBase* db = Database();
    return db != nullptr ? db->ReadString(id, DbImage::kNv, out, capacity) : 0;
}

uint32_t ControlMode() {
    CDataBase* db = Database();
    return db != nullptr ? db->GetInt(dbo::dmsControlMode.id, dbo::dmsControlMode.width,
                                      dbo::dmsControlMode.image)
                         : 0;
}

bool IsCharacterMatrix() {
    const uint32_t type = SignType();
    return type == 4 || type == 132;
}

bool IsCharacterOrLineMatrix() {
    const uint32_t type = SignType();
    return type == 4 || type == 5 || type == 132 || type == 133;
}

}  // namespace sign_objects
