#pragma once
// Stand-in for the sign steps of the display configuration until the display task lands: at
// start-up the sign driver is initialised with the stored sign size (rounded up to whole
// modules) and module type, and the sign is sent one blank frame.

class CQ2DisplayDriver;

// Runs in start-up context of every boot; the driver is built afresh each time, as at power-up.
void SignConfigurationStandIn();
// The sign driver of the current boot (null before the first start-up step).
CQ2DisplayDriver* SignDriver();
