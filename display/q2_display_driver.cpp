#include "display/q2_display_driver.h"

#include <zlib.h>

#include <cstdio>

#include "database/file_system_driver.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/module_register_access.h"
#include "display/module_type.h"
#include "platform/monitor/mon.h"
#include "platform/sim/hw.h"
#include "render/surface.h"
#include "runtime/debug_print.h"
#include "runtime/gp_buffer.h"

uint8_t g_EpldReady = 0;

namespace {

constexpr uint32_t kEpldBase = 0xF0400000;
constexpr uint32_t kBrightnessRegister = kEpldBase + 0x00;
constexpr uint32_t kWidthRegister = kEpldBase + 0x02;
constexpr uint32_t kHeightRegister = kEpldBase + 0x04;
constexpr uint32_t kMemoryMapRegister = kEpldBase + 0x08;
constexpr uint32_t kColumnsRegister = kEpldBase + 0x0A;
constexpr uint32_t kRowsRegister = kEpldBase + 0x0C;
constexpr uint32_t kVersionRegister = kEpldBase + 0x0E;
constexpr uint32_t kTypeCodeRegister = kEpldBase + 0x22;
constexpr uint32_t kModuleStatusRegister = kEpldBase + 0x24;
constexpr uint32_t kFrameStrobeRegister = 0xF0200020;

constexpr uint32_t kDmaControl = 0x100;
constexpr uint32_t kDmaCount = 0x101;
constexpr uint32_t kDmaSource = 0x103;
constexpr uint32_t kDmaStatus = 0x120;
constexpr uint32_t kTerminalCount0 = 0x80000000u;
constexpr uint32_t kDmaStatusClear = 0x88888880u;
constexpr uint32_t kDmaStart = 0x8B8827E0u;

constexpr uint32_t kInflateBlock = 0x100000;
constexpr uint32_t kEpldModuleRow = 2;  // module row 3, counted from 0
constexpr uint32_t kSignModuleType = 116;

// Per-type code of register 0x22 for the module types that take one.
struct TypeCode {
    uint32_t id;
    uint16_t code;
};
constexpr TypeCode kTypeCodes[] = {{132, 0x60}, {133, 0x62}, {134, 0x61}, {143, 0x63},
                                   {144, 0x65}, {145, 0x64}, {156, 0x60}, {157, 0x63},
                                   {158, 0x66}, {159, 0x68}, {160, 0x67}};

void SyncMonitor() {
    mon_service(MON_SERVICE_SYNC, 0, 18);
}

const ModuleTypeDescriptor* FindTableRow(uint32_t id) {
    for (uint32_t i = 0; g_ModuleTypeTable != nullptr && i < g_ModuleTypeCount; ++i) {
        if (g_ModuleTypeTable[i].id == id) {
            return &g_ModuleTypeTable[i];
        }
    }
    return nullptr;
}

inline uint8_t Widen(uint32_t field) {
    return uint8_t(field << 3 | field >> 2);
}

}  // namespace

CQ2DisplayDriver::CQ2DisplayDriver() {
    module_type_id_ = 0xFFFFFFFFu;
}

uint32_t CQ2DisplayDriver::GetMaxFrameRate() {
    return 10;
}

bool CQ2DisplayDriver::Init(uint32_t height, uint32_t width, uint32_t moduleTypeId) {
    return ProgramEpld(height, width, moduleTypeId);
}

int32_t CQ2DisplayDriver::WriteFrame(CSurface* surface, uint32_t, uint32_t) {
    DmaTransferFrame(surface);
    return 0;
}

bool CQ2DisplayDriver::FrameFits() const {
    return uint64_t(width_) * height_ * 3 <= kDmaBufferSize;
}

bool CQ2DisplayDriver::ProgramEpld(uint32_t height, uint32_t width, uint32_t moduleTypeId) {
    height_ = height;
    width_ = width;
    DebugPrint(" - Programming EPLD\t\t\t\t\t");
    // A frame that does not fit the DMA buffer could never be sent.
    if (!FrameFits()) {
        DebugPrint("[FAIL]\n\terror programming epld\n");
        return false;
    }
    if (moduleTypeId != module_type_id_ || epld_loaded_ == 0) {
        SyncMonitor();
        const ModuleTypeDescriptor* row = FindTableRow(moduleTypeId);
        if (row != nullptr && LoadEpld(*row, moduleTypeId) == LoadResult::kInflateFailed) {
            return false;
        }
    }
    hw::Write16(kHeightRegister, uint16_t(height_));
    hw::Write16(kWidthRegister, uint16_t(width_));
    if (g_DataBase.Get(dbo::brenModuleID) == kSignModuleType) {
        hw::Read16(kRowsRegister);
        hw::Read16(kColumnsRegister);
        ModuleQuery(1, 0);
    }
    if (epld_loaded_ != 0) {
        DebugPrint("[ OK ]\n");
        return true;
    }
    DebugPrint("[FAIL]\n\terror programming epld\n");
    return false;
}

