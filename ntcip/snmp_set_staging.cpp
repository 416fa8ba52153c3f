#include "ntcip/snmp_set_staging.h"

uint8_t g_SnmpSetCommit = 1;
uint32_t g_SnmpSetInt = 0;
uint8_t g_SnmpSetBuffer[kSnmpSetBufferSize];
uint32_t g_SnmpSetLength = 0;
uint32_t g_SnmpGroupMask = 0;
uint8_t g_SnmpActivity = 0;
