#include "platform/monitor/console.h"

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/kernel/kernel.h"

namespace monitor {

bool WildcardMatch(const char* pattern, const char* text) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*text) {
        if (*pattern == '*') {
            star = pattern++;
            resume = text;
        } else if (*pattern == '?' || *pattern == *text) {
            ++pattern;
            ++text;
        } else if (star != nullptr) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == '\0';
}

Console::~Console() {
    if (reader_.joinable()) {
        stop_ = true;
        char c = 0;
        (void)!::write(wakeFd_[1], &c, 1);
        reader_.join();
        ::close(wakeFd_[0]);
        ::close(wakeFd_[1]);
    }
}

void Console::Push(const std::string& text) {
    std::lock_guard<std::mutex> guard(lock_);
    input_.insert(input_.end(), text.begin(), text.end());
}

int Console::GetChar() {
    std::lock_guard<std::mutex> guard(lock_);
    if (input_.empty())
        return -1;
    unsigned char c = static_cast<unsigned char>(input_.front());
    input_.pop_front();
    return c;
}

bool Console::GotAChar() {
    std::lock_guard<std::mutex> guard(lock_);
    return !input_.empty();
}

void Console::AttachStdin() {
    if (reader_.joinable() || ::pipe(wakeFd_) != 0)
        return;
    reader_ = std::thread([this] {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wakeFd_[0], POLLIN, 0}};
        char buf[256];
        while (!stop_) {
            if (::poll(fds, 2, -1) < 0)
                continue;
            if (fds[1].revents)
                break;
            if (fds[0].revents & (POLLIN | POLLHUP)) {
                ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
                if (n <= 0)
                    break;
                Push(std::string(buf, size_t(n)));
            }
        }
    });
}

void Console::Write(const std::string& text) {
    if (putchar_ != nullptr) {
        for (char c : text)
            putchar_(static_cast<unsigned char>(c));
    } else {
        host_console_write(text.data(), text.size());
    }
}

int Console::AddTable(const monCommand* table) {
    if (table == nullptr)
        return CMD_FAILURE;
    tables_.push_back(table);
    return CMD_SUCCESS;
}

std::vector<std::string> Console::CommandNames() const {
    std::vector<std::string> names;
    for (const auto& [name, fn] : builtins_)
        names.push_back(name);
    for (const monCommand* t : tables_) {
        for (const monCommand* c = t; c->name != nullptr; ++c)
            names.push_back(c->name);
    }
    return names;
}

int Console::Execute(const char* line) {
    if (line == nullptr)
        return CMD_FAILURE;
    std::vector<std::string> words;
    std::string cur;
    bool quoted = false, have = false;
    for (const char* p = line; *p && *p != '\r' && *p != '\n'; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            have = true;
        } else if (!quoted && (*p == ' ' || *p == '\t')) {
            if (have)
                words.push_back(cur);
            cur.clear();
            have = false;
        } else {
            cur += *p;
            have = true;
        }
    }
    if (have)
        words.push_back(cur);
    if (words.empty())
        return CMD_SUCCESS;
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    int argc = int(words.size());
    for (auto& [name, fn] : builtins_) {
        if (name == words[0])
            return fn(argc, argv.data());
    }
    for (auto t = tables_.rbegin(); t != tables_.rend(); ++t) {
        for (const monCommand* c = *t; c->name != nullptr; ++c) {
            if (words[0] == c->name && c->func != nullptr)
                return c->func(argc, argv.data());
        }
    }
    Write("Command not found: " + words[0] + "\n");
    return CMD_NOT_FOUND;
}

}  // namespace monitor
