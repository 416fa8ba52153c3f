#include "runtime/post_office.h"

#include <new>

constinit PostOffice g_PostOffice;

namespace {

class Masked {
public:
    Masked() : saved_(tx_interrupt_control(TX_INT_DISABLE)) {}
    ~Masked() { tx_interrupt_control(saved_); }
    Masked(const Masked&) = delete;
    Masked& operator=(const Masked&) = delete;

private:
    UINT saved_;
};

constexpr uint32_t kMaxListEntries = 65535;

}  // namespace

// letter_s

bool letter_s::less(const impl::node& other) const {
    return id < static_cast<const letter_s&>(other).id;
}
bool letter_s::greater(const impl::node& other) const {
    return id > static_cast<const letter_s&>(other).id;
}
bool letter_s::equal(const impl::node& other) const {
    return id == static_cast<const letter_s&>(other).id;
}
void letter_s::assign(const impl::node& other) {
    id = static_cast<const letter_s&>(other).id;
    value = other.value;
}

void letter_s::CopyContent(const letter_s& from) {
    id = from.id;
    value = from.value;
    word = from.word;
    param1 = from.param1;
    param2 = from.param2;
    param3 = from.param3;
    param4 = from.param4;
    replyTimer = from.replyTimer;
}

// mailbox

mailbox::mailbox(uint32_t count) {
    free_.Init();
    queue_.Init();
    for (uint32_t i = 0; i < count && i < kMaxLetters; ++i) {
        auto* letter = new (std::nothrow) letter_s;
        if (letter == nullptr) {
            break;
        }
        free_.PushBack(letter);
        ++allocated_;
    }
}

mailbox::~mailbox() {
    Masked masked;
    for (impl::node* n = free_.Head(); n != nullptr; n = n->next) {
        n->owned = 1;
    }
    for (impl::node* n = queue_.Head(); n != nullptr; n = n->next) {
        n->owned = 1;
    }
    free_.Clear();
    queue_.Clear();
}

bool mailbox::Put(const letter_s& letter, bool urgent) {
    Masked masked;
    auto* slot = static_cast<letter_s*>(free_.TakeFront());
    if (slot == nullptr && allocated_ < kMaxLetters) {
        slot = new (std::nothrow) letter_s;
        if (slot != nullptr) {
            ++allocated_;
        }
    }
    if (slot == nullptr) {
        ++dropped_;
        return false;
    }
    slot->CopyContent(letter);
    return urgent ? queue_.PushFront(slot) : queue_.PushBack(slot);
}

bool mailbox::Get(letter_s** letter) {
    if (letter == nullptr) {
        return false;
    }
    Masked masked;
    *letter = static_cast<letter_s*>(queue_.TakeFront());
    return *letter != nullptr;
}

bool mailbox::Release(letter_s* letter) {
    Masked masked;
    return free_.PushBack(letter);
}

// subscriber

subscriber::subscriber(PostOffice* office, TX_EVENT_FLAGS_GROUP* events, uint32_t flag,
                       TX_THREAD* thread)
    : office_(office), events_(events), flag_(flag), thread_(thread) {}

subscriber::~subscriber() {
    Stop();
}

bool subscriber::Start(const uint32_t* ids) {
    if (state_ == kStarted || ids == nullptr || office_ == nullptr) {
        return false;
    }
    ids_ = ids;
    if (!office_->Register(this)) {
        return false;
    }
    state_ = kStarted;
    return true;
}

bool subscriber::Stop() {
    if (state_ != kStarted) {
        return false;
    }
    office_->Unregister(this);
    state_ = kStopped;
    return true;
}

bool subscriber::IsSubscribed(uint32_t id) const {
    if (state_ != kStarted) {
        return false;
    }
    for (uint32_t i = 0; i < kMaxListEntries && ids_[i] != 0; ++i) {
        if (ids_[i] == id) {
            return true;
        }
    }
    return false;
}

bool subscriber::Deliver(const letter_s& letter, bool urgent) {
    if (state_ != kStarted) {
        return false;
    }
    if (!mailbox_.Put(letter, urgent)) {
        return false;
    }
    if (events_ != nullptr) {
        tx_event_flags_set(events_, flag_, TX_OR);
    }
    return true;
}

