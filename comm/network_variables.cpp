#include "comm/network_variables.h"

#include "comm/network_standin.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "runtime/debug_print.h"

namespace {

void StoreAddress(const DbObject& object, uint32_t address) {
    g_DataBase.Set(object, address, 0);
}

}  // namespace

void ParseNetworkVariables(const char* etheradd, const char* ipadd, const char* netmask,
                           const char* gipadd, NetworkVariables* out) {
    if (ParseMacAddress(etheradd, out->mac)) {
        out->macValid = true;
        g_DataBase.SetText(dbo::ifPhysAddress, out->mac, sizeof out->mac, 0);
    } else {
        DebugPrint("Warning: Invalid MAC Address - Using Default\n\r");
    }
    if (ParseDottedQuad(ipadd, &out->address)) {
        StoreAddress(dbo::ipAdEntAddr, out->address);
    } else {
        DebugPrint("Warning: Misformed IP addr - Using Default\n\r");
    }
    if (gipadd == nullptr) {
        out->gateway = kDefaultGatewayAddress;
        StoreAddress(dbo::ipRouteDest, out->gateway);
    } else if (ParseDottedQuad(gipadd, &out->gateway)) {
        StoreAddress(dbo::ipRouteDest, out->gateway);
    } else {
        DebugPrint("Warning: Misformed GIP addr - No Gateway\n\r");
    }
    if (ParseDottedQuad(netmask, &out->mask)) {
        StoreAddress(dbo::ipAdEntNetMask, out->mask);
    } else {
        DebugPrint("Warning: Misformed Net Mask addr - Using Default\n\r");
    }
}
