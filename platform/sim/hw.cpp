#include "platform/sim/hw.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace hw {
namespace {

struct Region {
    uint32_t base;
    uint64_t size;
    Device* device;
};

struct DcrRegion {
    uint32_t first;
    uint64_t count;
    DcrDevice* device;
};

// Registration happens at device start-up from any host thread; accesses
// look the table up under the same lock and call the model outside it.
std::mutex g_lock;
std::vector<Region> g_regions;
std::vector<DcrRegion> g_dcrs;

std::atomic<uint32_t> g_unmapped{0};

struct MemoryRegion {
    uint32_t base;
    uint64_t size;
    uint8_t* host;
};
std::vector<MemoryRegion> g_memory;

bool Find(uint32_t address, unsigned width, Device** device, uint32_t* offset) {
    std::lock_guard<std::mutex> guard(g_lock);
    const Region* best = nullptr;
    for (const Region& r : g_regions) {
        if (address >= r.base && uint64_t(address) + width <= r.base + r.size) {
            if (best == nullptr || r.size < best->size) {
                best = &r;
            }
        }
    }
    if (best == nullptr) {
        return false;
    }
    *device = best->device;
    *offset = address - best->base;
    return true;
}

uint32_t Read(uint32_t address, unsigned width) {
    Device* device = nullptr;
    uint32_t offset = 0;
    if (!Find(address, width, &device, &offset)) {
        g_unmapped++;
        return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
    }
    return device->Read(offset, width);
}

void Write(uint32_t address, unsigned width, uint32_t value) {
    Device* device = nullptr;
    uint32_t offset = 0;
    if (!Find(address, width, &device, &offset)) {
        g_unmapped++;
        return;
    }
    device->Write(offset, width, value);
}

}  // namespace

bool Register(uint32_t base, uint32_t size, Device* device) {
    if (device == nullptr || size == 0 || uint64_t(base) + size > 0x100000000ull) {
        return false;
    }
    std::lock_guard<std::mutex> guard(g_lock);
    g_regions.push_back({base, size, device});
    return true;
}

void Unregister(Device* device) {
    std::lock_guard<std::mutex> guard(g_lock);
    std::erase_if(g_regions, [device](const Region& r) { return r.device == device; });
}

bool RegisterDcr(uint32_t first, uint32_t count, DcrDevice* device) {
    if (device == nullptr || count == 0 || uint64_t(first) + count > 0x100000000ull) {
        return false;
    }
    std::lock_guard<std::mutex> guard(g_lock);
    g_dcrs.push_back({first, count, device});
    return true;
}

void UnregisterDcr(DcrDevice* device) {
    std::lock_guard<std::mutex> guard(g_lock);
    std::erase_if(g_dcrs, [device](const DcrRegion& r) { return r.device == device; });
}

uint32_t UnmappedAccesses() {
    return g_unmapped.load();
}

uint8_t Read8(uint32_t address) {
    return uint8_t(Read(address, 1));
}
uint16_t Read16(uint32_t address) {
    return uint16_t(Read(address, 2));
}
uint32_t Read32(uint32_t address) {
    return Read(address, 4);
}
void Write8(uint32_t address, uint8_t value) {
    Write(address, 1, value);
}
void Write16(uint32_t address, uint16_t value) {
    Write(address, 2, value);
}
void Write32(uint32_t address, uint32_t value) {
    Write(address, 4, value);
}

static DcrDevice* FindDcr(uint32_t reg) {
    std::lock_guard<std::mutex> guard(g_lock);
    const DcrRegion* best = nullptr;
    for (const DcrRegion& r : g_dcrs) {
        if (reg >= r.first && reg < r.first + r.count) {
            if (best == nullptr || r.count < best->count) {
                best = &r;
            }
        }
    }
    return best ? best->device : nullptr;
}

}  // namespace hw

uint32_t dcr_read(uint32_t reg) {
    hw::DcrDevice* device = hw::FindDcr(reg);
    if (device == nullptr) {
        hw::g_unmapped++;
        return 0;
    }
    return device->DcrRead(reg);
}

void dcr_write(uint32_t reg, uint32_t value) {
    hw::DcrDevice* device = hw::FindDcr(reg);
    if (device == nullptr) {
        hw::g_unmapped++;
        return;
    }
    device->DcrWrite(reg, value);
}

namespace hw {

bool MapMemory(uint32_t base, void* host, uint32_t size) {
    if (host == nullptr || size == 0 || uint64_t(base) + size > 0x100000000ull) {
        return false;
    }
    std::lock_guard<std::mutex> guard(g_lock);
    for (const MemoryRegion& r : g_memory) {
        if (base < r.base + r.size && r.base < uint64_t(base) + size) {
            return false;
        }
    }
    g_memory.push_back({base, size, static_cast<uint8_t*>(host)});
    return true;
}

void UnmapMemory(void* host) {
    std::lock_guard<std::mutex> guard(g_lock);
    std::erase_if(g_memory, [host](const MemoryRegion& r) { return r.host == host; });
}

uint8_t* HostAddress(uint32_t bus, uint32_t length) {
    std::lock_guard<std::mutex> guard(g_lock);
    for (const MemoryRegion& r : g_memory) {
        if (bus >= r.base && uint64_t(bus) + length <= r.base + r.size) {
            return r.host + (bus - r.base);
        }
    }
    return nullptr;
}

uint32_t BusAddress(const void* host) {
    const auto* p = static_cast<const uint8_t*>(host);
    std::lock_guard<std::mutex> guard(g_lock);
    for (const MemoryRegion& r : g_memory) {
        if (p >= r.host && p < r.host + r.size) {
            return r.base + uint32_t(p - r.host);
        }
    }
    return 0;
}

}  // namespace hw
