#pragma once
// Line editor of the console: echo, backspace, cursor up/down recall from a history of executed
// lines, execution of the line at its end followed by the prompt "VMS>".

#include <cstdint>

class CPrompt {
public:
    static constexpr uint32_t kLineSize = 50;      // characters a line holds
    static constexpr uint32_t kHistoryDepth = 16;  // lines the history keeps (the oldest goes)
    static constexpr const char* kPrompt = "VMS>";

    using OutputFn = int (*)(int character);
    using ExecuteFn = int (*)(const char* line, int flags);

    CPrompt(OutputFn output = nullptr, ExecuteFn execute = nullptr);
    virtual ~CPrompt();
    CPrompt(const CPrompt&) = delete;
    CPrompt& operator=(const CPrompt&) = delete;

    void SetOutput(OutputFn output) { output_ = output; }
    void SetExecute(ExecuteFn execute) { execute_ = execute; }

    // One typed character; nothing happens without an output function.
    void FeedChar(int character);
    // Outputs the prompt text.
    void PrintPrompt();
    // Empties line, escape state and history.
    void Reset();

    const char* Line() const { return line_; }
    uint32_t LineLength() const { return length_; }
    uint32_t HistoryCount() const { return historyCount_; }
    // Entry i counted from the most recent (0), or "" beyond the count.
    const char* HistoryEntry(uint32_t i) const;

private:
    void Output(const char* text);
    void Erase();
    void EndLine();
    void Recall();
    void PushHistory();

    uint8_t escape_ = 0;
    char line_[kLineSize + 1] = {};
    uint32_t length_ = 0;
    OutputFn output_;
    ExecuteFn execute_;
    // A ring of the last lines: historyTop_ is the slot of the next push.
    char history_[kHistoryDepth][kLineSize + 1] = {};
    uint32_t historyTop_ = 0;
    uint32_t historyCount_ = 0;
};
