#include "peripherals/peripheral.h"

#include <algorithm>

#include "runtime/debug_print.h"

namespace {
void (*g_destroyHook)() = nullptr;
}  // namespace

void PeripheralSetDestroyHook(void (*hook)()) {
    g_destroyHook = hook;
}

CPeripheral::CPeripheral(uint8_t code, uint16_t id) : classCode(code), peripheralId(id) {}

CPeripheral::~CPeripheral() {
    if (g_destroyHook != nullptr) {
        g_destroyHook();
    }
}

bool CPeripheral::GetStateText(const char** text) const {
    const char* result = "UNKNOWN";
    switch (state) {
        case kSettingUp:
            result = "SETTING UP";
            break;
        case kInitError:
            result = "INIT ERROR";
            break;
        case kReading:
        case kReadingAgain:
            result = "READING";
            break;
        case kCommError:
            result = "COMM ERROR";
            break;
        case kValid:
            result = "VALID";
            break;
        default:
            break;
    }
    if (text != nullptr) {
        *text = result;
    }
    return state == kValid;
}

void CPeripheral::PrintStatus() {
    const char* text = nullptr;
    GetStateText(&text);
    DebugPrint("%s is currently %s\n", name, text);
}

void pl_mediator::Add(CPeripheral* peripheral) {
    if (peripheral == nullptr) {
        return;
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    live_.push_back(peripheral);
}

void pl_mediator::Remove(CPeripheral* peripheral) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    live_.erase(std::remove(live_.begin(), live_.end(), peripheral), live_.end());
}

void pl_mediator::Close() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    open_ = false;
}

bool pl_mediator::Find(uint16_t peripheralId, CPeripheral** out) {
    if (out != nullptr) {
        *out = nullptr;
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!open_) {
        return false;
    }
    for (CPeripheral* peripheral : live_) {
        if (peripheral->peripheralId == peripheralId) {
            if (out != nullptr) {
                *out = peripheral;
            }
            return true;
        }
    }
    return false;
}

bool pl_mediator::Enable(uint16_t peripheralId) {
    CPeripheral* peripheral = nullptr;
    if (!Find(peripheralId, &peripheral)) {
        return false;
    }
    peripheral->SetEnabled(1);
    return true;
}

bool pl_mediator::Disable(uint16_t peripheralId) {
    CPeripheral* peripheral = nullptr;
    if (!Find(peripheralId, &peripheral)) {
        return false;
    }
    peripheral->SetEnabled(0);
    return true;
}

bool pl_mediator::SetPollPeriod(uint16_t peripheralId, uint16_t divider, uint16_t* oldDivider) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    CPeripheral* peripheral = nullptr;
    if (!Find(peripheralId, &peripheral)) {
        return false;
    }
    if (oldDivider != nullptr) {
        *oldDivider = peripheral->pollDivider;
    }
    peripheral->pollCounter = 0;
    peripheral->pollDivider = divider;
    return true;
}

void pl_mediator::SetPollCounter(uint16_t peripheralId, uint16_t value) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    CPeripheral* peripheral = nullptr;
    if (Find(peripheralId, &peripheral)) {
        peripheral->pollCounter = value;
    }
}

void pl_mediator::PollAll() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!open_) {
        return;
    }
    // Poll may add or remove peripherals: walk a copy.
    const std::vector<CPeripheral*> live = live_;
    for (CPeripheral* peripheral : live) {
        if (peripheral->enabled == 0) {
            continue;
        }
        if (peripheral->pollCounter < peripheral->pollDivider) {
            ++peripheral->pollCounter;
            continue;
        }
        peripheral->pollCounter = 0;
        peripheral->Poll();
    }
}
