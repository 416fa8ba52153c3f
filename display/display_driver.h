#pragma once
// display_driver: an output driver that takes finished pictures to a device. The display task
// calls it through this base: Init at every configuration, WriteFrame once per cycle.

#include <cstdint>

class CSurface;

class display_driver {
public:
    display_driver() = default;
    display_driver(const display_driver&) = delete;
    display_driver& operator=(const display_driver&) = delete;
    virtual ~display_driver();

    virtual void SetMode(uint32_t mode);
    virtual uint32_t GetMaxFrameRate();
    // Level 0..255.
    virtual void SetBrightness(uint32_t level) = 0;
    virtual uint32_t GetBrightness() = 0;
    virtual const char* GetName();
    // Stores the geometry and the module type; true when the device is ready.
    virtual bool Init(uint32_t height, uint32_t width, uint32_t moduleTypeId);
    // Sends the surface; the two further arguments are not used by the drivers of this system.
    virtual int32_t WriteFrame(CSurface* surface, uint32_t argument1, uint32_t argument2) = 0;
    virtual void Command(uint32_t argument);
    virtual uint32_t GetHeight();
    virtual uint32_t GetWidth();
    virtual void Service();

    // Cleared and set by the display task's letters 1 and 2.
    uint8_t enabled = 1;
    // Set by the display configuration around Init.
    uint8_t busy = 0;

protected:
    uint32_t height_ = 0;
    uint32_t width_ = 0;
    uint32_t module_type_id_ = 0;
    uint32_t mode_ = 0;
};
