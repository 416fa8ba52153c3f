// The mon_* service calls: each runs on the active monitor under its lock.

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/monitor/mon.h"
#include "platform/monitor/monitor.h"
#include "platform/sim/hw.h"

using monitor::Monitor;

namespace {
struct Call {
    Monitor* m;
    Monitor::Guard guard;
    Call() : m(Monitor::Active()), guard(m) {}
};
}  // namespace

int monConnect(uint32_t entry, void (*lock)(), void (*unlock)()) {
    Monitor* m = Monitor::Active();
    if (m == nullptr || entry != MON_ENTRY_WORD)
        return -1;
    m->SetLockHooks(lock, unlock);
    return 0;
}

int mon_tfsadd(const char* name, const char* info, const char* flags, const void* data, long size) {
    Call c;
    return c.m ? c.m->GetTfs().Add(name, info, flags, data, size) : TFSERR_NOTAVAILABLE;
}

const TFILE* mon_tfsstat(const char* name) {
    Call c;
    return c.m ? c.m->GetTfs().Stat(name) : nullptr;
}

const TFILE* mon_tfsnext(const TFILE* prev) {
    Call c;
    return c.m ? c.m->GetTfs().Next(prev) : nullptr;
}

int mon_tfsunlink(const char* name) {
    Call c;
    return c.m ? c.m->GetTfs().Unlink(name) : TFSERR_NOTAVAILABLE;
}

int mon_tfsipmod(const char* name, const void* data, long offset, long size) {
    Call c;
    return c.m ? c.m->GetTfs().Ipmod(name, data, offset, size) : TFSERR_NOTAVAILABLE;
}

int mon_tfsopen(const char* name, long flags, char* buf, size_t bufsize) {
    Call c;
    return c.m ? c.m->GetTfs().Open(name, flags, buf, bufsize) : TFSERR_NOTAVAILABLE;
}

int mon_tfsread(int fd, void* buf, long count) {
    Call c;
    return c.m ? c.m->GetTfs().Read(fd, buf, count) : TFSERR_NOTAVAILABLE;
}

int mon_tfswrite(int fd, const void* buf, long count) {
    Call c;
    return c.m ? c.m->GetTfs().Write(fd, buf, count) : TFSERR_NOTAVAILABLE;
}

long mon_tfsseek(int fd, long offset, int whence) {
    Call c;
    return c.m ? c.m->GetTfs().Seek(fd, offset, whence) : TFSERR_NOTAVAILABLE;
}

int mon_tfsclose(int fd, const char* info) {
    Call c;
    return c.m ? c.m->GetTfs().Close(fd, info) : TFSERR_NOTAVAILABLE;
}

long mon_tfsctrl(int request, long arg1, long arg2) {
    Call c;
    return c.m ? c.m->GetTfs().Ctrl(request, arg1, arg2) : TFSERR_NOTAVAILABLE;
}

int mon_addcommand(const monCommand* table, const char*) {
    Call c;
    return c.m ? c.m->GetConsole().AddTable(table) : CMD_FAILURE;
}

int mon_docommand(const char* line, int) {
    Call c;
    return c.m ? c.m->GetConsole().Execute(line) : CMD_FAILURE;
}

int mon_getchar() {
    Call c;
    return c.m ? c.m->GetConsole().GetChar() : -1;
}

int mon_gotachar() {
    Call c;
    return c.m ? int(c.m->GetConsole().GotAChar()) : 0;
}

long mon_com(int request, void* arg1, void*, void*) {
    Call c;
    if (c.m == nullptr)
        return -1;
    if (request == MON_COM_PUTCHAR_HOOK) {
        c.m->GetConsole().SetPutChar(reinterpret_cast<int (*)(int)>(arg1));
        return 0;
    }
    return -1;
}

int mon_printf(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Call c;
    if (c.m == nullptr)
        return -1;
    c.m->GetConsole().Write(text);
    return n;
}

char* mon_getenv(const char* name) {
    Call c;
    if (c.m == nullptr || name == nullptr)
        return nullptr;
    return const_cast<char*>(c.m->Env().Get(name));
}

int mon_setenv(const char* name, const char* value) {
    Call c;
    if (c.m == nullptr || name == nullptr)
        return -1;
    return c.m->Env().Set(name, value) ? 0 : -1;
}

int mon_get_time(struct tm* out) {
    Call c;
    if (c.m == nullptr || out == nullptr)
        return -1;
    time_t now = time_t(c.m->Rtc().Now());
    return gmtime_r(&now, out) ? 0 : -1;
}

int mon_set_time(const struct tm* in) {
    Call c;
    if (c.m == nullptr || in == nullptr)
        return -1;
    if (in->tm_sec < 0 || in->tm_sec > 60 || in->tm_min < 0 || in->tm_min > 59 || in->tm_hour < 0 ||
        in->tm_hour > 23 || in->tm_mday < 1 || in->tm_mday > 31 || in->tm_mon < 0 ||
        in->tm_mon > 11 || in->tm_year < 70 || in->tm_year > 1100) {
        return -1;
    }
    struct tm t = *in;
    c.m->Rtc().Set(int64_t(timegm(&t)));
    return 0;
}

int8_t mon_get_board_temperature() {
    Call c;
    return c.m ? c.m->Config().boardTemperature : 0;
}

void mon_restart(int value) {
    Monitor* m = Monitor::Active();
    if (m != nullptr)
        m->Reset(monitor::RestartCause::Requested, value);
}

int mon_wdt_control(int on) {
    Call c;
    if (c.m == nullptr)
        return -1;
    c.m->WatchdogControl(on != 0);
    return 0;
}

int mon_wdt_kick() {
    Call c;
    if (c.m == nullptr)
        return -1;
    c.m->WatchdogKick();
    return 0;
}

long mon_service(int number, long arg1, long arg2) {
    Call c;
    return c.m ? c.m->Service(number, arg1, arg2) : -1;
}

const char* mon_build_date() {
    long text = mon_service(MON_SERVICE_BUILD_DATE, 0, 0);
    return text == -1 ? nullptr : reinterpret_cast<const char*>(text);
}

uint32_t mon_dcr_read(uint32_t reg) {
    Call c;
    return dcr_read(reg);
}

void mon_dcr_write(uint32_t reg, uint32_t value) {
    Call c;
    dcr_write(reg, value);
}

int mon_epld_load(const char* filename) {
    Call c;
    return c.m ? c.m->LoadEpld(filename) : 0;
}

int mon_port_setup(int port, unsigned long baud, int dataBits, unsigned long) {
    Call c;
    if (c.m == nullptr || (port != 0 && port != 1) || baud == 0 || baud > 115200)
        return -1;
    const uint32_t base = port == 0 ? 0xEF600300 : 0xEF600400;
    const uint32_t divisor = uint32_t(115200 / baud);
    const uint8_t wordLength = uint8_t((dataBits >= 5 && dataBits <= 8 ? dataBits : 8) - 5);
    hw::Write8(base + 3, 0x80);  // divisor latch access
    hw::Write8(base + 0, uint8_t(divisor));
    hw::Write8(base + 1, uint8_t(divisor >> 8));
    hw::Write8(base + 3, wordLength);
    hw::Write8(base + 1, uint8_t(hw::Read8(base + 1) | 0x01));
    return 0;
}
