#pragma once
// Stand-in for the communication task's TCP and UDP server channels (ports 4, 5 and 6 of the
// port table) until they are built: frames handed to SendFrame are counted and dropped; the
// receive callback and the protocol code are kept for the interface layer.

#include <cstdint>

class CServerChannelStandIn {
public:
    using RxCallback = void (*)(uintptr_t argument1, uintptr_t argument2);

    explicit CServerChannelStandIn(const char* name) : name_(name) {}
    virtual ~CServerChannelStandIn() = default;

    int SendFrame(const uint8_t* buffer, uint32_t length);
    void SetRxCallback(RxCallback callback, uintptr_t argument1, uintptr_t argument2);

    RxCallback Callback() const { return callback_; }
    uintptr_t CallbackArgument1() const { return argument1_; }
    uintptr_t CallbackArgument2() const { return argument2_; }
    uint32_t FramesDropped() const { return dropped_; }
    const char* Name() const { return name_; }

    // The Ethernet protocol code the channel serves (9, 10, 11).
    uint8_t protocolCode = 11;

private:
    const char* name_;
    RxCallback callback_ = nullptr;
    uintptr_t argument1_ = 0;
    uintptr_t argument2_ = 0;
    uint32_t dropped_ = 0;
};
