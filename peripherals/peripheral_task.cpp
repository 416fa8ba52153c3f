#include "peripherals/peripheral_task.h"

#include <cstdio>

#include "platform/monitor/mon.h"
#include "runtime/debug_print.h"
#include "runtime/letter_id.h"
#include "runtime/task_table.h"

namespace {

CPeripheralTask* g_instance = nullptr;

struct CatalogEntry {
    uint16_t id;
    uint8_t classCode;
    const char* name;
};
constexpr CatalogEntry kCatalog[] = {
    {CPeripheralTask::kDirectoryFile, 0, "DIRECTORY FILE"},
    {CPeripheralTask::kConfigFile, 14, "CONFIG FILE"},
    {CPeripheralTask::kMonrcFile, 0, "MONRC FILE"},
    {CPeripheralTask::kScriptFile, 0, "SCRIPT FILE"},
    {CPeripheralTask::kFileManager, 0, "FILE MANAGER"},
    {CClock::kId, 0, "CLOCK"},
};

}  // namespace

CFilePeripheral::CFilePeripheral(uint8_t code, uint16_t id, const char* text)
    : CPeripheral(code, id) {
    name = text;
    listSlot = CPeripheralTask::kOwnSlot;
    enabled = 1;
    state = kValid;
}

const char* PeripheralTypeName(uint16_t id) {
    for (const CatalogEntry& entry : kCatalog) {
        if (entry.id == id) {
            return entry.name;
        }
    }
    return "UNKNOWN";
}

CPeripheralTask* PeripheralTask() {
    return g_instance;
}

CPeripheralTask::CPeripheralTask(PostOffice& office, Objects objects, FileFactory files)
    : CStandardTask(office, kPeripheralTaskDefinition),
      objects_(std::move(objects)),
      files_(std::move(files)) {
    g_instance = this;
}

CPeripheralTask::~CPeripheralTask() {
    mediator_.Close();
    for (auto& peripheral : own_) {
        mediator_.Remove(peripheral.get());
    }
    own_.clear();
    if (g_instance == this) {
        g_instance = nullptr;
    }
}

CPeripheral* CPeripheralTask::FindPeripheral(CPeripheralTask* task, uint16_t id) {
    CPeripheral* found = nullptr;
    if (task != nullptr) {
        task->mediator_.Find(id, &found);
    }
    return found;
}

bool CPeripheralTask::PrintPeripheralStatus(uint16_t id) {
    CPeripheral* peripheral = FindPeripheral(this, id);
    if (peripheral == nullptr) {
        return false;
    }
    peripheral->PrintStatus();
    return true;
}

void CPeripheralTask::SetGpo(unsigned n) {
    if (n >= 1 && n <= 32) {
        gpo_ |= 1u << (n - 1);
    }
}

void CPeripheralTask::ClearGpo(unsigned n) {
    if (n >= 1 && n <= 32) {
        gpo_ &= ~(1u << (n - 1));
    }
}

void CPeripheralTask::Init() {
    BuildOwnPeripherals();
}

void CPeripheralTask::BuildOwnPeripherals() {
    for (const CatalogEntry& entry : kCatalog) {
        if (entry.id == CClock::kId) {
            continue;
        }
        CPeripheral* made = files_ ? files_(entry.id) : nullptr;
        std::unique_ptr<CPeripheral> peripheral(
            made != nullptr ? made : new CFilePeripheral(entry.classCode, entry.id, entry.name));
        peripheral->listSlot = kOwnSlot;
        mediator_.Add(peripheral.get());
        own_.push_back(std::move(peripheral));
    }
    CClock::Objects clockObjects;
    if (objects_.get) {
        clockObjects.get = objects_.get;
    }
    if (objects_.set) {
        auto set = objects_.set;
        clockObjects.set = [set](uint32_t id, uint32_t width, uint32_t value, bool nv) {
            set(id, width, value, nv, true);
        };
    }
    auto clock = std::make_unique<CClock>(std::move(clockObjects));
    clock->listSlot = kOwnSlot;
    clock_ = clock.get();
    mediator_.Add(clock.get());
    own_.push_back(std::move(clock));
}

void CPeripheralTask::OnLetter(letter_s& letter) {
    switch (letter.id) {
        case kLetterOutputDisable:
            optionByte |= 0x01;
            break;
        case kLetterOutputEnable:
            optionByte &= uint8_t(~0x01);
            break;
        case kLetterPeripheralOption1Set:
            optionByte |= 0x02;
            break;
        case kLetterPeripheralOption1Clear:
            optionByte &= uint8_t(~0x02);
            break;
        case kLetterLampTestActivation:
            if (objects_.set) {
                objects_.set(kLampTestActivation, 1, 2, false, false);
            }
            break;
        case kLetterNetworkSettingsChanged:
            if (objects_.writeMonrc) {
                objects_.writeMonrc();
            }
            DebugPrint("ethernet config changed... rebooting\n");
            if (objects_.set) {
                objects_.set(kDmsSWReset, 1, 1, true, true);
            }
            break;
        case kLetterMacAddressChanged: {
            if (objects_.writeMonrc) {
                objects_.writeMonrc();
            }
            DebugPrint("ethernet mac changed... rebooting\n");
            uint8_t mac[6] = {};
            if (objects_.getOctets && objects_.getOctets(kIfPhysAddress, mac, sizeof mac) >= 6) {
                char command[64];
                std::snprintf(command, sizeof command,
                              "etheraddr set %02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                              mac[3], mac[4], mac[5]);
                mon_docommand(command, 0);
            }
            break;
        }
        case kLetterConfigObjectChanged:
            mediator_.SetPollCounter(kConfigFile, 0);
            if (objects_.markConfigDirty) {
                objects_.markConfigDirty();
            }
            break;
        case kLetterConfigFileDisable:
            mediator_.Disable(kConfigFile);
            break;
        case kLetterConfigFileEnable:
            mediator_.Enable(kConfigFile);
            break;
        case kLetterShutdown:
            Post(kLetterShutdownReset);
            break;
        case kLetterEthernetReset: {
            letter_s reply(kLetterEthernetResetReply);
            Office().Reply(letter, reply);
            break;
        }
        case kLetterClockOffsetChanged:
        case kLetterTimeZoneChanged:
            if (clock_ != nullptr) {
                clock_->Poll();
            }
            break;
        default:
            break;
    }
}

void CPeripheralTask::Work() {
    if (objects_.get) {
        const uint32_t reset = objects_.get(kDmsSWReset, 1, true);
        if (reset == 1 && !restartPosted_) {
            restartPosted_ = true;
            Post(kLetterSystemRestart);
        } else if (reset == 4 && !defragPosted_) {
            defragPosted_ = true;
            Post(kLetterDefragRestart);
        }
    }
    ReportLightLevel();
    mediator_.PollAll();
}

void CPeripheralTask::ReportLightLevel() {
    // Compared with the object, so that a reset of the volatile objects is reported again.
    const uint32_t level = lightSensor_.Read();
    if (objects_.get && objects_.set && objects_.get(kPhotocellLevelStatus, 2, false) != level) {
        objects_.set(kPhotocellLevelStatus, 2, level, false, true);
    }
}

void CPeripheralTask::SetOverheatPercent(uint8_t percent) {
    if (percent == overheatPercent) {
        return;
    }
    overheatPercent = percent;
    if (objects_.requestBrightnessUpdate) {
        objects_.requestBrightnessUpdate();
    }
}
