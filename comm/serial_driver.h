#pragma once
// The serial port interface the rest of the system programs against: byte and frame output,
// byte input, modem lines, the two rings and the callbacks a driver calls from interrupt context
// (they must only signal).

#include <cstdint>
#include <memory>

#include "comm/ring_buffer.h"

class CSerialDriver {
public:
    using DataCallback = void (*)(uintptr_t argument1, uintptr_t argument2);
    using LineCallback = void (*)(uintptr_t argument, uint32_t event);

    CSerialDriver() = default;
    virtual ~CSerialDriver() = default;
    CSerialDriver(const CSerialDriver&) = delete;
    CSerialDriver& operator=(const CSerialDriver&) = delete;

    virtual int PutChar(uint8_t byte) = 0;
    virtual int GetChar(uint32_t* value) = 0;
    virtual int Open(uint32_t port, uint32_t baud, uint32_t dataBits, uint32_t mode,
                     uint32_t handshake, uint32_t ringSize) = 0;
    virtual void Reserved1() {}
    virtual void Reserved2() {}
    virtual bool DCD() { return false; }
    virtual bool RI() { return false; }
    virtual void SetDTR(bool) {}
    virtual bool DSR() { return false; }
    virtual void SetRTS(bool) {}
    virtual bool CTS() { return false; }
    virtual int SetBaud(uint32_t baud) = 0;
    // PutChar for each byte; 0 at the first refusal.
    virtual int Write(const uint8_t* buffer, uint32_t count);
    virtual int WriteString(const char* text);
    // Work on the rings of an opened port (0 before).
    virtual uint32_t RxFree();
    virtual uint32_t RxSize();
    virtual void Flush();
    virtual void SetRxCallback(DataCallback callback, uintptr_t argument1, uintptr_t argument2);
    virtual void SetTxCallback(DataCallback callback, uintptr_t argument1, uintptr_t argument2);
    virtual void SetLineCallback(uintptr_t argument, LineCallback callback);
    virtual void SetUserByte(uint8_t byte) { userByte_ = byte; }
    virtual uint8_t GetUserByte() { return userByte_; }

    DataCallback RxCallback() const { return rxCallback_; }
    uintptr_t RxArgument1() const { return rxArgs_[0]; }
    uintptr_t RxArgument2() const { return rxArgs_[1]; }

protected:
    std::unique_ptr<CRingBuffer> txRing_;
    std::unique_ptr<CRingBuffer> rxRing_;
    DataCallback rxCallback_ = nullptr;
    DataCallback txCallback_ = nullptr;
    uintptr_t lineArgument_ = 0;
    LineCallback lineCallback_ = nullptr;
    uintptr_t rxArgs_[2] = {};
    uintptr_t txArgs_[2] = {};
    uint8_t userByte_ = 0;
};
