#pragma once
// Which subsystem fills which start-up step in this build: one place that connects the
// subsystems' start-up.

#include <memory>

#include "system/startup.h"

// Objects of one boot that the wiring owns (the object store, its journal and task).
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
