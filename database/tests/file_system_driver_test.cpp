// The file-system driver mounts the flash, maps paths and flags, and reads and writes files.
#include "database/file_system_driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "database/fx_file.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/tx_api.h"
#include "platform/monitor/tests/temp_board.h"
#include "platform/sim/hw.h"

using monitor_test::Contents;
using monitor_test::TempBoard;

namespace {

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        Boot(256 * 1024);
        FsSetThreadName(nullptr);
    }
    void TearDown() override {
        for (FsFile* f : {&file_, fx_static_handle()}) {
            if (std::memcmp(f->magic, "FILE", 4) == 0)
                g_FileSystem.CloseFile(f);
        }
        g_FileSystem.Unmount(&media_);
        FsSetThreadName(nullptr);
    }
    void Boot(size_t flashSize) {
        m_.reset();
        m_ = board_.Boot(flashSize);
        ASSERT_NE(m_, nullptr);
        if (std::memcmp(media_.magic, "MEDI", 4) != 0) {
            ASSERT_EQ(g_FileSystem.Mount(&media_, "system drive"), FS_SUCCESS);
        }
    }
    void Add(const char* name, const std::string& data, const char* flags = "") {
        ASSERT_EQ(mon_tfsadd(name, "", flags, data.data(), long(data.size())), TFS_OKAY);
    }

    TempBoard board_;
    std::unique_ptr<monitor::Monitor> m_;
    FsMedia media_;
    FsFile file_;
};

TEST_F(DriverTest, MountAndMediaChecks) {
    EXPECT_EQ(g_FileSystem.Mount(&media_, "system drive"), FS_ALREADY_OPEN);
    EXPECT_STREQ(media_.name, "system drive");
    EXPECT_EQ(g_FileSystem.UnsupportedOperation(&media_), FS_NOT_SUPPORTED);
    FsMedia other;
    uint32_t flags = 0, avail = 0, total = 0;
    char path[FS_PATH_MAX + 1];
    EXPECT_EQ(g_FileSystem.UnsupportedOperation(&other), FS_NOT_MOUNTED);
    EXPECT_EQ(g_FileSystem.AddFile(&other, nullptr, "a", 0, "x", 1), FS_NOT_MOUNTED);
    EXPECT_EQ(g_FileSystem.GetFileFlags(&other, "a", &flags), FS_NOT_MOUNTED);
    EXPECT_EQ(g_FileSystem.OpenFile(&other, &file_, "a", FS_FLAG_READ), FS_NOT_MOUNTED);
    EXPECT_EQ(g_FileSystem.GetWorkingDirectory(&other, path), FS_NOT_MOUNTED);
    EXPECT_EQ(g_FileSystem.GetSpace(&other, &avail, &total), FS_NOT_MOUNTED);
    EXPECT_EQ(g_FileSystem.Unmount(&other), FS_NOT_MOUNTED);
    EXPECT_EQ(g_FileSystem.CloseFile(&file_), FS_NOT_OPEN);
    EXPECT_EQ(g_FileSystem.ReadFile(&file_, path, 1, &avail), FS_NOT_OPEN);

    CFileSystem_Driver base;
    EXPECT_EQ(base.GetSpace(&other, &avail, &total), FS_SUCCESS);
    EXPECT_EQ(avail, 0x7FFFFFFFu);
    EXPECT_EQ(total, 0x7FFFFFFFu);
    EXPECT_EQ(base.SetBufferSize(&other, 1234), FS_SUCCESS);
    EXPECT_EQ(base.GetBufferSize(&other, &avail), FS_SUCCESS);
    EXPECT_EQ(avail, 1234u);

    EXPECT_EQ(g_FileSystem.Unmount(&media_), FS_SUCCESS);
    EXPECT_EQ(media_.name, nullptr);
    EXPECT_EQ(g_FileSystem.Mount(&media_, "system drive"), FS_SUCCESS) << "mounts again";
}

