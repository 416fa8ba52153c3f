// Flash file system (TFS).
//
// On-flash format (all numbers little-endian). The flash of B erase blocks is
// split into the data region (blocks 0 .. B-3), a spare block (B-2) and the
// compaction state block (B-1).
//
// Data region: a log of file records from offset 0, each starting at an
// 8-byte boundary, followed by erased bytes (0xFF) up to the region's end.
// A record is an 8-byte prefix {u32 record length L, u32 ~L}, a 264-byte
// header (struct TFILE in mon.h, what mon_tfsstat points at) and the file's
// data, padded so that L = 272 + filsize rounded up to a multiple of 8.
// Header (offsets from its start):
//   0   u16 hdrsize (264)     2  u16 hdrvrsn (1)     4  u32 filsize
//   8   u32 flags             12 u32 modtime         16 u32 datacrc
//   20  u32 hdrcrc: CRC-32 of bytes 0-19 and 32-263
//   24  u8 complete: 0xFF while the data is written, bit 0 cleared after
//   25  u8 deleted: 0xFF live, bit 0 cleared when removed or replaced
//   26  6 bytes 0xFF          32 name[200]          232 info[32]
// Every state change clears one bit, so a torn program of a state byte
// leaves it either before or after the change.
//
// Add: prefix, header, data, then "complete"; a replaced copy gets
// "deleted" only after the new one is complete. A mount walks the records
// from offset 0 up to the last programmed byte of the data region (end of
// log); an erased run inside the log (damage) is dead space. A prefix that does not
// check (cut while it was programmed: nothing behind it was written) is
// skipped as 8 dead bytes; a record whose header fails its checks (cut while
// the header was programmed) is skipped whole, by L. A record counts when it
// is complete, not deleted and, unless it has the "i" flag, its data matches
// datacrc. When two such copies share a name the later one wins and the
// earlier is marked deleted. New records go behind the last non-0xFF byte.
//
// Compaction (at boot, when asked, and at every mount that finds a plan):
// the state block holds a plan written before anything moves:
//   0  u32 magic "TFSD" (written last)   4  u32 extent count
//   8  u32 end of the packed log        12 u32 CRC-32 of bytes 4-11 and the extents
//   16 two progress bytes per data block: [0] bit 0 cleared when the block's
//      new image is in the spare block, [1] bit 0 cleared when the block holds it
//   then, 16-aligned, the extents {u32 from, u32 to, u32 length}: the live
//   records in log order, packed from offset 0.
// Records only move down, so the new image of block k comes from blocks
// >= k, which are untouched until k's turn: image -> spare, mark, erase k,
// spare -> k, mark. A cut at any point resumes from the progress bytes.
// Afterwards the blocks behind the packed log, the spare and the state block
// are erased.

#include "platform/monitor/tfs.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace monitor {
namespace {

constexpr uint32_t kHdrSize = sizeof(TFILE);
constexpr uint32_t kPrefix = 8;                    // record length and its complement
constexpr uint32_t kRecHead = kPrefix + kHdrSize;  // 272
constexpr uint32_t kPlanMagic = 0x44534654;        // "TFSD"
constexpr uint32_t kAttributeMask = uint32_t(TFS_EXEC | TFS_BRUN | TFS_QRYBRUN | TFS_EBIN |
                                             TFS_IPMOD | TFS_UNREAD | TFS_PROTECTED | TFS_CPRS);

struct FlagChar {
    char c;
    uint32_t bit;
};
constexpr FlagChar kFlagChars[] = {
    {'e', uint32_t(TFS_EXEC)},   {'E', uint32_t(TFS_EBIN)},      {'l', uint32_t(TFS_QRYBRUN)},
    {'b', uint32_t(TFS_BRUN)},   {'i', uint32_t(TFS_IPMOD)},     {'c', uint32_t(TFS_CPRS)},
    {'v', uint32_t(TFS_UNREAD)}, {'p', uint32_t(TFS_PROTECTED)},
};

uint32_t Align8(uint64_t v) {
    return uint32_t((v + 7) & ~uint64_t(7));
}

uint32_t HeaderCrc(const TFILE* h) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(h);
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, p, 20);
    crc = crc32(crc, p + 32, kHdrSize - 32);
    return uint32_t(crc);
}

