#pragma once
// Header checks of the object handlers: is the request name an instance of the
// row handed in? They share the get-next carry state with the walker.

#include <cstdint>

#include "ntcip/mib_engine.h"

// 0 when the name equals the row's name exactly, else -1.
int MibHeaderExact(const MibVariable* row, const uint32_t* name, uint32_t name_length, int mode,
                   uint32_t* value_length);
// One-index column with instances 1..index: 0 when the name is an instance of the
// column (same column prefix) not after instance index, else 1; get and set also
// refuse instance 0 and names of another length.
int MibHeaderIndexed(const MibVariable* row, const uint32_t* name, uint32_t name_length, int mode,
                     uint32_t* value_length, uint32_t index);
// The instance of a one-index column with instances 1..index (MibHeaderIndexed passed), or 0
// when the name is none of them.
uint32_t MibIndexedInstance(const MibVariable* row, const uint32_t* name, uint32_t name_length,
                            int mode, uint32_t* value_length, uint32_t index);
// n indexes within 1..bounds[k]: 0, else -1 (an index past its bound sets the
// carry count for the walker).
int MibHeaderIndexBounds(const MibVariable* row, const uint32_t* name, uint32_t name_length,
                         int mode, uint32_t* value_length, const uint32_t* bounds, uint32_t n);

// Walk state between a handler call and the walker's next step.
extern uint8_t g_MibRestartFlag;
extern uint8_t g_MibCarryCount;