bool subscriber::Receive(letter_s** letter) {
    if (state_ != kStarted) {
        return false;
    }
    return mailbox_.Get(letter);
}

bool subscriber::Release(letter_s* letter) {
    return mailbox_.Release(letter);
}

void subscriber::WakeThread() {
    if (thread_ == nullptr) {
        return;
    }
    if (tx_thread_resume(thread_) != TX_SUCCESS) {
        tx_thread_wait_abort(thread_);
    }
}

// wake_thread_event

void wake_thread_event::fire() {
    if (armed == 0 && timedOut == 0) {
        if (budget_ == 0 || --budget_ != 0) {
            return;
        }
        timedOut = 1;
    }
    tx_thread_resume(thread_);
}

void wake_thread_event::restart(uint32_t now, uint32_t argument) {
    timer_event::restart(now, argument);
    armed = 1;
}

// PostOffice

bool PostOffice::Register(subscriber* s) {
    if (s == nullptr) {
        return false;
    }
    for (subscriber*& slot : slots_) {
        if (slot == nullptr) {
            slot = s;
            return true;
        }
    }
    return false;
}

bool PostOffice::Unregister(subscriber* s) {
    for (subscriber*& slot : slots_) {
        if (slot != nullptr && slot == s) {
            slot = nullptr;
            return true;
        }
    }
    return false;
}

void PostOffice::Broadcast(const letter_s& letter) {
    for (subscriber* s : slots_) {
        if (s != nullptr && s->IsSubscribed(letter.id)) {
            s->Deliver(letter, false);
        }
    }
}

void PostOffice::PostLetter(uint32_t id) {
    letter_s letter(id);
    Broadcast(letter);
}

bool PostOffice::SendAndWait(letter_s& request, letter_s& reply, uint32_t timeout) {
    if (&request == &reply) {
        return false;
    }
    TX_THREAD* self = tx_thread_identify();
    timer_scheduler* scheduler = g_TimerScheduler;
    if (self == nullptr || scheduler == nullptr) {
        return false;
    }
    const uint32_t expiries = timeout == 0 ? 0 : (timeout + kWakeInterval - 1) / kWakeInterval;
    auto* wake = new (std::nothrow) wake_thread_event(self, &reply, expiries);
    if (wake == nullptr) {
        return false;
    }
    const uint32_t id = scheduler->AddTimer(wake, kWakeInterval, true);
    if (id == 0) {
        delete wake;
        return false;
    }
    request.param3 = 0;
    request.param4 = id;
    request.replyTimer = id;
    subscriber* target = nullptr;
    for (subscriber* s : slots_) {
        if (s != nullptr && s->IsSubscribed(request.id)) {
            target = s;
            break;
        }
    }
    if (target == nullptr || !target->Deliver(request, true)) {
        scheduler->RemoveTimer(id);
        return false;
    }
    target->WakeThread();
    // The wake timer resumes this thread at every expiry once the reply is in (or time is up).
    while (wake->armed == 0 && wake->timedOut == 0) {
        tx_thread_suspend(self);
    }
    const bool replied = wake->armed != 0;
    scheduler->RemoveTimer(id);
    return replied;
}

bool PostOffice::Reply(const letter_s& request, const letter_s& content) {
    timer_scheduler* scheduler = g_TimerScheduler;
    if (request.replyTimer == 0 || scheduler == nullptr) {
        return false;
    }
    auto prepare = [](timer_event& timer, void* context) {
        auto* wake = dynamic_cast<wake_thread_event*>(&timer);
        if (wake == nullptr || wake->timedOut != 0 || wake->armed != 0) {
            return false;
        }
        letter_s* reply = wake->Reply();
        reply->CopyContent(*static_cast<const letter_s*>(context));
        reply->replyTimer = 0;
        return true;
    };
    if (!scheduler->TriggerTimerWith(request.replyTimer, 1, prepare,
                                     const_cast<letter_s*>(&content))) {
        return false;
    }
    tx_thread_relinquish();
    return true;
}
