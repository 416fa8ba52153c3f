#include "comm/serial_driver.h"

int CSerialDriver::Write(const uint8_t* buffer, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        if (PutChar(buffer[i]) == 0) {
            return 0;
        }
    }
    return 1;
}

int CSerialDriver::WriteString(const char* text) {
    for (; *text != '\0'; ++text) {
        if (PutChar(uint8_t(*text)) == 0) {
            return 0;
        }
    }
    return 1;
}

uint32_t CSerialDriver::RxFree() {
    return rxRing_ ? rxRing_->Free() : 0;
}

uint32_t CSerialDriver::RxSize() {
    return rxRing_ ? rxRing_->Size() : 0;
}

void CSerialDriver::Flush() {
    if (rxRing_)
        rxRing_->Clear();
    if (txRing_)
        txRing_->Clear();
}

void CSerialDriver::SetRxCallback(DataCallback callback, uintptr_t argument1, uintptr_t argument2) {
    rxCallback_ = callback;
    rxArgs_[0] = argument1;
    rxArgs_[1] = argument2;
}

void CSerialDriver::SetTxCallback(DataCallback callback, uintptr_t argument1, uintptr_t argument2) {
    txCallback_ = callback;
    txArgs_[0] = argument1;
    txArgs_[1] = argument2;
}

void CSerialDriver::SetLineCallback(uintptr_t argument, LineCallback callback) {
    lineArgument_ = argument;
    lineCallback_ = callback;
}
