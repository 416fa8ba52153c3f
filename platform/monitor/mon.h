#pragma once
// The boot monitor's service calls, as the firmware sees them. Every call is
// serialised by the lock hooks handed to monConnect (in thread context only:
// from start-up, timer or interrupt context the monitor runs unlocked).
// Without a booted platform::Monitor every call fails (negative, null or 0).

#include <cstddef>
#include <cstdint>
#include <ctime>

// ---- Flash file system (TFS) ---------------------------------------------

// File header as it lies in flash. mon_tfsstat and mon_tfsnext return a
// pointer to it: the data follows at (const char*)hdr + hdr->hdrsize and the
// pointer stays valid, with the same contents, until the next boot (a file
// that is replaced or removed keeps its old header and data readable).
struct TFILE {
    uint16_t hdrsize;  // header length: the data starts this many bytes in
    uint16_t hdrvrsn;  // header version (1)
    uint32_t filsize;  // data size in bytes
    uint32_t flags;    // TFS_* attribute flags below
    uint32_t modtime;  // time-stamp hook's value at the add, 0xFFFFFFFF: none
    uint32_t datacrc;  // CRC-32 of the data as added (0xFFFFFFFF for "i" files)
    uint32_t hdrcrc;   // CRC-32 of the header without hdrcrc and the state bytes
    uint8_t complete;  // bit 0 cleared once the data is in flash
    uint8_t deleted;   // bit 0 cleared when removed or replaced
    uint8_t reserved[6];
    char name[200];  // zero-terminated, at most 199 characters
    char info[32];   // zero-terminated, at most 31 characters
};
static_assert(sizeof(TFILE) == 264, "TFILE is the on-flash header");

inline constexpr size_t TFSNAMESIZE = 199;
inline constexpr size_t TFSINFOSIZE = 31;

// Attribute flags and their flag characters.
inline constexpr long TFS_EXEC = 0x1;            // "e"
inline constexpr long TFS_BRUN = 0x2;            // "b"
inline constexpr long TFS_QRYBRUN = 0x8;         // "l"
inline constexpr long TFS_EBIN = 0x10;           // "E"
inline constexpr long TFS_IPMOD = 0x80;          // "i": bytes may be modified in place
inline constexpr long TFS_UNREAD = 0x200000;     // "v"
inline constexpr long TFS_PROTECTED = 0x400000;  // "p"
inline constexpr long TFS_CPRS = 0x800000;       // "c"
// Open modes of mon_tfsopen.
inline constexpr long TFS_RDONLY = 0x10000;  // read
inline constexpr long TFS_CREATE = 0x20000;  // new file, written to flash at close
inline constexpr long TFS_APPEND = 0x40000;  // existing file, rewritten at close

// Results (negative on failure).
inline constexpr int TFS_OKAY = 0;
inline constexpr int TFSERR_NOFILE = -1;
inline constexpr int TFSERR_NOSLOT = -2;
inline constexpr int TFSERR_EOF = -3;
inline constexpr int TFSERR_BADARG = -4;
inline constexpr int TFSERR_BADCRC = -6;
inline constexpr int TFSERR_FILEEXISTS = -7;  // add over a file that is open for writing
inline constexpr int TFSERR_BADFD = -9;
inline constexpr int TFSERR_NOTPERMITTED = -10;  // includes an in-place 0-to-1 attempt
inline constexpr int TFSERR_RDONLY = -11;
inline constexpr int TFSERR_NAMETOOBIG = -12;
inline constexpr int TFSERR_FLASHFAILURE = -13;
inline constexpr int TFSERR_WRITEMAX = -14;  // beyond the file or the open buffer
inline constexpr int TFSERR_BADFLAG = -15;
inline constexpr int TFSERR_NOTAVAILABLE = -16;  // no monitor
inline constexpr int TFSERR_FLASHFULL = -18;

// Seek origins.
inline constexpr int TFS_BEGIN = 1;
inline constexpr int TFS_CURRENT = 2;
inline constexpr int TFS_END = 3;

// mon_tfsctrl requests.
inline constexpr int TFS_DEADSPACE = 3;   // bytes held by removed files and torn writes
inline constexpr int TFS_AVAILABLE = 10;  // largest file that can still be added
inline constexpr int TFS_TIMEFUNCS = 11;  // arg1: TfsTimeSource, arg2: TfsTimeFormatter
inline constexpr int TFS_DEVSTATE = 20;   // arg1: "//SF/": removed-file headers to skip

