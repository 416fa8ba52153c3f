#include "platform/kernel/kernel.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/kernel/core.h"

namespace kernel {

namespace {
std::atomic<Kernel*> g_kernel{nullptr};
std::atomic<std::uint64_t> g_next_id{1};
}  // namespace

Kernel::Kernel(const Options& options) : core_(new Core(options)), id_(g_next_id++) {
    g_kernel = this;
}

Kernel::~Kernel() {
    delete core_;
    g_kernel = nullptr;
}

Kernel* Kernel::Current() {
    return g_kernel.load(std::memory_order_acquire);
}

void Kernel::Start(const std::function<void(void*)>& app_define) {
    core_->Start(app_define);
}
void Kernel::Advance(ULONG ticks) {
    core_->Advance(ticks);
}
ULONG Kernel::RunUntilIdle(ULONG limit) {
    return core_->RunUntilIdle(limit);
}
void Kernel::WaitForStop() {
    core_->WaitForStop();
}
void Kernel::Stop() {
    core_->Stop();
}
bool Kernel::StopRequested() const {
    return core_->StopRequested();
}
ClockMode Kernel::clock() const {
    return core_->options_.clock;
}
double Kernel::time_scale() const {
    return core_->options_.time_scale;
}
void* Kernel::free_memory() const {
    return core_->free_memory_.get();
}
std::size_t Kernel::free_memory_size() const {
    return core_->free_memory_ ? core_->options_.free_memory_size : 0;
}

Context CurrentContext() {
    Core* core = Core::Get();
    return core != nullptr ? core->CurrentContextUnlocked() : Context::kOutside;
}

bool RegisterInterrupt(unsigned line, Isr isr, std::uintptr_t argument) {
    Core* core = Core::Get();
    return core != nullptr && core->RegisterInterrupt(line, isr, argument);
}

void UnregisterInterrupt(unsigned line) {
    if (Core* core = Core::Get()) {
        core->UnregisterInterrupt(line);
    }
}

void RaiseInterrupt(unsigned line) {
    if (Core* core = Core::Get()) {
        core->RaiseInterrupt(line);
    }
}

bool InterruptPending(unsigned line) {
    Core* core = Core::Get();
    return core != nullptr && core->InterruptPending(line);
}

void Post(std::function<void()> fn) {
    if (Core* core = Core::Get()) {
        core->Post(std::move(fn));
    }
}

void PostAndServe(std::function<void()> fn) {
    if (Core* core = Core::Get()) {
        core->PostAndServe(std::move(fn));
    }
}

void FailByteAllocation(unsigned k, TX_BYTE_POOL* pool) {
    if (Core* core = Core::Get()) {
        std::lock_guard<std::mutex> guard(core->m_);
        core->fail_countdown_ = k;
        core->fail_pool_ = k != 0 ? pool : nullptr;
    }
}

StackUse HostStackUse(TX_THREAD* thread_ptr) {
    Core* core = Core::Get();
    if (core == nullptr) {
        return {0, 0};
    }
    std::lock_guard<std::mutex> guard(core->m_);
    ThreadRec* thread = Find(core->threads_, thread_ptr);
    if (thread == nullptr || thread->stack.base() == nullptr) {
        return {0, 0};
    }
    return {thread->stack.Used(), thread->stack.size()};
}

ULONG MirrorStackUse(TX_THREAD* thread_ptr) {
    Core* core = Core::Get();
    if (core == nullptr) {
        return 0;
    }
    std::lock_guard<std::mutex> guard(core->m_);
    ThreadRec* thread = Find(core->threads_, thread_ptr);
    if (thread == nullptr || thread->stack.base() == nullptr) {
        return 0;
    }
    const std::size_t host = thread->stack.Used();
    const std::size_t used = host > thread->stack_baseline ? host - thread->stack_baseline : 0;
    const ULONG declared = thread_ptr->tx_thread_stack_size;
    const auto figure = static_cast<ULONG>(std::min<std::size_t>(used, declared));
    auto* top = static_cast<unsigned char*>(thread_ptr->tx_thread_stack_start) + declared;
    for (ULONG i = 1; i <= figure; ++i) {
        if (top[-static_cast<std::ptrdiff_t>(i)] == HostStack::kPaint) {
            top[-static_cast<std::ptrdiff_t>(i)] = 0;
        }
    }
    return figure;
}

}  // namespace kernel
