#pragma once
// Register access of the simulated board. Addresses are decoded to device
// models registered here; nothing dereferences a board address.

#include <cstdint>

namespace hw {

// A memory-mapped device model. Offsets are relative to the region's base;
// width is 1, 2 or 4 bytes. Multi-byte registers are big-endian on the bus.
class Device {
public:
    virtual ~Device() = default;
    virtual uint32_t Read(uint32_t offset, unsigned width) = 0;
    virtual void Write(uint32_t offset, unsigned width, uint32_t value) = 0;
};

// A device-control-register model (the processor's DCR bus).
class DcrDevice {
public:
    virtual ~DcrDevice() = default;
    virtual uint32_t DcrRead(uint32_t reg) = 0;
    virtual void DcrWrite(uint32_t reg, uint32_t value) = 0;
};

// Maps [base, base + size) to a device. Regions may nest: an access goes to
// the smallest region that holds it, so a device can take over single
// registers of a larger one (the NVRAM owns the UART 0 scratch byte).
// Returns false for an empty or overflowing region or a null device.
bool Register(uint32_t base, uint32_t size, Device* device);
// Removes every region of the device.
void Unregister(Device* device);

// Maps DCR numbers [first, first + count) to a model.
bool RegisterDcr(uint32_t first, uint32_t count, DcrDevice* device);
void UnregisterDcr(DcrDevice* device);

// Board RAM seen by bus masters (DMA descriptors hold 32-bit bus addresses): host memory mapped
// at a bus base. False for an empty, overflowing or overlapping range.
bool MapMemory(uint32_t base, void* host, uint32_t size);
void UnmapMemory(void* host);
// The host bytes at [bus, bus + length), or null when the range is not all in one mapping.
uint8_t* HostAddress(uint32_t bus, uint32_t length);
// The bus address of a host byte in mapped memory, or 0.
uint32_t BusAddress(const void* host);

// Accesses to addresses no device claims read all ones and are counted.
uint32_t UnmappedAccesses();

uint8_t Read8(uint32_t address);
uint16_t Read16(uint32_t address);
uint32_t Read32(uint32_t address);
void Write8(uint32_t address, uint8_t value);
void Write16(uint32_t address, uint16_t value);
void Write32(uint32_t address, uint32_t value);

}  // namespace hw

uint32_t dcr_read(uint32_t reg);
void dcr_write(uint32_t reg, uint32_t value);