TEST_F(DriverTest, PathFunctions) {
    struct Case {
        const char* path;
        uint32_t room;
        FsStatus dirStatus;
        const char* dir;
        FsStatus nameStatus;
        const char* name;
    } cases[] = {
        {"Bitmaps/a.bmp", 64, FS_SUCCESS, "Bitmaps\\", FS_SUCCESS, "a.bmp"},
        {"web\\img/x.png", 64, FS_SUCCESS, "web\\img\\", FS_SUCCESS, "x.png"},
        {"CONFIG.XML", 64, FS_NO_DIRECTORY, "", FS_SUCCESS, "CONFIG.XML"},
        {"dir/", 64, FS_SUCCESS, "dir\\", FS_SUCCESS, ""},
        {"abcdefgh/ij", 8, FS_NAME_TOO_LONG, nullptr, FS_SUCCESS, "ij"},
        {"a/abcdefghij", 8, FS_NAME_TOO_LONG, nullptr, FS_NAME_TOO_LONG, nullptr},
    };
    for (const Case& c : cases) {
        char out[64];
        EXPECT_EQ(CFileSystem_Driver::ExtractDirectory(c.path, out, c.room), c.dirStatus) << c.path;
        if (c.dir) {
            EXPECT_STREQ(out, c.dir) << c.path;
        }
        EXPECT_EQ(CFileSystem_Driver::ExtractFileName(c.path, out, c.room), c.nameStatus) << c.path;
        if (c.name) {
            EXPECT_STREQ(out, c.name) << c.path;
        }
    }
}

TEST_F(DriverTest, FlagTableBothWays) {
    const std::pair<uint32_t, uint32_t> rows[] = {
        {0x40, 0x400000},  {0x80, 0x1},       {0x100, 0x10},      {0x200, 0x8},
        {0x400, 0x2},      {0x800, 0x80},     {0x1000, 0x800000}, {0x2000, 0x200000},
        {0x4000, 0x10000}, {0x8000, 0x40000},
    };
    for (auto [driver, tfs] : rows) {
        EXPECT_EQ(FsDriverToTfsFlags(driver), tfs);
        EXPECT_EQ(FsTfsToDriverFlags(tfs), driver);
    }
    ASSERT_EQ(g_FileSystem.AddFile(&media_, nullptr, "monrc", 0x80 | 0x40 | 0x2000, "set", 3),
              FS_SUCCESS);
    EXPECT_EQ(mon_tfsstat("monrc")->flags, uint32_t(0x1 | 0x400000 | 0x200000));
    uint32_t flags = 0;
    EXPECT_EQ(g_FileSystem.GetFileFlags(&media_, "monrc", &flags), FS_SUCCESS);
    EXPECT_EQ(flags, 0x80u | 0x40u | 0x2000u);
    EXPECT_EQ(g_FileSystem.GetFileFlags(&media_, "missing", &flags), FS_NOT_FOUND);
}

TEST_F(DriverTest, AddFileReplacesAndMapsResults) {
    EXPECT_EQ(g_FileSystem.AddFile(&media_, nullptr, "CONFIG.XML", 0, "one", 3), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.AddFile(&media_, nullptr, "CONFIG.XML", 0, "two", 3), FS_SUCCESS);
    EXPECT_EQ(Contents(mon_tfsstat("CONFIG.XML")), "two");
    EXPECT_EQ(g_FileSystem.AddFile(&media_, nullptr, "", 0, "x", 1), FS_BAD_ARGUMENT);
    EXPECT_EQ(g_FileSystem.AddFile(&media_, nullptr, "x", 0, nullptr, 1), FS_BAD_ARGUMENT);
    EXPECT_EQ(g_FileSystem.AddFile(&media_, nullptr, std::string(200, 'n').c_str(), 0, "x", 1),
              FS_NAME_TOO_LONG);

    // The watchdog follows its hook after every flash write.
    media_.watchdog_state = [] { return 1; };
    EXPECT_EQ(g_FileSystem.AddFile(&media_, nullptr, "a", 0, "x", 1), FS_SUCCESS);
    EXPECT_TRUE(m_->GetWatchdog().On());
    media_.watchdog_state = [] { return 0; };
    EXPECT_EQ(g_FileSystem.AddFile(&media_, nullptr, "a", 0, "x", 1), FS_SUCCESS);
    EXPECT_FALSE(m_->GetWatchdog().On());
}

