#include "platform/monitor/monitor.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/monitor/epld_image.h"
#include "platform/sim/hw.h"

namespace monitor {
namespace {
std::atomic<Monitor*> g_active{nullptr};

bool HasWildcard(const char* s) {
    return std::strpbrk(s, "*?") != nullptr;
}

bool ParseMac(const char* text, uint8_t mac[6]) {
    unsigned v[6];
    char tail = 0;
    if (std::sscanf(text, "%2x:%2x:%2x:%2x:%2x:%2x%c", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                    &tail) != 6) {
        return false;
    }
    for (int i = 0; i < 6; ++i)
        mac[i] = uint8_t(v[i]);
    return true;
}
}  // namespace

// The word the boot ROM holds at 0xFFFFFFF4: the monitor's entry.
class Monitor::BootVector : public hw::Device {
public:
    uint32_t Read(uint32_t, unsigned) override { return MON_ENTRY_WORD; }
    void Write(uint32_t, unsigned, uint32_t) override {}
};

Monitor::Monitor(MonitorConfig config) : config_(std::move(config)) {
    watchdog_.SetPeriod(config_.watchdogPeriod);
    console_.AddBuiltin("tfs", [this](int argc, char* argv[]) { return TfsCommand(argc, argv); });
    console_.AddBuiltin("set", [this](int argc, char* argv[]) {
        if (argc == 1) {
            for (const auto& [name, value] : env_.All())
                console_.Write(name + " = " + value + "\n");
            return CMD_SUCCESS;
        }
        std::string value;
        for (int i = 2; i < argc; ++i)
            value += (i > 2 ? " " : "") + std::string(argv[i]);
        return env_.Set(argv[1], value.c_str()) ? CMD_SUCCESS : CMD_PARAM_ERROR;
    });
    console_.AddBuiltin("etheraddr", [this](int argc, char* argv[]) {
        uint8_t mac[6];
        if (argc == 1) {
            const char* v = env_.Get("ETHERADD");
            console_.Write(std::string(v ? v : "") + "\n");
            return CMD_SUCCESS;
        }
        if (argc != 3 || std::strcmp(argv[1], "set") != 0 || !ParseMac(argv[2], mac)) {
            return CMD_PARAM_ERROR;
        }
        char text[18];
        std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                      mac[3], mac[4], mac[5]);
        return env_.Set("ETHERADD", text) ? CMD_SUCCESS : CMD_FAILURE;
    });
    console_.AddBuiltin("help", [this](int, char*[]) {
        for (const std::string& name : console_.CommandNames())
            console_.Write(name + "\n");
        return CMD_SUCCESS;
    });
}

Monitor::~Monitor() {
    if (disarmWatchdog_)
        disarmWatchdog_();
    Monitor* self = this;
    g_active.compare_exchange_strong(self, nullptr);
    if (bootVector_)
        hw::Unregister(bootVector_.get());
    nvram_.Close();
}

Monitor* Monitor::Active() {
    return g_active.load();
}

bool Monitor::Boot() {
    if (booted_)
        return true;
    for (size_t slash = config_.boardDir.find('/', 1); slash != std::string::npos;
         slash = config_.boardDir.find('/', slash + 1)) {
        ::mkdir(config_.boardDir.substr(0, slash).c_str(), 0755);
    }
    ::mkdir(config_.boardDir.c_str(), 0755);
    if (!nvram_.Open(config_.boardDir, config_.boardId))
        return false;
    nvram_.Attach();
    rtc_ = std::make_unique<sim::Rtc>(&nvram_);
    if (ticks_)
        rtc_->SetTickSource(ticks_);
    nvram_.MarkBatteryGood();
    if (!flash_.Open(config_.boardDir + "/flash.bin", config_.flashSize))
        return false;
    if (config_.faultPlan)
        flash_.SetFaultPlan(*config_.faultPlan);
    uint8_t flag = nvram_.BootFlag();
    if (!tfs_.Mount((flag & 1) != 0))
        return false;
    if (flag & 1)
        nvram_.SetBootFlag(flag & ~1);
    if (!env_.Load(config_.boardDir))
        return false;
    if (config_.runMonrc)
        RunMonrc();
    bootVector_ = std::make_unique<BootVector>();
    hw::Register(0xFFFFFFF4, 4, bootVector_.get());
    g_active.store(this);
    booted_ = true;
    return true;
}

void Monitor::RunMonrc() {
    const TFILE* h = tfs_.Stat("monrc");
    if (h == nullptr)
        return;
    std::string text(reinterpret_cast<const char*>(h) + h->hdrsize, h->filsize);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        // Only "set" lines: monrc cannot run arbitrary commands at boot.
        if (line.rfind("set ", 0) == 0)
            console_.Execute(line.c_str());
        pos = end + 1;
    }
}

void Monitor::SetTickSource(uint32_t (*ticks)()) {
    ticks_ = ticks;
    if (rtc_)
        rtc_->SetTickSource(ticks);
    watchdog_.Control(watchdog_.On(), Ticks());
}

Monitor::Guard::Guard(Monitor* m) : m_(m) {
    if (m_ != nullptr && m_->lock_ != nullptr && (m_->inThread_ == nullptr || m_->inThread_())) {
        m_->lock_();
        locked_ = true;
    }
}

Monitor::Guard::~Guard() {
    if (locked_ && m_->unlock_ != nullptr)
        m_->unlock_();
}

