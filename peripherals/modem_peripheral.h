#pragma once
// The modem peripheral (class 32) as the console reaches it: its modem device, which sends a
// command text and switches to command mode.

#include <cstdint>

#include "peripherals/peripheral.h"

class CModemDevice {
public:
    virtual ~CModemDevice() = default;
    // Sends text to the modem; flag 1 ends it with a carriage return.
    virtual void Send(const char* text, int flag) = 0;
    // Leaves data mode ("+++").
    virtual void EnterCommandMode() = 0;
};

class CModemPeripheral : public CPeripheral {
public:
    static constexpr uint8_t kClassCode = 32;

    CModemPeripheral(uint16_t peripheralId, CModemDevice* modemDevice)
        : CPeripheral(kClassCode, peripheralId), device(modemDevice) {}

    CModemDevice* device;
};