TEST_F(DriverTest, AddFileLargerThanAvailableRestartsOnlyWhenPackingMakesRoom) {
    m_.reset();
    ::unlink(board_.Path("flash.bin").c_str());
    Boot(8u << 20);
    long avail = mon_tfsctrl(TFS_AVAILABLE, 0, 0);
    // Leave exactly 2000000 bytes available.
    std::vector<char> filler(size_t(avail - 2000000 - 272), 'f');
    Add("filler", std::string(filler.begin(), filler.end()));
    ASSERT_EQ(mon_tfsctrl(TFS_AVAILABLE, 0, 0), 2000000);
    std::vector<char> big(3000000, 'b');

    // No dead space: packing would not help, so no restart (a full flash
    // must not boot-loop).
    EXPECT_EQ(g_FileSystem.AddFile(&media_, nullptr, "big.bin", 0, big.data(), 3000000),
              FS_NO_ROOM);
    EXPECT_EQ(m_->Cause(), monitor::RestartCause::None);
    EXPECT_EQ(mon_tfsstat("big.bin"), nullptr);

    // With the filler gone the dead space would make room: restart to pack.
    ASSERT_EQ(mon_tfsunlink("filler"), TFS_OKAY);
    long before = mon_tfsctrl(TFS_AVAILABLE, 0, 0);
    EXPECT_EQ(g_FileSystem.AddFile(&media_, nullptr, "big.bin", 0, big.data(), 3000000),
              FS_NO_ROOM);
    EXPECT_EQ(m_->Cause(), monitor::RestartCause::Requested);
    EXPECT_EQ(m_->RestartValue(), 0);
    EXPECT_EQ(hw::Read8(0xEF600307) & 1, 1) << "the boot flag asks for packing";
    EXPECT_EQ(mon_tfsstat("big.bin"), nullptr);
    EXPECT_EQ(mon_tfsctrl(TFS_AVAILABLE, 0, 0), before) << "nothing written";

    Boot(8u << 20);  // the restart: the monitor packs the flash
    EXPECT_EQ(hw::Read8(0xEF600307) & 1, 0);
    EXPECT_EQ(g_FileSystem.AddFile(&media_, nullptr, "big.bin", 0, big.data(), 3000000),
              FS_SUCCESS);
    uint32_t a = 0, r = 0;
    EXPECT_EQ(g_FileSystem.GetSpace(&media_, &a, &r), FS_SUCCESS);
    EXPECT_EQ(a, uint32_t(mon_tfsctrl(TFS_AVAILABLE, 0, 0)));
    EXPECT_EQ(r, a);
}

TEST_F(DriverTest, CreateThenOpenWritesANewFile) {
    EXPECT_EQ(g_FileSystem.CreateFile(&media_, &file_, "upload.txt", 0), FS_SUCCESS);
    EXPECT_NE(std::memcmp(file_.magic, "FILE", 4), 0) << "not open until OpenFile";
    EXPECT_GE(file_.descriptor, 0);
    EXPECT_EQ(g_FileSystem.OpenFile(&media_, &file_, "upload.txt", FS_FLAG_WRITE), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.WriteFile(&file_, "abc", 3), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.WriteFile(&file_, "def", 3), FS_SUCCESS);
    uint32_t n = 0;
    char buf[8];
    EXPECT_EQ(g_FileSystem.ReadFile(&file_, buf, 8, &n), FS_NOT_PERMITTED);
    EXPECT_EQ(g_FileSystem.CloseFile(&file_), FS_SUCCESS);
    EXPECT_EQ(file_.buffer, nullptr);
    EXPECT_EQ(Contents(mon_tfsstat("upload.txt")), "abcdef");

    EXPECT_EQ(g_FileSystem.CreateFile(&media_, &file_, "upload.txt", 0), FS_ALREADY_EXISTS);
    EXPECT_EQ(g_FileSystem.CreateFile(&media_, &file_, "new", FS_FLAG_IN_PLACE), FS_BAD_ARGUMENT);
    EXPECT_EQ(g_FileSystem.DeleteFile(&media_, "upload.txt"), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.DeleteFile(&media_, "upload.txt"), FS_NOT_FOUND);
    media_.buffer_size = 16;
    ASSERT_EQ(g_FileSystem.CreateFile(&media_, &file_, "small", 0), FS_SUCCESS);
    ASSERT_EQ(g_FileSystem.OpenFile(&media_, &file_, "small", FS_FLAG_WRITE), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.WriteFile(&file_, "0123456789abcdefg", 17), FS_NO_ROOM);
    EXPECT_EQ(g_FileSystem.CloseFile(&file_), FS_SUCCESS);
}