uint32_t DataCrc(const void* data, size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        uInt n = uInt(std::min<size_t>(size, 1u << 30));
        crc = crc32(crc, p, n);
        p += n;
        size -= n;
    }
    return uint32_t(crc);
}

bool AllErased(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (p[i] != 0xFF)
            return false;
    }
    return true;
}

uint32_t Get32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

const uint8_t kCleared = 0xFE;

}  // namespace

bool Tfs::ParseFlags(const char* text, uint32_t* bits) {
    uint32_t b = 0;
    for (const char* p = text ? text : ""; *p; ++p) {
        const FlagChar* f = std::find_if(std::begin(kFlagChars), std::end(kFlagChars),
                                         [p](const FlagChar& fc) { return fc.c == *p; });
        if (f == std::end(kFlagChars)) {
            return false;
        }
        b |= f->bit;
    }
    *bits = b;
    return true;
}

std::string Tfs::FlagText(uint32_t bits) {
    std::string s;
    for (const FlagChar& f : kFlagChars) {
        if (bits & f.bit)
            s += f.c;
    }
    return s;
}

uint32_t Tfs::RecordLength(const TFILE* h) const {
    return Align8(uint64_t(kRecHead) + h->filsize);
}

bool Tfs::ValidHeader(uint32_t offset) const {
    if (uint64_t(offset) + kRecHead > dataEnd_)
        return false;
    const TFILE* h = Header(offset);
    if (h->hdrsize != kHdrSize || h->hdrvrsn != 1)
        return false;
    if (h->filsize > dataEnd_ - offset - kRecHead)
        return false;
    if (h->name[0] == '\0' || ::strnlen(h->name, sizeof h->name) == sizeof h->name)
        return false;
    if (::strnlen(h->info, sizeof h->info) == sizeof h->info)
        return false;
    return HeaderCrc(h) == h->hdrcrc;
}

bool Tfs::DataIntact(const TFILE* h) const {
    if (h->flags & TFS_IPMOD)
        return true;
    return DataCrc(reinterpret_cast<const uint8_t*>(h) + kHdrSize, h->filsize) == h->datacrc;
}

void Tfs::MarkDeleted(uint32_t offset) {
    flash_->Program(offset + kPrefix + offsetof(TFILE, deleted), &kCleared, 1);
    deadRecords_++;
    deadBytes_ += RecordLength(Header(offset));
}

void Tfs::Scan() {
    index_.clear();
    deadBytes_ = 0;
    deadRecords_ = 0;
    // The log is walked up to its last programmed byte, where new records go: an erased run
    // inside it (damage) is passed as dead space, so no record behind it is lost.
    size_t last = dataEnd_;
    while (last > 0 && Base()[last - 1] == 0xFF)
        --last;
    uint32_t p = 0;
    while (p < last && uint64_t(p) + kPrefix <= dataEnd_) {
        uint32_t len = Get32(Base() + p);
        if (len != ~Get32(Base() + p + 4) || len < kRecHead || len % 8 != 0 || len > dataEnd_ - p) {
            deadBytes_ += kPrefix;  // a cut while the prefix was programmed
            p += kPrefix;
            continue;
        }
        if (!ValidHeader(p) || RecordLength(Header(p)) != len) {
            deadRecords_++;  // a cut while the header was programmed
            deadBytes_ += len;
            p += len;
            continue;
        }
        const TFILE* h = Header(p);
        bool live = (h->complete & 1) == 0 && (h->deleted & 1) != 0 && DataIntact(h);
        if (live) {
            auto it = index_.find(h->name);
            if (it != index_.end()) {
                MarkDeleted(it->second);  // an older copy a cut left behind
                it->second = p;
            } else {
                index_.emplace(h->name, p);
            }
        } else {
            deadRecords_++;
            deadBytes_ += len;
        }
        p += len;
    }
    // Torn writes leave programmed bytes behind the last good record.
    append_ = last > p ? Align8(last) : p;
    if (append_ > dataEnd_)
        append_ = uint32_t(dataEnd_);
    deadBytes_ += append_ - p;
}

