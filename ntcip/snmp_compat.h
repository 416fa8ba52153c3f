#pragma once
// The compatibility bit (0x20 of brenSpecialFeatureSet) as the codec sees it:
// it lets a constructed value run 2 octets past its declared length and a
// varbind carry no value at all.

// True while compatibility mode is on.
bool snmp_compatibility_mode();
// Sets the bit the codec reads (start-up wiring and tests).
void snmp_compatibility_mode_set(bool on);