TEST_F(DriverTest, OpenFileEdgeCases) {
    Add("data.bin", std::string(1000, 'd'));
    ASSERT_EQ(g_FileSystem.OpenFile(&media_, &file_, "data.bin", FS_FLAG_READ | FS_FLAG_BUFFERED),
              FS_SUCCESS);
    FsFile before = file_;
    EXPECT_EQ(g_FileSystem.OpenFile(&media_, &file_, "other", FS_FLAG_READ), FS_ALREADY_OPEN);
    EXPECT_EQ(std::memcmp(&before, &file_, sizeof file_), 0) << "changes nothing";

    // Buffered read: 100 bytes at 950 of 1000 give 50, then end of file.
    char buf[100];
    uint32_t n = 0;
    EXPECT_EQ(g_FileSystem.SeekFile(&file_, 950), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.ReadFile(&file_, buf, 100, &n), FS_SUCCESS);
    EXPECT_EQ(n, 50u);
    EXPECT_EQ(g_FileSystem.ReadFile(&file_, buf, 100, &n), FS_END_OF_FILE);
    EXPECT_EQ(g_FileSystem.SeekFile(&file_, 1001), FS_END_OF_FILE);
    EXPECT_EQ(g_FileSystem.WriteFile(&file_, "x", 1), FS_NOT_PERMITTED);
    EXPECT_EQ(g_FileSystem.CloseFile(&file_), FS_SUCCESS);

    EXPECT_EQ(g_FileSystem.OpenFile(&media_, &file_, "missing", FS_FLAG_READ), FS_NOT_FOUND);
    EXPECT_EQ(file_.buffer, nullptr) << "the buffer went back";
    EXPECT_EQ(g_FileSystem.OpenFile(&media_, &file_, std::string(201, 'n').c_str(), FS_FLAG_READ),
              FS_NAME_TOO_LONG);

    // Opened only for writing: reads refused.
    ASSERT_EQ(g_FileSystem.OpenFile(&media_, &file_, "data.bin", FS_FLAG_WRITE), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.ReadFile(&file_, buf, 10, &n), FS_NOT_PERMITTED);
    EXPECT_EQ(g_FileSystem.CloseFile(&file_), FS_SUCCESS);

    // Unbuffered reads go through the monitor.
    ASSERT_EQ(g_FileSystem.OpenFile(&media_, &file_, "data.bin", FS_FLAG_READ), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.ReadFile(&file_, buf, 100, &n), FS_SUCCESS);
    EXPECT_EQ(n, 100u);
    EXPECT_EQ(g_FileSystem.CloseFile(&file_), FS_SUCCESS);

    // No buffer available.
    FsSetHooks({[](uint32_t) -> void* { return nullptr; }, nullptr, nullptr, nullptr});
    EXPECT_EQ(g_FileSystem.OpenFile(&media_, &file_, "data.bin", FS_FLAG_READ), FS_NO_BUFFER);
    EXPECT_EQ(g_FileSystem.CreateFile(&media_, &file_, "x", 0), FS_NO_BUFFER);
    FsSetHooks({});
}

TEST_F(DriverTest, BufferedReadOfAFileLargerThanTheBuffer) {
    std::string data;
    for (int i = 0; i < 3000; ++i)
        data += char('a' + i % 26);
    Add("big.html", data);
    media_.buffer_size = 1024;
    ASSERT_EQ(g_FileSystem.OpenFile(&media_, &file_, "big.html", FS_FLAG_READ | FS_FLAG_BUFFERED),
              FS_SUCCESS);
    std::string got;
    char buf[700];
    uint32_t n = 0;
    while (g_FileSystem.ReadFile(&file_, buf, sizeof buf, &n) == FS_SUCCESS)
        got.append(buf, n);
    EXPECT_EQ(got, data);
}

