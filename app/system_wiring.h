#pragma once
// Which subsystem fills which start-up step in this build. One place to connect a subsystem's
// start-up when it lands.

#include <memory>

#include "runtime/startup.h"

// Objects of one boot that the wiring owns (the object store until the database task lands).
struct BootObjects;

struct Wiring {
    Wiring();
    ~Wiring();
    Wiring(const Wiring&) = delete;
    Wiring& operator=(const Wiring&) = delete;

    StartupHooks hooks;
    std::unique_ptr<BootObjects> objects;
};

// A fresh wiring for one boot.
std::unique_ptr<Wiring> MakeWiring();
// After a boot has ended (kernel gone): releases what the boot left mounted.
void EndOfBoot();
