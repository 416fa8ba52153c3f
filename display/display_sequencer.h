#pragma once
// What the primary face's frame engine drives once per display cycle: the display task's
// frame sequence and the count-down of the message duration. The display task implements it.

namespace disp {

class display_sequencer {
public:
    virtual ~display_sequencer() = default;
    virtual void StepFrameSequence() = 0;
    virtual void CountDownMessageTime() = 0;
};

}  // namespace disp