bool Tfs::Mount(bool compact) {
    mounted_ = false;
    compacted_ = false;
    for (Descriptor& d : fds_)
        d = Descriptor{};
    if (flash_ == nullptr || !flash_->IsOpen() || flash_->Blocks() < 8)
        return false;
    dataEnd_ = DataBlocks() * flash_->BlockSize();
    size_t room = flash_->BlockSize() > ExtentOffset() ? flash_->BlockSize() - ExtentOffset() : 0;
    capacity_ = room / sizeof(Extent);

    uint32_t count = 0, newEnd = 0;
    if (PlanActive(&count, &newEnd)) {
        RunPlan();
        compacted_ = true;
    } else {
        EraseIfDirty(flash_->Blocks() - 1);  // a plan cut before its magic
    }
    Scan();
    if (compact && deadBytes_ > 0) {
        WritePlan();
        RunPlan();
        compacted_ = true;
        Scan();
    }
    mounted_ = true;
    return true;
}

long Tfs::Available() const {
    if (!mounted_)
        return 0;
    size_t free = dataEnd_ - append_;
    return free >= kRecHead ? long(free - kRecHead) : 0;
}

int Tfs::AddBits(const std::string& name, const char* info, uint32_t bits, const void* data,
                 size_t size) {
    if (!mounted_)
        return TFSERR_NOTAVAILABLE;
    for (const Descriptor& d : fds_) {
        if (d.used && d.name == name && (d.mode & (TFS_CREATE | TFS_APPEND))) {
            return TFSERR_FILEEXISTS;
        }
    }
    auto old = index_.find(name);
    if (old == index_.end() && index_.size() >= capacity_)
        return TFSERR_FLASHFULL;
    uint64_t need = Align8(uint64_t(kRecHead) + size);
    if (size > dataEnd_ || append_ + need > dataEnd_)
        return TFSERR_FLASHFULL;

    TFILE h;
    std::memset(&h, 0, sizeof h);
    h.hdrsize = kHdrSize;
    h.hdrvrsn = 1;
    h.filsize = uint32_t(size);
    h.flags = bits;
    h.modtime = timeSource_ ? uint32_t(timeSource_()) : 0xFFFFFFFFu;
    h.datacrc = (bits & TFS_IPMOD) ? 0xFFFFFFFFu : DataCrc(data, data ? size : 0);
    h.complete = 0xFF;
    h.deleted = 0xFF;
    std::memset(h.reserved, 0xFF, sizeof h.reserved);
    std::memcpy(h.name, name.data(), name.size());
    if (info != nullptr)
        std::memcpy(h.info, info, std::strlen(info));
    h.hdrcrc = HeaderCrc(&h);

    uint32_t at = append_;
    uint32_t prefix[2] = {uint32_t(need), ~uint32_t(need)};
    flash_->Program(at, prefix, kPrefix);
    flash_->Program(at + kPrefix, &h, kHdrSize);
    if (data != nullptr && size > 0)
        flash_->Program(at + kRecHead, data, size);
    flash_->Program(at + kPrefix + offsetof(TFILE, complete), &kCleared, 1);
    append_ = uint32_t(at + need);
    if (old != index_.end()) {
        MarkDeleted(old->second);
        old->second = at;
    } else {
        index_.emplace(name, at);
    }
    return TFS_OKAY;
}

int Tfs::Add(const char* name, const char* info, const char* flags, const void* data, long size) {
    if (!mounted_)
        return TFSERR_NOTAVAILABLE;
    if (name == nullptr || name[0] == '\0' || size < 0)
        return TFSERR_BADARG;
    size_t len = ::strnlen(name, TFSNAMESIZE + 1);
    if (len > TFSNAMESIZE)
        return TFSERR_NAMETOOBIG;
    if (info != nullptr && ::strnlen(info, TFSINFOSIZE + 1) > TFSINFOSIZE)
        return TFSERR_BADARG;
    uint32_t bits = 0;
    if (!ParseFlags(flags, &bits))
        return TFSERR_BADFLAG;
    if (data == nullptr && size > 0 && !(bits & TFS_IPMOD))
        return TFSERR_BADARG;
    return AddBits(std::string(name, len), info, bits, data, size_t(size));
}

const TFILE* Tfs::Stat(const char* name) const {
    if (!mounted_ || name == nullptr)
        return nullptr;
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : Header(it->second);
}

