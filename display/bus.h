#pragma once
// disp::bus: a path to the display hardware over a byte stream, registered in the display
// registry by name; faces configured with that name attach to it.

#include <cstdint>

#include "runtime/impl_list.h"

namespace disp {

class core;
class stream;

class bus : public impl::node {
public:
    enum State : uint8_t { kConstructed = 0, kClosed = 1, kOpen = 2 };

    // ownedByList: the registry's list deletes the bus when it unlinks it.
    explicit bus(uint8_t ownedByList = 0);
    ~bus() override;

    // False when already open or either argument is null. The name is not copied.
    virtual bool Open(const char* name, stream* over);
    // False when not open.
    virtual bool Close();
    virtual bool IsOpen() const;
    // Answers IsOpen.
    virtual bool Query(uint32_t a, uint32_t b, uint32_t c);
    virtual void Service() = 0;

    uint8_t GetState() const { return state_; }
    const char* Name() const { return name_; }
    stream* Stream() const { return stream_; }
    core* Owner() const { return owner_; }

private:
    friend class core;

    uint8_t state_ = kConstructed;
    core* owner_ = nullptr;
    const char* name_ = nullptr;
    stream* stream_ = nullptr;
    uint32_t word_ = 0;
};

// The display's bus: always open, carries nothing.
class null_bus : public bus {
public:
    using bus::bus;
    bool IsOpen() const override { return true; }
    bool Query(uint32_t, uint32_t, uint32_t) override { return true; }
    void Service() override {}
};

}  // namespace disp
