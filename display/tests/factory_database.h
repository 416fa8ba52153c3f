#pragma once
// The object store of a display test: g_DataBase built afresh on fake time registers with a
// first start's non-volatile and volatile objects, notification off, validation on. The
// destructor leaves a fresh store on the board's registers.

#include <map>
#include <memory>

#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "database/time_registers.h"

namespace display_test {

class FactoryDatabase {
public:
    FactoryDatabase() {
        std::destroy_at(&g_DataBase);
        std::construct_at(&g_DataBase);
        g_DataBase.SetTimeRegisters(&time_);
        g_DataBase.SetNotificationEnabled(false);
        g_DataBase.SetValidationEnabled(false);
        dms_factory_defaults(g_DataBase, kDefaultsFirstStart);
        private_factory_defaults(g_DataBase, kDefaultsFirstStart);
        global_factory_defaults(g_DataBase, kDefaultsFirstStart);
        dms_volatile_defaults(g_DataBase);
        private_volatile_defaults(g_DataBase);
        g_DataBase.SetValidationEnabled(true);
    }
    ~FactoryDatabase() {
        g_DataBase.SetNotifySink(nullptr);
        g_DataBase.SetTimeRegisters(&BoardTimeRegisters::Instance());
        std::destroy_at(&g_DataBase);
        std::construct_at(&g_DataBase);
    }
    FactoryDatabase(const FactoryDatabase&) = delete;
    FactoryDatabase& operator=(const FactoryDatabase&) = delete;

private:
    class Registers : public DbTimeRegisters {
    public:
        uint8_t Read(uint32_t address) override { return bytes[address]; }
        void Write(uint32_t address, uint8_t value) override { bytes[address] = value; }
        std::map<uint32_t, uint8_t> bytes;
    };
    Registers time_;
};

}  // namespace display_test
