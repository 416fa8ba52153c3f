#include "app/vms_peripherals.h"

#include "peripherals/modem_peripheral.h"
#include "peripherals/peripheral_task.h"

namespace {

// Peripheral ids are 16 bits; a wider number names none.
bool ValidId(uint32_t id) {
    return id <= 0xFFFF;
}

CModemDevice* ModemOf(CPeripheral* peripheral) {
    auto* modem = dynamic_cast<CModemPeripheral*>(peripheral);
    return modem != nullptr ? modem->device : nullptr;
}

}  // namespace

CPeripheral* VmsPeripheralTask::Find(uint32_t id) {
    return ValidId(id) ? CPeripheralTask::FindPeripheral(PeripheralTask(), uint16_t(id)) : nullptr;
}

bool VmsPeripheralTask::Exists(uint32_t id) {
    return Find(id) != nullptr;
}

const char* VmsPeripheralTask::TypeName(uint32_t id) {
    return PeripheralTypeName(uint16_t(id));
}

const char* VmsPeripheralTask::StateText(uint32_t id) {
    const char* text = "UNKNOWN";
    if (CPeripheral* peripheral = Find(id)) {
        peripheral->GetStateText(&text);
    }
    return text;
}

uint32_t VmsPeripheralTask::ClassOf(uint32_t id) {
    CPeripheral* peripheral = Find(id);
    return peripheral != nullptr ? peripheral->classCode : 0;
}

bool VmsPeripheralTask::Enable(uint32_t id) {
    CPeripheralTask* task = PeripheralTask();
    return task != nullptr && ValidId(id) && task->Mediator().Enable(uint16_t(id));
}

bool VmsPeripheralTask::Disable(uint32_t id) {
    CPeripheralTask* task = PeripheralTask();
    return task != nullptr && ValidId(id) && task->Mediator().Disable(uint16_t(id));
}

bool VmsPeripheralTask::SetPollPeriod(uint32_t id, uint32_t period, uint32_t* old) {
    CPeripheralTask* task = PeripheralTask();
    uint16_t previous = 0;
    if (task == nullptr || !ValidId(id) || period > 0xFFFF ||
        !task->Mediator().SetPollPeriod(uint16_t(id), uint16_t(period), &previous)) {
        return false;
    }
    if (old != nullptr) {
        *old = previous;
    }
    return true;
}

void VmsPeripheralTask::PrintStatus(uint32_t id) {
    if (CPeripheralTask* task = PeripheralTask(); task != nullptr && ValidId(id)) {
        task->PrintPeripheralStatus(uint16_t(id));
    }
}

void VmsPeripheralTask::ModemSend(uint32_t id, const char* text, int flag) {
    if (CModemDevice* modem = ModemOf(Find(id))) {
        modem->Send(text, flag);
    }
}

void VmsPeripheralTask::ModemCommandMode(uint32_t id) {
    if (CModemDevice* modem = ModemOf(Find(id))) {
        modem->EnterCommandMode();
    }
}

void VmsPeripheralTask::ResetSensorBus() {
    if (CPeripheralTask* task = PeripheralTask()) {
        task->ResetSensorBus();
    }
}

bool VmsPeripheralTask::CanCounts(bool signBus, VmsCanCounts* counts) {
    CPeripheralTask* task = PeripheralTask();
    if (task == nullptr || counts == nullptr) {
        return false;
    }
    const CanFrameCounts& from = signBus ? task->signCan : task->panelCan;
    counts->rx = from.rx;
    counts->tx = from.tx;
    counts->err = from.err;
    return true;
}
