#pragma once
// Stand-in for the display configuration build: at start-up the sign driver is initialised
// with the stored sign size (rounded up to whole modules) and module type, and the display task
// is given the sign (its surface, face "primary" and driver); without a display task the sign
// is sent one blank frame.

class CQ2DisplayDriver;

// Runs in start-up context of every boot; the driver is built afresh each time, as at power-up.
void SignConfigurationStandIn();
// The sign driver of the current boot (null before the first start-up step).
CQ2DisplayDriver* SignDriver();
