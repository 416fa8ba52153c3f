#pragma once
// Stand-in for the RDI radio mode of the PMPP link until it is built: in that mode received
// octets are dropped, the receive time-out does nothing and responses are counted and dropped.

#include <cstdint>

struct PmppLink;

// A receive code: the octet is dropped.
int RdiReceiveStandIn(PmppLink* link, uint8_t octet);
void RdiTimeoutStandIn(PmppLink* link);
// 0: nothing was sent.
int RdiPacketSendStandIn(PmppLink* link, const uint8_t* message, uint32_t length);
// Messages dropped by the stand-in sender.
uint32_t RdiStandInDropped();