const TFILE* Tfs::Next(const TFILE* prev) const {
    if (!mounted_)
        return nullptr;
    if (prev == nullptr) {
        return index_.empty() ? nullptr : Header(index_.begin()->second);
    }
    const uint8_t* p = reinterpret_cast<const uint8_t*>(prev);
    if (p < Base() + kPrefix || p + kHdrSize > Base() + dataEnd_)
        return nullptr;
    std::string name(prev->name, ::strnlen(prev->name, sizeof prev->name));
    auto it = index_.upper_bound(name);
    return it == index_.end() ? nullptr : Header(it->second);
}

int Tfs::Unlink(const char* name) {
    if (!mounted_)
        return TFSERR_NOTAVAILABLE;
    if (name == nullptr)
        return TFSERR_BADARG;
    auto it = index_.find(name);
    if (it == index_.end())
        return TFSERR_NOFILE;
    MarkDeleted(it->second);
    index_.erase(it);
    return TFS_OKAY;
}

int Tfs::Ipmod(const char* name, const void* data, long offset, long size) {
    if (!mounted_)
        return TFSERR_NOTAVAILABLE;
    if (name == nullptr || offset < 0 || size < 0 || (data == nullptr && size > 0)) {
        return TFSERR_BADARG;
    }
    auto it = index_.find(name);
    if (it == index_.end())
        return TFSERR_NOFILE;
    const TFILE* h = Header(it->second);
    if (!(h->flags & TFS_IPMOD))
        return TFSERR_NOTPERMITTED;
    if (uint64_t(offset) + uint64_t(size) > h->filsize)
        return TFSERR_WRITEMAX;
    const uint8_t* cur = Base() + it->second + kRecHead + offset;
    const uint8_t* src = static_cast<const uint8_t*>(data);
    for (long i = 0; i < size; ++i) {
        if ((cur[i] & src[i]) != src[i]) {
            zeroToOne_++;
            return TFSERR_NOTPERMITTED;
        }
    }
    if (size > 0)
        flash_->Program(it->second + kRecHead + size_t(offset), data, size_t(size));
    return TFS_OKAY;
}

Tfs::Descriptor* Tfs::Fd(int fd) {
    if (fd < 0 || size_t(fd) >= kMaxOpen || !fds_[size_t(fd)].used)
        return nullptr;
    return &fds_[size_t(fd)];
}

int Tfs::Open(const char* name, long mode, char* buf, size_t bufsize) {
    if (!mounted_)
        return TFSERR_NOTAVAILABLE;
    if (name == nullptr || name[0] == '\0')
        return TFSERR_BADARG;
    if (::strnlen(name, TFSNAMESIZE + 1) > TFSNAMESIZE)
        return TFSERR_NAMETOOBIG;
    auto slot = std::find_if(fds_.begin(), fds_.end(), [](const Descriptor& d) { return !d.used; });
    if (slot == fds_.end())
        return TFSERR_NOSLOT;
    auto it = index_.find(name);
    Descriptor d;
    d.used = true;
    d.name = name;
    d.mode = mode;
    if (mode & TFS_CREATE) {
        if (it != index_.end())
            return TFSERR_FILEEXISTS;
        if (buf == nullptr || bufsize == 0)
            return TFSERR_BADARG;
        d.fileFlags = uint32_t(mode) & kAttributeMask;
    } else {
        if (it == index_.end())
            return TFSERR_NOFILE;
        const TFILE* h = Header(it->second);
        const uint8_t* data = Base() + it->second + kRecHead;
        d.record = it->second;
        d.fileFlags = h->flags;
        d.info = h->info;
        if (mode & TFS_IPMOD) {
            // In place: the caller modifies with ipmod; the descriptor only
            // reads, so the file need not fit the buffer.
            d.mode = mode & ~TFS_APPEND;
        } else if (mode & TFS_APPEND) {
            if (buf == nullptr || bufsize == 0)
                return TFSERR_BADARG;
            if (h->filsize > bufsize)
                return TFSERR_WRITEMAX;
            std::memcpy(buf, data, h->filsize);
            d.size = h->filsize;
            d.pos = h->filsize;
        } else if (buf != nullptr && bufsize > 0) {
            std::memcpy(buf, data, std::min<size_t>(h->filsize, bufsize));
        }
    }
    d.buf = buf;
    d.bufsize = bufsize;
    *slot = d;
    return int(slot - fds_.begin());
}

