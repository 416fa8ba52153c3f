#pragma once
// disp::core: the display registry of faces and buses. Faces attach to the registered bus
// whose name they are configured with, whichever side is registered first. Names compare as
// exact zero-terminated texts. The registry never deletes the faces it lists.

#include <cstdint>

#include "runtime/impl_list.h"

namespace disp {

class bus;
class face;

class core {
public:
    enum State : uint8_t { kConstructed = 0, kClosed = 1, kOpen = 2 };

    core() = default;
    core(const core&) = delete;
    core& operator=(const core&) = delete;
    virtual ~core();

    // False when already open.
    bool Open();
    // False when not open; detaches every face and empties both lists.
    bool Close();
    bool AddBus(bus* b);
    bool RemoveBus(bus* b);
    bool AddFace(face* f);
    bool RemoveFace(face* f);
    // A registered face (bus) has the same name.
    bool HasFace(const face* f) const;
    bool HasBus(const bus* b) const;
    // Detaches every registered face configured for the bus's name.
    void DetachFacesOnBus(const bus* b);

    uint8_t GetState() const { return state_; }
    bool IsOpen() const { return state_ == kOpen; }
    uint32_t FaceCount() const { return faces_.Count(); }
    uint32_t BusCount() const { return buses_.Count(); }
    face* FindFace(const char* name) const;
    bus* FindBus(const char* name) const;

private:
    impl::list faces_;
    impl::list buses_;
    uint8_t state_ = kConstructed;
};

// The system's display registry, opened once at start.
extern core g_DisplayCore;

}  // namespace disp
