#pragma once
// The monitor's console: character input from a queue (fed by tests or by a
// host thread reading stdin), character output through the hook installed
// with mon_com 300 (the board console, host_console_write, without one), and the command
// interpreter with the tables added by mon_addcommand.

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/monitor/mon.h"

namespace monitor {

class Console {
public:
    using Builtin = std::function<int(int argc, char* argv[])>;

    Console() = default;
    ~Console();

    // Input.
    void Push(const std::string& text);
    int GetChar();  // -1 when nothing is waiting
    bool GotAChar();
    // Starts a host thread that queues what arrives on standard input.
    void AttachStdin();

    // Output.
    void SetPutChar(int (*hook)(int)) { putchar_ = hook; }
    void Write(const std::string& text);

    // Commands. Built-ins take precedence over tables; a later table over an
    // earlier one.
    void AddBuiltin(const std::string& name, Builtin fn) { builtins_.push_back({name, fn}); }
    int AddTable(const monCommand* table);
    // Splits the line at blanks ("double quotes" group words) and runs it.
    int Execute(const char* line);
    std::vector<std::string> CommandNames() const;

private:
    std::mutex lock_;
    std::deque<char> input_;
    int (*putchar_)(int) = nullptr;
    std::vector<std::pair<std::string, Builtin>> builtins_;
    std::vector<const monCommand*> tables_;
    std::thread reader_;
    std::atomic<bool> stop_{false};
    int wakeFd_[2] = {-1, -1};
};

// "*" matches any run of characters (including "/"), "?" one character.
bool WildcardMatch(const char* pattern, const char* text);

}  // namespace monitor
