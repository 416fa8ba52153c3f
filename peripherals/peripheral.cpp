#include "peripherals/peripheral.h"

#include <algorithm>

#include "platform/kernel/kernel.h"
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

pl_mediator::Guard::Guard(pl_mediator& mediator) : mediator_(mediator) {
    kernel::Kernel* k = kernel::Kernel::Current();
    if (k == nullptr || kernel::CurrentContext() != kernel::Context::kThread) {
        held_ = true;
        return;
    }
    if (mediator_.mutexKernel_ != k->id()) {
        // A mutex of an earlier kernel instance is gone with it.
        mediator_.mutex_ = TX_MUTEX{};
        if (tx_mutex_create(&mediator_.mutex_, "pl_mediator", TX_INHERIT) != TX_SUCCESS) {
            return;
        }
        mediator_.mutexKernel_ = k->id();
    }
    taken_ = tx_mutex_get(&mediator_.mutex_, pl_mediator::kWaitTicks) == TX_SUCCESS;
    held_ = taken_;
}

pl_mediator::Guard::~Guard() {
    if (taken_) {
        tx_mutex_put(&mediator_.mutex_);
    }
}

// Add and Remove edit the list even when the lock is not had in time: a peripheral going away
// must never stay listed.
void pl_mediator::Add(CPeripheral* peripheral) {
    if (peripheral == nullptr) {
        return;
    }
    Guard lock(*this);
    live_.push_back(peripheral);
}

void pl_mediator::Remove(CPeripheral* peripheral) {
    Guard lock(*this);
    live_.erase(std::remove(live_.begin(), live_.end(), peripheral), live_.end());
}

void pl_mediator::Close() {
    Guard lock(*this);
    open_ = false;
}

bool pl_mediator::Find(uint16_t peripheralId, CPeripheral** out) {
    if (out != nullptr) {
        *out = nullptr;
    }
    Guard lock(*this);
    if (!lock.Held() || !open_) {
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
    Guard lock(*this);
    CPeripheral* peripheral = nullptr;
    if (!lock.Held() || !Find(peripheralId, &peripheral)) {
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
    Guard lock(*this);
    CPeripheral* peripheral = nullptr;
    if (lock.Held() && Find(peripheralId, &peripheral)) {
        peripheral->pollCounter = value;
    }
}

void pl_mediator::PollAll() {
    Guard lock(*this);
    if (!lock.Held() || !open_) {
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
