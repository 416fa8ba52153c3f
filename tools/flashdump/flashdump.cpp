// flashdump: lists, extracts, adds and removes files of a board directory's
// flash (BOARD/flash.bin) while no controller runs on it.
//
//   flashdump BOARD ls
//   flashdump BOARD extract NAME [OUT]     (no OUT or "-": standard output)
//   flashdump BOARD add NAME IN [FLAGS]    (FLAGS: TFS flag characters, e.g. "e")
//   flashdump BOARD rm NAME
//   flashdump BOARD stat
//   flashdump BOARD journal                (checks nv1.dat and nv2.dat; exit 1 when damaged,
//                                           3 when there is no journal)

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "database/journal_check.h"
#include "platform/monitor/flash.h"
#include "platform/monitor/tfs.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: flashdump BOARD ls | extract NAME [OUT] | add NAME IN [FLAGS] | rm NAME | "
                 "stat | journal\n");
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3)
        return Usage();
    std::string board = argv[1];
    std::string op = argv[2];
    std::string path = board + "/flash.bin";
    bool writes = op == "add" || op == "rm";
    if (!writes) {
        std::ifstream probe(path);
        if (!probe) {
            std::fprintf(stderr, "flashdump: no flash in %s\n", board.c_str());
            return 1;
        }
    }
    monitor::Flash flash;
    if (!flash.Open(path)) {
        std::fprintf(stderr, "flashdump: cannot open %s (is a controller running on it?)\n",
                     path.c_str());
        return 1;
    }
    monitor::Tfs tfs(&flash);
    if (!tfs.Mount(false)) {
        std::fprintf(stderr, "flashdump: cannot mount %s\n", path.c_str());
        return 1;
    }
    if (op == "ls" && argc == 3) {
        for (const TFILE* h = tfs.Next(nullptr); h != nullptr; h = tfs.Next(h)) {
            std::printf("%-40s %9u  %-8s %s\n", h->name, h->filsize,
                        monitor::Tfs::FlagText(h->flags).c_str(), h->info);
        }
        return 0;
    }
    if (op == "stat" && argc == 3) {
        std::printf(
            "flash %zu bytes, %zu blocks of %zu\nfiles %zu\navailable %ld\ndead %ld in %ld "
            "record(s)\n",
            flash.Size(), flash.Blocks(), flash.BlockSize(), tfs.FileCount(), tfs.Available(),
            tfs.DeadSpace(), tfs.DeadRecords());
        return 0;
    }
    if (op == "journal" && argc == 3) {
        int found = 0;
        bool damaged = false;
        for (const char* name : {"nv1.dat", "nv2.dat"}) {
            const TFILE* h = tfs.Stat(name);
            if (h == nullptr) {
                continue;
            }
            ++found;
            const auto* data = reinterpret_cast<const uint8_t*>(h) + h->hdrsize;
            const journal::CheckResult result = journal::CheckJournal(data, h->filsize);
            damaged = damaged || !result.ok;
            std::printf("%s\n", journal::DescribeCheck(name, result).c_str());
        }
        if (found == 0) {
            std::printf("no journal\n");
            return 3;
        }
        return damaged ? 1 : 0;
    }
    if (op == "extract" && (argc == 4 || argc == 5)) {
        const TFILE* h = tfs.Stat(argv[3]);
        if (h == nullptr) {
            std::fprintf(stderr, "flashdump: %s: no such file\n", argv[3]);
            return 1;
        }
        const char* data = reinterpret_cast<const char*>(h) + h->hdrsize;
        if (argc == 4 || std::strcmp(argv[4], "-") == 0) {
            return std::fwrite(data, 1, h->filsize, stdout) == h->filsize ? 0 : 1;
        }
        std::ofstream out(argv[4], std::ios::binary | std::ios::trunc);
        out.write(data, std::streamsize(h->filsize));
        return out ? 0 : 1;
    }
    if (op == "add" && (argc == 5 || argc == 6)) {
        std::ifstream in(argv[4], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "flashdump: cannot read %s\n", argv[4]);
            return 1;
        }
        std::vector<char> data((std::istreambuf_iterator<char>(in)), {});
        int r = tfs.Add(argv[3], "", argc == 6 ? argv[5] : "", data.data(), long(data.size()));
        if (r != TFS_OKAY) {
            std::fprintf(stderr, "flashdump: add %s failed (%d)\n", argv[3], r);
            return 1;
        }
        return 0;
    }
    if (op == "rm" && argc == 4) {
        if (tfs.Unlink(argv[3]) != TFS_OKAY) {
            std::fprintf(stderr, "flashdump: %s: no such file\n", argv[3]);
            return 1;
        }
        return 0;
    }
    return Usage();
}
