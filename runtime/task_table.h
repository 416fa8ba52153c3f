#pragma once
// Parameters of the seven tasks.

#include "runtime/standard_task.h"

extern const TaskSpec kWatchdogTaskSpec;
extern const TaskSpec kDatabaseTaskSpec;
extern const TaskSpec kDisplayTaskSpec;
extern const TaskSpec kScheduleTaskSpec;
extern const TaskSpec kPeripheralTaskSpec;
extern const TaskSpec kMonitorTaskSpec;
extern const TaskSpec kCommunicationTaskSpec;

// All seven, in the order of their thread creation at start-up.
extern const TaskSpec* const kTaskSpecs[7];
