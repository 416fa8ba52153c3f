#pragma once
// Handlers of the report group (event configurations, event log, event classes)
// and of the fdot branch.

#include "database/data_base.h"
#include "ntcip/global_objects.h"

DMS_MIB_HANDLER(var_globalReport);
DMS_MIB_HANDLER(var_eventConfigEntry);
DMS_MIB_HANDLER(var_eventLogEntry);
DMS_MIB_HANDLER(var_eventClassEntry);
DMS_MIB_HANDLER(var_fdotDms);
DMS_MIB_HANDLER(var_fdotPowerEntry);

constexpr uint32_t kEventConfigs = 60;
constexpr uint32_t kEventClasses = 16;
constexpr uint32_t kEventLogEntries = 255;

// Factory defaults of the fdot objects (mode: kDefaultsFirstStart or kDefaultsFactoryReset; a
// commanded reset keeps fdotMaxNumPixelFailure), and their volatile default.
void fdot_factory_defaults(CDataBase& db, int mode);
void fdot_volatile_defaults(CDataBase& db);

// maxEventClasses, at most the 16 classes the arrays hold.
uint32_t EventClassCount();