TEST_F(DriverTest, InPlaceWrites) {
    ASSERT_EQ(mon_tfsadd("nv1.dat", "", "i", nullptr, 64), TFS_OKAY);
    media_.buffer_size = 16;  // in place needs no copy of the file
    ASSERT_EQ(g_FileSystem.OpenFile(&media_, &file_, "nv1.dat", FS_FLAG_WRITE | FS_FLAG_IN_PLACE),
              FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.SeekFile(&file_, 4), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.WriteFile(&file_, "\x7E\x01", 2), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.WriteFile(&file_, "\x00", 1), FS_SUCCESS);
    const TFILE* h = mon_tfsstat("nv1.dat");
    const char* d = reinterpret_cast<const char*>(h) + h->hdrsize;
    EXPECT_EQ(std::string(d + 4, 3), std::string("\x7E\x01\x00", 3));
    EXPECT_EQ(g_FileSystem.SeekFile(&file_, 4), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.WriteFile(&file_, "\xFF", 1), FS_NOT_PERMITTED)
        << "flash refuses 0 to 1";
    EXPECT_EQ(g_FileSystem.SeekFile(&file_, 63), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.WriteFile(&file_, "ab", 2), FS_NO_ROOM);
    EXPECT_EQ(g_FileSystem.CloseFile(&file_), FS_SUCCESS);
    EXPECT_EQ(mon_tfsstat("nv1.dat"), h) << "closing an in-place handle rewrites nothing";
}

TEST_F(DriverTest, WorkingDirectoriesPerThread) {
    for (const char* n : {"CONFIG.XML", "monrc", "Bitmaps/a.bmp", "Bitmaps/b.bmp", "web/x.html"}) {
        Add(n, "x");
    }
    auto list = [&] {
        std::vector<std::string> names;
        char name[FS_PATH_MAX + 1];
        for (FsStatus s = g_FileSystem.FindFirstName(&media_, name); s == FS_SUCCESS;
             s = g_FileSystem.FindNextName(&media_, name)) {
            names.emplace_back(name);
        }
        return names;
    };
    // No working directory: the names without a separator.
    EXPECT_EQ(list(), (std::vector<std::string>{"CONFIG.XML", "monrc"}));
    char path[FS_PATH_MAX + 1];
    EXPECT_EQ(g_FileSystem.GetWorkingDirectory(&media_, path), FS_NOT_FOUND);

    FsWorkingDirectory wd, wd2, other;
    EXPECT_EQ(g_FileSystem.SetWorkingDirectory(&media_, &wd, "Bitmaps/"), FS_NOT_SUPPORTED)
        << "no calling thread";
    FsSetThreadName("Display");
    EXPECT_EQ(g_FileSystem.SetWorkingDirectory(&media_, &wd, "./Bitmaps/"), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.GetWorkingDirectory(&media_, path), FS_SUCCESS);
    EXPECT_STREQ(path, "Bitmaps\\");
    EXPECT_EQ(list(), (std::vector<std::string>{"a.bmp", "b.bmp"}));
    FsEntryInfo info;
    EXPECT_EQ(g_FileSystem.FindFile(&media_, "b.bmp", &info), FS_SUCCESS);
    EXPECT_STREQ(info.name, "b.bmp");
    EXPECT_EQ(g_FileSystem.FindFile(&media_, "Bitmaps/a.bmp", &info), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.FindFile(&media_, "web/x.html", &info), FS_BAD_ARGUMENT);
    EXPECT_EQ(g_FileSystem.FindFile(&media_, "c.bmp", &info), FS_NOT_FOUND);
    EXPECT_EQ(g_FileSystem.AddFile(&media_, nullptr, "c.bmp", 0, "c", 1), FS_SUCCESS);
    EXPECT_NE(mon_tfsstat("Bitmaps/c.bmp"), nullptr) << "added under the working directory";

    // Another thread has its own directory; setting again replaces one's own.
    std::thread t([&] {
        FsSetThreadName("Peripheral");
        EXPECT_EQ(g_FileSystem.SetWorkingDirectory(&media_, &other, "web/"), FS_SUCCESS);
        EXPECT_EQ(list(), (std::vector<std::string>{"x.html"}));
    });
    t.join();
    EXPECT_EQ(g_FileSystem.SetWorkingDirectory(&media_, &wd2, "web/"), FS_SUCCESS);
    EXPECT_EQ(list(), (std::vector<std::string>{"x.html"}));
    EXPECT_EQ(g_FileSystem.RemoveWorkingDirectory(&media_), FS_SUCCESS);
    EXPECT_EQ(g_FileSystem.RemoveWorkingDirectory(&media_), FS_NOT_FOUND);
    EXPECT_EQ(list(), (std::vector<std::string>{"CONFIG.XML", "monrc"}));
    EXPECT_EQ(g_FileSystem.SetWorkingDirectory(&media_, &wd, std::string(201, 'p').c_str()),
              FS_NAME_TOO_LONG);
    uint32_t flags, size, date, t1, t2;
    char name[FS_PATH_MAX + 1];
    ASSERT_EQ(g_FileSystem.FindFirst(&media_, name, &flags, &size, &date, &t1, &t2), FS_SUCCESS);
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(date, t1);
    EXPECT_EQ(t1, t2);
}