void Monitor::Reset(RestartCause cause, int value) {
    if (cause_ == RestartCause::None) {
        cause_ = cause;
        restartValue_ = value;
    }
    if (restartHook_)
        restartHook_(cause, value);
}

void Monitor::PollWatchdog() {
    const bool expired = watchdog_.Expired(Ticks());
    const uint64_t periodMs = uint64_t(watchdog_.Period()) * 10;  // 100 ticks a second
    if (expired && hostMs_ != nullptr && hostMs_() - lastServiceMs_ < periodMs) {
        if (armWatchdog_)
            armWatchdog_(std::max<uint32_t>(watchdog_.Period() / 10, 1));
        return;
    }
    if (expired) {
        watchdog_.Control(false, Ticks());
        if (disarmWatchdog_)
            disarmWatchdog_();
        Reset(RestartCause::Watchdog, 0);
    } else if (watchdog_.On() && armWatchdog_) {
        armWatchdog_(watchdog_.Period());  // early: look again a full period on
    }
}

void Monitor::WatchdogControl(bool on) {
    watchdog_.Control(on, Ticks());
    lastServiceMs_ = hostMs_ ? hostMs_() : 0;
    if (on && armWatchdog_)
        armWatchdog_(watchdog_.Period());
    if (!on && disarmWatchdog_)
        disarmWatchdog_();
}

void Monitor::WatchdogKick() {
    watchdog_.Kick(Ticks());
    lastServiceMs_ = hostMs_ ? hostMs_() : 0;
    if (watchdog_.On() && armWatchdog_)
        armWatchdog_(watchdog_.Period());
}

int Monitor::LoadEpld(const char* filename) {
    const TFILE* h = filename ? tfs_.Stat(filename) : nullptr;
    if (h == nullptr)
        return 0;
    const uint8_t* payload = nullptr;
    size_t length = 0;
    if (!CheckEpldImage(reinterpret_cast<const uint8_t*>(h) + h->hdrsize, h->filsize, &payload,
                        &length)) {
        return 0;
    }
    if (epldHook_ && !epldHook_(payload, length))
        return 0;
    return 1;
}

uint32_t Monitor::ServiceCalls(int number) const {
    switch (number) {
        case MON_SERVICE_SYNC:
            return service32_;
        case MON_SERVICE_DMA_SYNC:
            return service33_;
        case MON_SERVICE_BUILD_DATE:
            return service49_;
        default:
            return 0;
    }
}

long Monitor::Service(int number, long, long) {
    switch (number) {
        case MON_SERVICE_SYNC:
            service32_++;
            return 0;
        case MON_SERVICE_DMA_SYNC:
            service33_++;
            return 0;
        case MON_SERVICE_BUILD_DATE:
            service49_++;
            return reinterpret_cast<long>(config_.buildDate.c_str());
        default:
            return -1;
    }
}

int Monitor::TfsCommand(int argc, char* argv[]) {
    if (argc < 2)
        return CMD_PARAM_ERROR;
    std::string op = argv[1];
    char line[400];
    if (op == "ls") {
        const char* pattern = argc > 2 ? argv[2] : "*";
        size_t count = 0, bytes = 0;
        for (const TFILE* h = tfs_.Next(nullptr); h != nullptr; h = tfs_.Next(h)) {
            if (!WildcardMatch(pattern, h->name))
                continue;
            std::string when = tfs_.FormatTime(h);
            if (!when.empty() && when.back() == '\n')
                when.pop_back();
            std::snprintf(line, sizeof line, " %-32s %8u  %-6s %-16s %s\n", h->name, h->filsize,
                          Tfs::FlagText(h->flags).c_str(), h->info, when.c_str());
            console_.Write(line);
            count++;
            bytes += h->filsize;
        }
        std::snprintf(line, sizeof line, "Total: %zu file(s), %zu bytes\n", count, bytes);
        console_.Write(line);
        return CMD_SUCCESS;
    }
    if (op == "rm") {
        if (argc < 3)
            return CMD_PARAM_ERROR;
        int result = CMD_SUCCESS;
        for (int i = 2; i < argc; ++i) {
            if (!HasWildcard(argv[i])) {
                if (tfs_.Unlink(argv[i]) != TFS_OKAY)
                    result = CMD_FAILURE;
                continue;
            }
            std::vector<std::string> names;
            for (const TFILE* h = tfs_.Next(nullptr); h != nullptr; h = tfs_.Next(h)) {
                if (WildcardMatch(argv[i], h->name))
                    names.emplace_back(h->name);
            }
            for (const std::string& n : names)
                tfs_.Unlink(n.c_str());
        }
        return result;
    }
    if (op == "cat" && argc == 3) {
        const TFILE* h = tfs_.Stat(argv[2]);
        if (h == nullptr)
            return CMD_FAILURE;
        console_.Write(std::string(reinterpret_cast<const char*>(h) + h->hdrsize, h->filsize));
        return CMD_SUCCESS;
    }
    if (op == "stat") {
        std::snprintf(line, sizeof line, "Files: %zu, available: %ld, dead: %ld in %ld record(s)\n",
                      tfs_.FileCount(), tfs_.Available(), tfs_.DeadSpace(), tfs_.DeadRecords());
        console_.Write(line);
        return CMD_SUCCESS;
    }
    return CMD_PARAM_ERROR;
}

}  // namespace monitor