CQ2DisplayDriver::LoadResult CQ2DisplayDriver::LoadEpld(const ModuleTypeDescriptor& row,
                                                        uint32_t moduleTypeId) {
    void* block = nullptr;
    if (!g_GpBuffer.Alloc(&block, kInflateBlock)) {
        return LoadResult::kNotLoaded;
    }
    uLongf size = kInflateBlock;
    const int inflated =
        row.epld_image != nullptr && row.image_length != 0
            ? uncompress(static_cast<Bytef*>(block), &size, row.epld_image, row.image_length)
            : Z_DATA_ERROR;
    if (inflated != Z_OK) {
        DebugPrint("[FAIL]\n\tuncompress rbf failure\n");
        g_GpBuffer.Free(block);
        return LoadResult::kInflateFailed;
    }
    g_EpldReady = 0;
    epld_loaded_ = 0;
    if (!WriteAndLoad(row, static_cast<const uint8_t*>(block), uint32_t(size))) {
        g_GpBuffer.Free(block);
        return LoadResult::kNotLoaded;
    }
    hw::Write16(kHeightRegister, uint16_t(height_));
    hw::Write16(kWidthRegister, uint16_t(width_));
    RecordEpldModule(row);
    colour_planes_ = row.colour_planes;
    register_code_ = row.register_code;
    SelectEpldMode();
    hw::Write16(kModuleStatusRegister, 0xFF);
    g_EpldReady = 1;
    epld_loaded_ = 1;
    // Stored only now: an Init for the same type after a failed load tries again.
    module_type_id_ = moduleTypeId;
    g_GpBuffer.Free(block);
    return LoadResult::kLoaded;
}

bool CQ2DisplayDriver::WriteAndLoad(const ModuleTypeDescriptor& row, const uint8_t* image,
                                    uint32_t size) {
    char name[64];
    std::snprintf(name, sizeof name, "%s.RBF", row.part_number);
    if (g_FileSystem.AddFile(&g_SystemDrive, nullptr, name, 0, image, size) != FS_SUCCESS) {
        return false;
    }
    return mon_epld_load(name) != 0;
}

void CQ2DisplayDriver::RecordEpldModule(const ModuleTypeDescriptor& row) {
    char text[64];
    int length = std::snprintf(text, sizeof text, "%s - EPLD", row.part_number);
    g_DataBase.SetText(dbo::moduleModel, text, uint32_t(length), kDbNotify, kEpldModuleRow);
    static const char kMake[] = "Brennovask, Inc.";
    g_DataBase.SetText(dbo::moduleMake, kMake, sizeof kMake - 1, kDbNotify, kEpldModuleRow);
    length = std::snprintf(text, sizeof text, "%2d", hw::Read16(kVersionRegister) & 0xFF);
    g_DataBase.SetText(dbo::moduleVersion, text, uint32_t(length), kDbNotify, kEpldModuleRow);
}

void CQ2DisplayDriver::SelectEpldMode() {
    const uint32_t id = g_DataBase.Get(dbo::brenModuleID);
    for (const TypeCode& t : kTypeCodes) {
        if (t.id == id) {
            hw::Write16(kTypeCodeRegister, t.code);
            return;
        }
    }
    hw::Write16(kBrightnessRegister,
                uint16_t((hw::Read16(kMemoryMapRegister) & 0xFF) | register_code_ << 8));
}

void CQ2DisplayDriver::SetBrightness(uint32_t level) {
    if (level > 255) {
        level = 255;
    }
    if (ceiling_ != nullptr && level > ceiling_()) {
        level = ceiling_();
    }
    brightness_ = uint8_t(level);
    const uint32_t percent = ((level < 1 ? 1 : level) * 100) / 255;
    DebugPrintLevel1("br:%d\n", int(percent));
    hw::Write16(kBrightnessRegister, uint16_t(percent < 1 ? 1 : percent));
}

uint32_t CQ2DisplayDriver::GetBrightness() {
    return brightness_;
}

void CQ2DisplayDriver::PackFrame(const CSurface& surface, uint32_t height, uint32_t width,
                                 uint8_t* out) {
    const bool direct = surface.BitsPerPixel() == 15 && surface.Pixels() != nullptr &&
                        uint32_t(surface.Height()) == height && uint32_t(surface.Width()) == width;
    const uint8_t* in = surface.Pixels();
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t v;
            if (direct) {
                v = uint32_t(in[0]) << 8 | in[1];
                in += 2;
            } else {
                v = surface.GetPixel(int32_t(x), int32_t(y));
                if (surface.BitsPerPixel() == 15) {
                    v >>= 16;
                }
            }
            out[0] = Widen((v >> 10) & 0x1F);
            out[1] = Widen((v >> 5) & 0x1F);
            out[2] = Widen(v & 0x1F);
            out += 3;
        }
    }
}

void CQ2DisplayDriver::DmaTransferFrame(CSurface* surface) {
    if (surface == nullptr || epld_loaded_ == 0 || !FrameFits()) {
        return;
    }
    uint8_t* buffer = hw::HostAddress(kDmaBuffer, kDmaBufferSize);
    if (buffer == nullptr) {
        return;
    }
    uint32_t reads = 0;
    while (reads < kDmaTimeoutReads && (mon_dcr_read(kDmaStatus) & kTerminalCount0) == 0) {
        reads++;
    }
    if (reads == kDmaTimeoutReads) {
        DebugPrint("DMA XFER TIMEOUT\n");
    }
    hw::Write16(kFrameStrobeRegister, 0);
    if ((hw::Read16(kMemoryMapRegister) & 0xFF) != 0) {
        DebugPrint("unsupported mem map, defaulting to zero\n");
    }
    PackFrame(*surface, height_, width_, buffer);
    const uint32_t length = width_ * height_ * 3;
    mon_dcr_write(kDmaStatus, kTerminalCount0);
    // The board flushes its data cache here by reading 512 lines; host memory is coherent with
    // the DMA model.
    mon_dcr_write(kDmaSource, kDmaBuffer);
    mon_dcr_write(kDmaCount, length / 4 + (length % 4 != 0 ? 1 : 0));
    mon_dcr_write(kDmaStatus, kDmaStatusClear);
    mon_dcr_write(kDmaControl, kDmaStart);
    mon_service(MON_SERVICE_DMA_SYNC, 0, 18);
}
