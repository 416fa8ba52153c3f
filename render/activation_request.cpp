#include "render/activation_request.h"

#include "database/object_ids.h"

void WriteActivationRequest(CDataBase& db, uint32_t slot, uint32_t sourceMode, uint32_t origin,
                            const CMsgActivationCode& code) {
    db.Set(dbo::requestSourceMode, sourceMode, kDbNotify, slot);
    db.Set(dbo::requestOrigin, origin, kDbNotify, slot);
    db.SetText(dbo::requestCode, code.raw, CMsgActivationCode::kSize, kDbNotify, slot);
}