TEST_F(DriverTest, WorkingDirectoriesOfKernelThreads) {
    for (const char* n : {"monrc", "Bitmaps/a.bmp", "web/x.html"})
        Add(n, "x");
    struct Task {
        TX_THREAD thread{};
        const char* dir;
        FsWorkingDirectory wd;
        std::string seen;
        alignas(16) unsigned char stack[1024];
    } tasks[2];
    tasks[0].dir = "Bitmaps/";
    tasks[1].dir = "web/";
    auto entry = [](ULONG_PTR input) {
        Task* t = reinterpret_cast<Task*>(input);
        EXPECT_EQ(g_FileSystem.SetWorkingDirectory(&g_SystemDrive, &t->wd, t->dir), FS_SUCCESS);
        tx_thread_sleep(1);  // the other thread sets its own meanwhile
        char name[FS_PATH_MAX + 1];
        for (FsStatus st = g_FileSystem.FindFirstName(&g_SystemDrive, name); st == FS_SUCCESS;
             st = g_FileSystem.FindNextName(&g_SystemDrive, name)) {
            t->seen += name;
        }
    };
    ASSERT_EQ(g_FileSystem.Mount(&g_SystemDrive, "system drive"), FS_SUCCESS);
    {
        kernel::Kernel k;
        k.Start([&](void*) {
            const char* names[] = {"Display", "Peripheral"};
            for (int i = 0; i < 2; ++i) {
                ASSERT_EQ(
                    tx_thread_create(&tasks[i].thread, names[i], entry,
                                     reinterpret_cast<ULONG_PTR>(&tasks[i]), tasks[i].stack,
                                     sizeof tasks[i].stack, 5, 5, TX_NO_TIME_SLICE, TX_AUTO_START),
                    TX_SUCCESS);
            }
        });
        k.Advance(2);
    }
    EXPECT_EQ(tasks[0].seen, "a.bmp");
    EXPECT_EQ(tasks[1].seen, "x.html");
    char name[FS_PATH_MAX + 1];
    EXPECT_EQ(g_FileSystem.FindFirstName(&g_SystemDrive, name), FS_SUCCESS);
    EXPECT_STREQ(name, "monrc") << "outside the threads: the default directory";
    EXPECT_EQ(g_FileSystem.Unmount(&g_SystemDrive), FS_SUCCESS);
}

TEST_F(DriverTest, BusyWhenAnotherThreadHoldsTheMutex) {
    Add("a", "x");
    struct Task {
        TX_THREAD thread{};
        alignas(16) unsigned char stack[1024];
    } holder, other;
    static FsMedia* media;
    static FsStatus busy[3];
    static FsStatus after;
    media = &media_;
    auto hold = [](ULONG_PTR) {
        EXPECT_TRUE(media->mutex.TryLock());
        EXPECT_TRUE(media->mutex.TryLock()) << "its owner takes it again";
        tx_thread_sleep(2);
        media->mutex.Unlock();
        media->mutex.Unlock();
    };
    auto try_ = [](ULONG_PTR) {
        tx_thread_sleep(1);
        uint32_t flags;
        FsFile file;
        busy[0] = g_FileSystem.GetFileFlags(media, "a", &flags);
        busy[1] = g_FileSystem.AddFile(media, nullptr, "b", 0, "x", 1);
        busy[2] = g_FileSystem.OpenFile(media, &file, "a", FS_FLAG_READ);
        tx_thread_sleep(2);
        after = g_FileSystem.GetFileFlags(media, "a", &flags);
    };
    {
        kernel::Kernel k;
        k.Start([&](void*) {
            ASSERT_EQ(tx_thread_create(&holder.thread, "holder", hold, 0, holder.stack,
                                       sizeof holder.stack, 5, 5, TX_NO_TIME_SLICE, TX_AUTO_START),
                      TX_SUCCESS);
            ASSERT_EQ(tx_thread_create(&other.thread, "other", try_, 0, other.stack,
                                       sizeof other.stack, 5, 5, TX_NO_TIME_SLICE, TX_AUTO_START),
                      TX_SUCCESS);
        });
        k.Advance(4);
    }
    for (FsStatus st : busy)
        EXPECT_EQ(st, FS_BUSY);
    EXPECT_EQ(after, FS_SUCCESS);
}