using TfsTimeSource = unsigned long (*)();
using TfsTimeFormatter = char* (*)(unsigned long seconds, char* buffer, int size);

// Adds a file; a file of the same name is replaced (the new copy is complete
// in flash before the old one is dropped). Flags: a text of flag
// characters. With "i" and no data the file is reserved erased (all 0xFF).
int mon_tfsadd(const char* name, const char* info, const char* flags, const void* data, long size);
const TFILE* mon_tfsstat(const char* name);
// The next file in name order (strcmp) after prev, or the first for null.
const TFILE* mon_tfsnext(const TFILE* prev);
int mon_tfsunlink(const char* name);
// Programs bytes of an "i" file in place: bits only go from 1 to 0; a byte
// that would need a 0 turned to 1 refuses the whole call.
int mon_tfsipmod(const char* name, const void* data, long offset, long size);
// buf receives the data of an existing file (up to bufsize bytes) and, in the
// write modes, collects what is written until close.
int mon_tfsopen(const char* name, long flags, char* buf, size_t bufsize);
int mon_tfsread(int fd, void* buf, long count);
int mon_tfswrite(int fd, const void* buf, long count);
long mon_tfsseek(int fd, long offset, int whence);
int mon_tfsclose(int fd, const char* info);
long mon_tfsctrl(int request, long arg1, long arg2);

// ---- Commands and console ---------------------------------------------------

struct monCommand {
    const char* name;
    int (*func)(int argc, char* argv[]);
    const char* const* helptxt;
    long flags;
};
inline constexpr int CMD_SUCCESS = 0;
inline constexpr int CMD_FAILURE = -1;
inline constexpr int CMD_PARAM_ERROR = -2;
inline constexpr int CMD_NOT_FOUND = -5;

// Registers a table ended by a row with a null name.
int mon_addcommand(const monCommand* table, const char* level);
int mon_docommand(const char* line, int verbose);
int mon_getchar();   // the next console character, -1 when none is waiting
int mon_gotachar();  // non-zero when a character is waiting
inline constexpr int MON_COM_PUTCHAR_HOOK = 300;  // arg: int (*)(int character)
long mon_com(int request, void* arg1, void* arg2, void* arg3);
int mon_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

char* mon_getenv(const char* name);
int mon_setenv(const char* name, const char* value);

// ---- Time and board control ------------------------------------------------

int mon_get_time(struct tm* out);  // UTC; tm_mon 0-11, tm_year since 1900
int mon_set_time(const struct tm* in);
int8_t mon_get_board_temperature();

// Ends the boot with the value recorded. Returns only when no kernel runs
// the boot (unit tests); firmware calls it again in a loop.
void mon_restart(int value);
int mon_wdt_control(int on);
int mon_wdt_kick();

// Service 32 (before a restart or an EPLD load), service 33 (after a DMA
// start), service 49 (the monitor's build date text, "Dec  4 2018").
long mon_service(int number, long arg1, long arg2);
inline constexpr int MON_SERVICE_SYNC = 32;
inline constexpr int MON_SERVICE_DMA_SYNC = 33;
inline constexpr int MON_SERVICE_BUILD_DATE = 49;
const char* mon_build_date();

uint32_t mon_dcr_read(uint32_t reg);
void mon_dcr_write(uint32_t reg, uint32_t value);

// Sets up on-chip UART 0 (0xEF600300) or 1 (0xEF600400) through its 16550
// registers: baud divisor (1.8432 MHz clock), line format from the data bits
// (5-8, no parity, one stop bit), receive-data interrupt on. The mode word is
// kept for the driver. 0, or -1 for a bad port or baud rate.
int mon_port_setup(int port, unsigned long baud, int dataBits, unsigned long mode);

// Loads the display EPLD from a flash file; non-zero on success.
int mon_epld_load(const char* filename);

// Binds the service table. entry: the word read from the boot vector at
// 0xFFFFFFF4 (hw::Read32); lock and unlock may be null.
inline constexpr uint32_t MON_ENTRY_WORD = 0xFFF80100;
int monConnect(uint32_t entry, void (*lock)(), void (*unlock)());
