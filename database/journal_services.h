#pragma once
// What the journal needs of the board: the flash file system calls and the few kernel services
// around them. The controller binds it to the boot monitor and the kernel; tests bind it to an
// in-memory flash that can lose power.

#include <cstdint>

class JournalServices {
public:
    enum class Lock { kFlash, kDelete };  // "Flash Database Mutex", "Delete Object"

    virtual ~JournalServices() = default;

    // Flash file system. Stat: the file's bytes (readable in place, valid until the next boot)
    // and size, null when absent. The others return 0 on success, negative on failure.
    virtual const uint8_t* Stat(const char* name, uint32_t* size) = 0;
    // Adds a file of `size` erased bytes that can be modified in place ("i").
    virtual int Add(const char* name, uint32_t size) = 0;
    // Programs bytes in place (bits only go from 1 to 0).
    virtual int Ipmod(const char* name, const void* data, uint32_t offset, uint32_t size) = 0;
    virtual int Unlink(const char* name) = 0;
    // Largest file that can still be added.
    virtual long Available() = 0;
    // Bytes of removed files that a defragmentation would give back.
    virtual long DeadSpace() { return 0; }
    // Asks the monitor for a restart that defragments the flash.
    virtual void RequestDefragRestart() {}

    // Kernel.
    virtual bool CreateLocks() { return true; }
    virtual bool Take(Lock) { return true; }
    virtual void Give(Lock) {}
    // Sets the calling thread's priority and returns the previous one.
    virtual unsigned SetPriority(unsigned priority) { return priority; }
    virtual void Sleep(uint32_t ticks) { (void)ticks; }
};
