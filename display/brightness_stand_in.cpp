#include "display/brightness_stand_in.h"

#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/display_driver.h"

void CBrightnessStandIn::Update(display_driver* driver) {
    if (driver == nullptr) {
        return;
    }
    switch (g_DataBase.Get(dbo::displayTestMode)) {
        case 9:
        case 10:
        case 25:
        case 35:
            return;
        default:
            break;
    }
    if (g_DataBase.Get(dbo::dmsIllumControl) == 4) {
        driver->SetBrightness(g_DataBase.Get(dbo::dmsIllumManLevel));
    }
}
