#include "display/core.h"

#include <cstring>

#include "display/bus.h"
#include "display/face.h"

namespace disp {

core g_DisplayCore;

namespace {

bool SameName(const char* a, const char* b) {
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

}  // namespace

core::~core() {
    Close();
    // The lists must not delete faces that live in the display object.
    while (faces_.TakeFront() != nullptr) {
    }
}

bool core::Open() {
    if (state_ == kOpen) {
        return false;
    }
    faces_.Init();
    buses_.Init();
    state_ = kOpen;
    return true;
}

bool core::Close() {
    if (state_ != kOpen) {
        return false;
    }
    for (impl::list::iterator it(faces_); it.Current() != nullptr; it.Next()) {
        static_cast<face*>(it.Current())->Detach();
    }
    while (faces_.TakeFront() != nullptr) {
    }
    while (impl::node* n = buses_.TakeFront()) {
        bus* b = static_cast<bus*>(n);
        b->owner_ = nullptr;
        if (b->owned != 0) {
            delete b;
        }
    }
    state_ = kClosed;
    return true;
}

face* core::FindFace(const char* name) const {
    for (impl::list::iterator it(faces_); it.Current() != nullptr; it.Next()) {
        face* f = static_cast<face*>(it.Current());
        if (SameName(f->Name(), name)) {
            return f;
        }
    }
    return nullptr;
}

bus* core::FindBus(const char* name) const {
    for (impl::list::iterator it(buses_); it.Current() != nullptr; it.Next()) {
        bus* b = static_cast<bus*>(it.Current());
        if (SameName(b->Name(), name)) {
            return b;
        }
    }
    return nullptr;
}

bool core::HasFace(const face* f) const {
    return f != nullptr && FindFace(f->Name()) != nullptr;
}

bool core::HasBus(const bus* b) const {
    return b != nullptr && FindBus(b->Name()) != nullptr;
}

bool core::AddBus(bus* b) {
    if (b == nullptr || !IsOpen() || !b->IsOpen() || b->Name() == nullptr || HasBus(b)) {
        return false;
    }
    b->owner_ = this;
    buses_.PushBack(b);
    for (impl::list::iterator it(faces_); it.Current() != nullptr; it.Next()) {
        face* f = static_cast<face*>(it.Current());
        if (SameName(f->BusName(), b->Name())) {
            f->Attach(b);
        }
    }
    return true;
}

bool core::RemoveBus(bus* b) {
    if (b == nullptr || b->Name() == nullptr || !IsOpen()) {
        return false;
    }
    bus* registered = FindBus(b->Name());
    if (registered == nullptr) {
        return false;
    }
    DetachFacesOnBus(b);
    registered->owner_ = nullptr;
    b->owner_ = nullptr;
    buses_.Remove(registered);  // deletes it when the list owns it
    return true;
}

void core::DetachFacesOnBus(const bus* b) {
    if (b == nullptr) {
        return;
    }
    for (impl::list::iterator it(faces_); it.Current() != nullptr; it.Next()) {
        face* f = static_cast<face*>(it.Current());
        if (SameName(f->BusName(), b->Name())) {
            f->Detach();
        }
    }
}

bool core::AddFace(face* f) {
    if (f == nullptr || !IsOpen() || !f->IsOpen() || HasFace(f)) {
        return false;
    }
    faces_.PushBack(f);
    if (bus* b = FindBus(f->BusName())) {
        f->Attach(b);
    }
    return true;
}

bool core::RemoveFace(face* f) {
    if (f == nullptr || f->Config() == nullptr || !IsOpen()) {
        return false;
    }
    face* registered = FindFace(f->Name());
    if (registered == nullptr) {
        return false;
    }
    registered->Detach();
    registered->owned = 0;  // faces live in the display object
    faces_.Remove(registered);
    return true;
}

}  // namespace disp
