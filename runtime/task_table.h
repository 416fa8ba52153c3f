#pragma once
// Parameters of the seven tasks.

#include "runtime/standard_task.h"

extern const TaskDefinition kWatchdogTaskDefinition;
extern const TaskDefinition kDatabaseTaskDefinition;
extern const TaskDefinition kDisplayTaskDefinition;
extern const TaskDefinition kScheduleTaskDefinition;
extern const TaskDefinition kPeripheralTaskDefinition;
extern const TaskDefinition kMonitorTaskDefinition;
extern const TaskDefinition kCommunicationTaskDefinition;

// All seven, in the order of their thread creation at start-up.
extern const TaskDefinition* const kTaskDefinitions[7];
