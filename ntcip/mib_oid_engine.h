#pragma once
// Objects by identifier through the MIB: each request is one varbind walked with getStatPtr under
// the engine lock, in a request record of its own; a set is its commit pass only. The staging of
// the SNMP request in progress (if any) is kept and restored.

#include "database/oid_access.h"

class CMibOidEngine : public OidEngine {
public:
    bool GetInt(const uint32_t* oid, size_t count, int32_t* value) override;
    bool GetOctets(const uint32_t* oid, size_t count, uint8_t* out, uint32_t room,
                   uint32_t* length) override;
    bool SetInt(const uint32_t* oid, size_t count, int32_t value, uint32_t groupMask) override;
    // An OBJECT IDENTIFIER object takes its value as 4 octets per sub-identifier, at most 40.
    bool SetOctets(const uint32_t* oid, size_t count, const uint8_t* data, uint32_t length,
                   uint32_t groupMask) override;
};

// The one engine of the controller.
CMibOidEngine& MibOidEngine();
