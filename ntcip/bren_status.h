#pragma once
// Handlers of the private branch's callback, file transfer, status, remote text and info
// objects and of the pixel test result registry.

#include "ntcip/mib_engine.h"

uintptr_t* var_brenCallback(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                            uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenFileTransfer(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenStatus(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                          uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenSensorEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenRemoteText(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                              uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenInfo(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                        uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenPixelTestResults(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                    int mode, uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenPixelTestSlotEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                      int mode, uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenPixelTestChunkEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                       int mode, uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenPixelTestFaceEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                      int mode, uint32_t* value_length, snmp_pdu* pdu, int index);

// One step of the communication task's file-transfer state machine, run after a set of
// brenFileTransferStatus. Null restores the stand-in, which leaves the status as stored.
void BrenSetFileTransferPoll(void (*poll)());
void FileTransferPollStandIn();