TEST_F(DriverTest, DefragmentSetsTheBootFlagAndRestarts) {
    hw::Write8(0xEF600307, 0x80);
    EXPECT_EQ(g_FileSystem.Defragment(&media_), FS_SUCCESS);
    EXPECT_EQ(hw::Read8(0xEF600307), 0x81);
    EXPECT_EQ(m_->Cause(), monitor::RestartCause::Requested);
}

TEST_F(DriverTest, WebFileCalls) {
    FX_MEDIA* media = &media_;
    FX_FILE file;
    EXPECT_EQ(fx_file_create(media, "upload.bin"), FX_SUCCESS);
    EXPECT_EQ(fx_file_open(media, &file, "/upload.bin", FX_OPEN_FOR_WRITE), FX_SUCCESS);
    EXPECT_EQ(fx_file_write(&file, "payload", 7), FX_SUCCESS);
    EXPECT_EQ(fx_file_close(&file), FX_SUCCESS);
    EXPECT_EQ(Contents(mon_tfsstat("upload.bin")), "payload");

    Add("index.html", "<html>page</html>");
    EXPECT_EQ(fx_file_open(media, &file, "/index.html", FX_OPEN_FOR_READ), FX_SUCCESS);
    EXPECT_EQ(fx_static_handle()->flags, FS_FLAG_READ | FS_FLAG_BUFFERED);
    char buf[64] = {};
    uint32_t n = 0;
    EXPECT_EQ(fx_file_read(&file, buf, sizeof buf, &n), FX_SUCCESS);
    EXPECT_EQ(std::string(buf, n), "<html>page</html>");
    EXPECT_EQ(fx_file_read(&file, buf, sizeof buf, &n), FX_END_OF_FILE);
    EXPECT_EQ(fx_file_seek(&file, 100), FX_SEEK_ERROR);
    EXPECT_EQ(fx_file_close(&file), FX_SUCCESS);

    Add("SETUP.EXE", "MZ");
    EXPECT_EQ(fx_file_open(media, &file, "SETUP.EXE", FX_OPEN_FOR_READ), FX_SUCCESS);
    EXPECT_EQ(fx_static_handle()->flags, FS_FLAG_READ | FS_FLAG_EXE);
    EXPECT_EQ(fx_file_close(&file), FX_SUCCESS);
    EXPECT_EQ(fx_file_open(media, &file, "nothing.html", FX_OPEN_FOR_READ), FX_NOT_FOUND);

    unsigned attributes = 9, year = 0, month = 0, day = 0, hour = 9, minute = 9, second = 9;
    uint32_t size = 0;
    EXPECT_EQ(fx_directory_information_get(media, "/index.html", &attributes, &size, &year, &month,
                                           &day, &hour, &minute, &second),
              FX_SUCCESS);
    EXPECT_EQ(attributes, 0u);
    EXPECT_EQ(size, 17u);
    EXPECT_EQ(year * 10000 + month * 100 + day, 20040101u);
    EXPECT_EQ(hour + minute + second, 0u);
    EXPECT_EQ(fx_directory_information_get(media, "gone", &attributes, &size, &year, &month, &day,
                                           &hour, &minute, &second),
              FX_NOT_FOUND);
    EXPECT_EQ(fx_file_delete(media, "upload.bin"), FX_SUCCESS);
    EXPECT_EQ(fx_file_delete(media, "upload.bin"), FX_NOT_FOUND);
}

}  // namespace
