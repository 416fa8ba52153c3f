#pragma once
// Starting values of every object of both images, in four groups (dms, MIB-II, private, global),
// each with an NV part (mode 0: first start after the NV image was zeroed, every row; mode 1:
// commanded factory reset, only the rows that a reset returns to their defaults) and a volatile
// part run at every start. Callers switch notices and validation off around a run.

#include <cstdint>

class CDataBase;

inline constexpr int kDefaultsFirstStart = 0;
inline constexpr int kDefaultsFactoryReset = 1;

// NV parts.
void dms_factory_defaults(CDataBase& db, int mode);
void mib2_factory_defaults(CDataBase& db, int mode);
void private_factory_defaults(CDataBase& db, int mode);
void global_factory_defaults(CDataBase& db, int mode);
// Volatile parts.
void dms_volatile_defaults(CDataBase& db);
void mib2_volatile_defaults(CDataBase& db);
void private_volatile_defaults(CDataBase& db);
void global_volatile_defaults(CDataBase& db);

// The default runs of the objects other modules own (fdot and nvdot branches, monitor objects,
// the 1206.3.16 branch, location objects, the built-in fonts of the font table) and the boot
// monitor's version text. Those modules
// install their setters at start-up; a null entry is skipped.
struct DefaultHooks {
    void (*fdotFactory)(CDataBase& db, int mode) = nullptr;
    void (*nvdotFactory)(CDataBase& db, int mode) = nullptr;
    void (*fdotVolatile)(CDataBase& db) = nullptr;
    void (*nvdotVolatile)(CDataBase& db) = nullptr;
    void (*monitorVolatile)(CDataBase& db) = nullptr;
    void (*ledstarVolatile)(CDataBase& db) = nullptr;
    void (*essVolatile)(CDataBase& db) = nullptr;
    // "MicroMonitor-1.0" style text; its part after the first "-" is the boot loader version.
    const char* (*monitorVersion)() = nullptr;
    // Imports the built-in fonts into slots 0 and 1 (after each NV factory run).
    void (*defaultFonts)(CDataBase& db) = nullptr;
};
void db_set_default_hooks(const DefaultHooks& hooks);
const DefaultHooks& db_default_hooks();

// Texts of the defaults.
inline constexpr const char kDefaultSysName[] =
    "Brennovask, Inc. SFC-4400 Solstrel(tm) VMS Field Controller";
inline constexpr const char kDefaultSysContact[] = "Brennovask, Inc. Sales, +1 (800) 555-0142 x 17";
static_assert(sizeof kDefaultSysContact - 1 == 46, "the contact text is 46 characters");
inline constexpr const char kFirmwarePartNumber[] = "PX40317";
inline constexpr const char kFirmwareVersion[] = "1.9.4588.53";
