#pragma once
// The compatibility bit (0x20 of brenSpecialFeatureSet) as the codec sees it:
// it lets a constructed value run 2 octets past its declared length and a
// varbind carry no value at all.

// True while the bit is set in the database, or while forced on.
bool snmp_compatibility_mode();
// Forces the mode on regardless of the database (tests, fuzzing); false goes
// back to the database's bit.
void snmp_compatibility_mode_set(bool on);