int Tfs::Read(int fd, void* buf, long count) {
    Descriptor* d = Fd(fd);
    if (d == nullptr)
        return TFSERR_BADFD;
    if (count < 0 || (buf == nullptr && count > 0))
        return TFSERR_BADARG;
    bool writing = d->mode & (TFS_CREATE | TFS_APPEND);
    size_t size = writing ? d->size : Header(d->record)->filsize;
    if (d->pos >= size)
        return TFSERR_EOF;
    size_t n = std::min<size_t>(size_t(count), size - d->pos);
    const uint8_t* src =
        writing ? reinterpret_cast<const uint8_t*>(d->buf) : Base() + d->record + kRecHead;
    std::memcpy(buf, src + d->pos, n);
    d->pos += n;
    return int(n);
}

int Tfs::Write(int fd, const void* buf, long count) {
    Descriptor* d = Fd(fd);
    if (d == nullptr)
        return TFSERR_BADFD;
    if (!(d->mode & (TFS_CREATE | TFS_APPEND)))
        return TFSERR_NOTPERMITTED;
    if (count < 0 || (buf == nullptr && count > 0))
        return TFSERR_BADARG;
    if (size_t(count) > d->bufsize - std::min(d->pos, d->bufsize))
        return TFSERR_WRITEMAX;
    std::memcpy(d->buf + d->pos, buf, size_t(count));
    d->pos += size_t(count);
    d->size = std::max(d->size, d->pos);
    d->dirty = true;
    return int(count);
}

long Tfs::Seek(int fd, long offset, int whence) {
    Descriptor* d = Fd(fd);
    if (d == nullptr)
        return TFSERR_BADFD;
    bool writing = d->mode & (TFS_CREATE | TFS_APPEND);
    size_t size = writing ? d->size : Header(d->record)->filsize;
    long origin = whence == TFS_BEGIN     ? 0
                  : whence == TFS_CURRENT ? long(d->pos)
                  : whence == TFS_END     ? long(size)
                                          : -1;
    if (origin < 0)
        return TFSERR_BADARG;
    if (offset > long(size))
        return TFSERR_EOF;  // also keeps origin + offset from overflowing
    long target = origin + offset;
    if (target < 0)
        return TFSERR_BADARG;
    if (size_t(target) > size)
        return TFSERR_EOF;
    d->pos = size_t(target);
    return target;
}

int Tfs::Close(int fd, const char* info) {
    Descriptor* d = Fd(fd);
    if (d == nullptr)
        return TFSERR_BADFD;
    Descriptor done = *d;
    *d = Descriptor{};
    if ((done.mode & TFS_CREATE) || ((done.mode & TFS_APPEND) && done.dirty)) {
        if (info != nullptr && ::strnlen(info, TFSINFOSIZE + 1) > TFSINFOSIZE)
            return TFSERR_BADARG;
        return AddBits(done.name, info ? info : done.info.c_str(), done.fileFlags, done.buf,
                       done.size);
    }
    return TFS_OKAY;
}

long Tfs::Ctrl(int request, long arg1, long arg2) {
    switch (request) {
        case TFS_DEADSPACE:
            return DeadSpace();
        case TFS_AVAILABLE:
            return Available();
        case TFS_TIMEFUNCS:
            timeSource_ = reinterpret_cast<TfsTimeSource>(arg1);
            timeFormatter_ = reinterpret_cast<TfsTimeFormatter>(arg2);
            return TFS_OKAY;
        case TFS_DEVSTATE: {
            const char* dev = reinterpret_cast<const char*>(arg1);
            if (dev == nullptr || std::strcmp(dev, "//SF/") != 0)
                return TFSERR_BADARG;
            return DeadRecords();
        }
        default:
            return TFSERR_BADARG;
    }
}

std::string Tfs::FormatTime(const TFILE* hdr) const {
    if (hdr == nullptr || timeFormatter_ == nullptr)
        return "";
    char text[64] = {};
    timeFormatter_(hdr->modtime, text, sizeof text);
    text[sizeof text - 1] = '\0';
    return text;
}

// ---- compaction ----------------------------------------------------------

size_t Tfs::ExtentOffset() const {
    return (16 + 2 * DataBlocks() + 15) & ~size_t(15);
}

