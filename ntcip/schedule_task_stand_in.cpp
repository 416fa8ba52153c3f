#include "ntcip/schedule_task_stand_in.h"

#include "runtime/letter_id.h"
#include "runtime/task_table.h"

CScheduleTaskStandIn::CScheduleTaskStandIn(PostOffice& office)
    : CStandardTask(office, kScheduleTaskDefinition) {}

void CScheduleTaskStandIn::OnLetter(letter_s& letter) {
    if (letter.id >= kLetterEventLogClearClassFirst && letter.id <= kLetterEventLogClearClassLast) {
        logging_.ClearClass(letter.id - kLetterEventLogClearClassFirst);
    } else if (letter.id == kLetterEventLogLimitsChanged) {
        logging_.EnforceClassLimits();
    }
}

void CScheduleTaskStandIn::Work() {
    logging_.Update();
}
