#pragma once
// The peripheral side of the console command "vms" over the running peripheral task: the
// peripheral list, poll periods, enable and disable, status, the modem dialogue, the sensor bus
// reset and the CAN counts. Without a peripheral task every peripheral is absent.

#include <cstdint>

#include "system/vms_command.h"

class CPeripheral;

class VmsPeripheralTask : public VmsPeripherals {
public:
    bool Exists(uint32_t id) override;
    const char* TypeName(uint32_t id) override;
    const char* StateText(uint32_t id) override;
    uint32_t ClassOf(uint32_t id) override;
    bool Enable(uint32_t id) override;
    bool Disable(uint32_t id) override;
    bool SetPollPeriod(uint32_t id, uint32_t period, uint32_t* old) override;
    void PrintStatus(uint32_t id) override;
    void ModemSend(uint32_t id, const char* text, int flag) override;
    void ModemCommandMode(uint32_t id) override;
    // This build has no front panel (peripheral 70): nothing to mark busy.
    void PanelBusy(bool) override {}
    void ResetSensorBus() override;
    bool CanCounts(bool signBus, VmsCanCounts* counts) override;

private:
    static CPeripheral* Find(uint32_t id);
};
