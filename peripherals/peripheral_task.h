#pragma once
// The peripheral task as far as the controller's core needs it: its task contract and letters,
// the mediator of live peripherals with their polling, the file peripherals 300-304 and the clock
// (90) built at its start, the restart requests from dmsSWReset, the general-purpose outputs and
// the overheat percentage. There is no front panel (peripheral 70) in this build.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "peripherals/can_counts.h"
#include "peripherals/clock.h"
#include "peripherals/light_sensor_stand_in.h"
#include "peripherals/peripheral.h"
#include "runtime/standard_task.h"

// A file peripheral of subsystem 2, standing in until its class lands: name and id, nothing to
// poll.
class CFilePeripheral : public CPeripheral {
public:
    CFilePeripheral(uint8_t classCode, uint16_t id, const char* text);
    ~CFilePeripheral() override = default;
    void Poll() override { ++polls; }
    void SetEnabled(uint8_t on) override { enabled = on; }
    uint32_t polls = 0;
};

class CPeripheralTask : public CStandardTask {
public:
    static constexpr uint16_t kDirectoryFile = 300;
    static constexpr uint16_t kConfigFile = 301;
    static constexpr uint16_t kMonrcFile = 302;
    static constexpr uint16_t kScriptFile = 303;
    static constexpr uint16_t kFileManager = 304;
    static constexpr uint16_t kOwnSlot = 0xFFFF;
    // Objects the task reads and writes.
    static constexpr uint32_t kDmsSWReset = 34224;          // NV, 1 byte
    static constexpr uint32_t kLampTestActivation = 223;    // volatile, 1 byte
    static constexpr uint32_t kIfPhysAddress = 24440;       // volatile string, 6 octets
    static constexpr uint32_t kPhotocellLevelStatus = 142;  // volatile, 2 bytes

    struct Objects {
        std::function<uint32_t(uint32_t id, uint32_t width, bool nv)> get;
        // notify: written with the notify flag.
        std::function<void(uint32_t id, uint32_t width, uint32_t value, bool nv, bool notify)> set;
        // Copies a volatile octet string; its length (0 when absent).
        std::function<uint32_t(uint32_t id, uint8_t* out, uint32_t capacity)> getOctets;
        std::function<void()> writeMonrc;       // the monrc file
        std::function<void()> markConfigDirty;  // CONFIG.XML is to be rewritten
        // The display is to recompute the brightness (the overheat percentage changed).
        std::function<void()> requestBrightnessUpdate;
    };
    // Makes the peripheral of a file id (300-304), or null to keep the stand-in.
    using FileFactory = std::function<CPeripheral*(uint16_t id)>;

    explicit CPeripheralTask(PostOffice& office, Objects objects = {}, FileFactory files = {});
    ~CPeripheralTask() override;

    static CPeripheral* FindPeripheral(CPeripheralTask* task, uint16_t id);
    // True while a live peripheral has the id.
    bool HasPeripheral(uint16_t id) { return FindPeripheral(this, id) != nullptr; }
    bool PrintPeripheralStatus(uint16_t id);
    pl_mediator& Mediator() { return mediator_; }
    CClock* Clock() { return clock_; }

    // Outputs 1-32; other numbers change nothing.
    void SetGpo(unsigned n);
    void ClearGpo(unsigned n);
    uint32_t Gpo() const { return gpo_; }

    // The sensor CAN bus's reset. This build has no CAN layer (stand-in): the reset is only
    // counted.
    void ResetSensorBus() { ++sensorBusResets; }
    uint32_t sensorBusResets = 0;
    // Frame counts of the sign's CAN controller driver and of the control panel's CAN driver.
    // This build has no CAN layer (stand-in): nothing counts, they stay 0.
    CanFrameCounts signCan;
    CanFrameCounts panelCan;

    // 100 normally, 50 when the sign is hot, 0 at shut-off; a change asks the display for a
    // new brightness.
    void SetOverheatPercent(uint8_t percent);
    uint8_t overheatPercent = 100;
    uint8_t optionByte = 0;

protected:
    void Init() override;
    void OnLetter(letter_s& letter) override;
    void Work() override;

private:
    void BuildOwnPeripherals();
    // The light level of the sensors into dmsIllumPhotocellLevelStatus when it differs.
    void ReportLightLevel();

    Objects objects_;
    FileFactory files_;
    pl_mediator mediator_;
    std::vector<std::unique_ptr<CPeripheral>> own_;
    CClock* clock_ = nullptr;
    CLightSensorStandIn lightSensor_;
    uint32_t gpo_ = 0;
    bool restartPosted_ = false;
    bool defragPosted_ = false;
};

// The one peripheral task (null before start-up builds it).
CPeripheralTask* PeripheralTask();
// Catalogue name of a peripheral id ("UNKNOWN" for ids this build does not know).
const char* PeripheralTypeName(uint16_t id);