bool Tfs::PlanActive(uint32_t* count, uint32_t* newEnd) const {
    const uint8_t* s = Base() + StateOffset();
    if (Get32(s) != kPlanMagic)
        return false;
    uint32_t n = Get32(s + 4);
    uint32_t end = Get32(s + 8);
    if (n > capacity_ || end > dataEnd_)
        return false;
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, s + 4, 8);
    crc = crc32(crc, s + ExtentOffset(), uInt(n * sizeof(Extent)));
    if (uint32_t(crc) != Get32(s + 12))
        return false;
    for (uint32_t i = 0; i < n; ++i) {
        Extent e;
        std::memcpy(&e, s + ExtentOffset() + i * sizeof e, sizeof e);
        if (e.dst > e.src || uint64_t(e.src) + e.len > dataEnd_ || uint64_t(e.dst) + e.len > end) {
            return false;
        }
    }
    *count = n;
    *newEnd = end;
    return true;
}

void Tfs::WritePlan() {
    std::vector<uint32_t> live;
    for (const auto& [name, off] : index_)
        live.push_back(off);
    std::sort(live.begin(), live.end());
    std::vector<Extent> extents;
    uint32_t dst = 0;
    for (uint32_t off : live) {
        uint32_t len = RecordLength(Header(off));
        extents.push_back({off, dst, len});
        dst += len;
    }
    size_t state = StateOffset();
    uint32_t n = uint32_t(extents.size());
    EraseIfDirty(flash_->Blocks() - 1);
    if (n > 0)
        flash_->Program(state + ExtentOffset(), extents.data(), n * sizeof(Extent));
    uint8_t head[8];
    std::memcpy(head, &n, 4);
    std::memcpy(head + 4, &dst, 4);
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, head, 8);
    if (n > 0) {
        crc = crc32(crc, reinterpret_cast<const Bytef*>(extents.data()), uInt(n * sizeof(Extent)));
    }
    uint32_t crc32v = uint32_t(crc);
    flash_->Program(state + 4, head, 8);
    flash_->Program(state + 12, &crc32v, 4);
    flash_->Program(state, &kPlanMagic, 4);
}

bool Tfs::EraseIfDirty(size_t block) {
    const size_t bs = flash_->BlockSize();
    if (AllErased(Base() + block * bs, bs))
        return false;
    return flash_->Erase(block);
}

void Tfs::RunPlan() {
    uint32_t count = 0, newEnd = 0;
    if (!PlanActive(&count, &newEnd))
        return;
    const size_t bs = flash_->BlockSize();
    const uint8_t* s = Base() + StateOffset();
    std::vector<Extent> extents(count);
    if (count > 0)
        std::memcpy(extents.data(), s + ExtentOffset(), count * sizeof(Extent));
    size_t used = (newEnd + bs - 1) / bs;
    std::vector<uint8_t> image(bs);
    for (size_t k = 0; k < used; ++k) {
        size_t progress = StateOffset() + 16 + 2 * k;
        if ((Base()[progress + 1] & 1) == 0)
            continue;  // done
        size_t lo = k * bs, hi = lo + bs;
        if ((Base()[progress] & 1) != 0) {
            std::fill(image.begin(), image.end(), 0xFF);
            for (const Extent& e : extents) {
                size_t a = std::max<size_t>(lo, e.dst), b = std::min<size_t>(hi, e.dst + e.len);
                if (a < b)
                    std::memcpy(image.data() + (a - lo), Base() + e.src + (a - e.dst), b - a);
            }
            if (std::memcmp(image.data(), Base() + lo, bs) == 0) {
                flash_->Program(progress + 1, &kCleared, 1);  // already in place
                continue;
            }
            EraseIfDirty(DataBlocks());
            flash_->Program(SpareOffset(), image.data(), bs);
            flash_->Program(progress, &kCleared, 1);
        }
        flash_->Erase(k);
        std::memcpy(image.data(), Base() + SpareOffset(), bs);
        flash_->Program(lo, image.data(), bs);
        flash_->Program(progress + 1, &kCleared, 1);
    }
    for (size_t k = used; k < DataBlocks(); ++k) {
        EraseIfDirty(k);
    }
    // The tail of the last packed block beyond newEnd came erased from the image.
    EraseIfDirty(DataBlocks());
    flash_->Erase(flash_->Blocks() - 1);
}

}  // namespace monitor
