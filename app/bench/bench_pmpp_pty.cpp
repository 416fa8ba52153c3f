// One-varbind GET round trips over PMPP on the serial control port of dmsc (the executable beside
// this benchmark), through the port's pseudo-terminal: paced at 115200 baud, set by a CONFIG.XML
// put into the new board's flash with flashdump (goal: the line time of both frames plus 10 ms),
// and unpaced (goal: under 3 ms). Counters give the medians and the octets of both frames.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

uint16_t Fcs(const Bytes& data) {
    uint16_t fcs = 0xFFFF;
    for (uint8_t octet : data) {
        fcs ^= octet;
        for (int bit = 0; bit < 8; ++bit) {
            fcs = (fcs & 1) ? uint16_t((fcs >> 1) ^ 0x8408) : uint16_t(fcs >> 1);
        }
    }
    return fcs;
}

Bytes Frame(Bytes content) {
    const uint16_t fcs = uint16_t(~Fcs(content));
    content.push_back(uint8_t(fcs));
    content.push_back(uint8_t(fcs >> 8));
    Bytes out{0x7E};
    for (uint8_t octet : content) {
        if (octet == 0x7E || octet == 0x7D) {
            out.push_back(0x7D);
            out.push_back(uint8_t(octet ^ 0x20));
        } else {
            out.push_back(octet);
        }
    }
    out.push_back(0x7E);
    return out;
}

Bytes Tlv(uint8_t tag, const Bytes& value) {
    Bytes out{tag, uint8_t(value.size())};
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

// A version-1 request of one varbind (short lengths only).
Bytes Request(uint8_t pdu, const Bytes& oid, const Bytes& value) {
    const std::string community = "quartermaster";
    const Bytes varbind = Tlv(0x30, Cat({Tlv(0x06, oid), value}));
    const Bytes body =
        Cat({Tlv(0x02, {0x01}), Tlv(0x02, {0x00}), Tlv(0x02, {0x00}), Tlv(0x30, varbind)});
    return Tlv(0x30, Cat({Tlv(0x02, {0x00}), Tlv(0x04, Bytes(community.begin(), community.end())),
                          Tlv(pdu, body)}));
}

Bytes SnmpFrame(const Bytes& message) {
    return Frame(Cat({{0x05, 0x13, 0xC1}, message}));
}

class Controller {
public:
    explicit Controller(bool paced) {
        char pattern[] = "/tmp/dms-pmpp-bench-XXXXXX";
        board_ = ::mkdtemp(pattern);
        const std::filesystem::path here =
            std::filesystem::read_symlink("/proc/self/exe").parent_path();
        const std::string exe = here / "dmsc";
        if (paced) {
            // The control port at 115200 baud from the first start's CONFIG.XML.
            const std::string config = board_ + "/config.xml";
            std::ofstream(config) << "<!-- CONFIG.XML Q2 V2.0 -->\n"
                                  << "rs232PortInSpeed[0][0000]:XXXX,1C200\n";
            const std::string add = (here.parent_path() / "tools/flashdump/flashdump").string() +
                                    " " + board_ + " add CONFIG.XML " + config + " p >/dev/null";
            if (std::system(add.c_str()) != 0) {
                return;
            }
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            const std::string offset = std::to_string(30000 + ::getpid() % 20000);
            if (paced) {
                ::execl(exe.c_str(), "dmsc", "--board-dir", board_.c_str(), "--port-offset",
                        offset.c_str(), static_cast<char*>(nullptr));
            } else {
                ::execl(exe.c_str(), "dmsc", "--board-dir", board_.c_str(), "--port-offset",
                        offset.c_str(), "--uart-unpaced", static_cast<char*>(nullptr));
            }
            ::_exit(127);
        }
        const std::string ptyFile = board_ + "/uart0.pty";
        for (int i = 0; i < 300 && !std::filesystem::exists(ptyFile); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::string path;
        std::ifstream(ptyFile) >> path;
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ >= 0) {
            termios t{};
            ::tcgetattr(fd_, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~Controller() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        std::filesystem::remove_all(board_);
    }
    bool Ready() const { return fd_ >= 0; }
    // Octets of the last reply frame.
    size_t LastReply() const { return reply_; }

    // Sends a frame; true when a whole reply frame came back within the time-out.
    bool RoundTrip(const Bytes& frame, int timeoutMs = 3000) {
        if (::write(fd_, frame.data(), frame.size()) != ssize_t(frame.size())) {
            return false;
        }
        int flags = 0;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        uint8_t buffer[512];
        while (Clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            const int left =
                int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                        .count());
            if (::poll(&p, 1, std::max(left, 1)) <= 0) {
                continue;
            }
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            for (ssize_t i = 0; i < n; ++i) {
                reply_ = flags == 0 ? 1 : reply_ + 1;
                if (buffer[i] == 0x7E && ++flags == 2) {
                    return true;
                }
            }
        }
        return false;
    }

private:
    std::string board_;
    pid_t pid_ = -1;
    int fd_ = -1;
    size_t reply_ = 0;
};

const Bytes kSysUpTime = {0x2B, 6, 1, 2, 1, 1, 3, 0};

void GetRoundTrip(benchmark::State& state, bool paced) {
    Controller controller(paced);
    const Bytes get = SnmpFrame(Request(0xA0, kSysUpTime, {0x05, 0x00}));
    bool ok = controller.Ready();
    // The agent answers once the controller runs.
    for (int i = 0; ok && i < 50 && !controller.RoundTrip(get, 500); ++i) {
    }
    ok = ok && controller.RoundTrip(get);
    if (!ok) {
        state.SkipWithError("no answer over the pty");
        return;
    }
    std::vector<double> took;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!controller.RoundTrip(get)) {
            state.SkipWithError("a request went unanswered");
            break;
        }
        took.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    if (!took.empty()) {
        std::sort(took.begin(), took.end());
        state.counters["median_ms"] = took[took.size() / 2];
        state.counters["octets"] = double(get.size() + controller.LastReply());
    }
}

void BM_PmppGetUnpaced(benchmark::State& state) {
    GetRoundTrip(state, false);
}
void BM_PmppGetPaced115200(benchmark::State& state) {
    GetRoundTrip(state, true);
}

BENCHMARK(BM_PmppGetUnpaced)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(200);
BENCHMARK(BM_PmppGetPaced115200)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(100);

}  // namespace

BENCHMARK_MAIN();
