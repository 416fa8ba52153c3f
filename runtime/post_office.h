#pragma once
// Event bus: letters, mailboxes, subscribers and the post office.

#include <cstdint>

#include "platform/kernel/tx_api.h"
#include "runtime/impl_list.h"
#include "runtime/letter_id.h"
#include "runtime/timer_scheduler.h"

class PostOffice;

// One letter. Built for posting with every field 0 except those the poster sets.
struct letter_s : impl::node {
    letter_s() = default;
    explicit letter_s(uint32_t letterId) : id(letterId) {}

    bool less(const impl::node& other) const override;
    bool greater(const impl::node& other) const override;
    bool equal(const impl::node& other) const override;
    // Copies id and value.
    void assign(const impl::node& other) override;
    // Copies id, value, word, param1-param4 and the reply handle.
    void CopyContent(const letter_s& from);

    uint32_t id = 0;  // a LetterId; `value` comes from the node
    uint16_t word = 0;
    uint32_t param1 = 0;
    uint32_t param2 = 0;
    uint32_t param3 = 0;
    uint32_t param4 = 0;
    // Request sent with PostOffice::SendAndWait: id of the sender's wake timer (also in param4).
    // The sender's reply letter is reached through that timer, never through an address.
    uint32_t replyTimer = 0;
};

class mailbox {
public:
    static constexpr uint32_t kLetters = 10;
    // Letters a mailbox allocates at most; a letter beyond is dropped and counted.
    static constexpr uint32_t kMaxLetters = 64;

    explicit mailbox(uint32_t count = kLetters);
    mailbox(const mailbox&) = delete;
    mailbox& operator=(const mailbox&) = delete;
    virtual ~mailbox();

    // Copies the letter into a free one (allocating when none is free) at the tail, or at the
    // head when urgent.
    bool Put(const letter_s& letter, bool urgent);
    // Unlinks the oldest letter; the caller gives it back with Release.
    bool Get(letter_s** letter);
    bool Release(letter_s* letter);

    impl::list& FreeList() { return free_; }
    uint32_t Queued() const { return queue_.Count(); }
    uint32_t FreeCount() const { return free_.Count(); }
    uint32_t Allocated() const { return allocated_; }
    uint32_t Dropped() const { return dropped_; }

private:
    impl::list free_;
    impl::list queue_;
    uint32_t allocated_ = 0;
    uint32_t dropped_ = 0;
};

class subscriber {
public:
    enum State : uint8_t { kBuilt = 0, kStopped = 1, kStarted = 2 };

    subscriber(PostOffice* office, TX_EVENT_FLAGS_GROUP* events, uint32_t flag, TX_THREAD* thread);
    subscriber(const subscriber&) = delete;
    subscriber& operator=(const subscriber&) = delete;
    virtual ~subscriber();

    // Registers for the zero-terminated id list (held by reference).
    bool Start(const uint32_t* ids);
    bool Stop();
    bool IsSubscribed(uint32_t id) const;
    bool Deliver(const letter_s& letter, bool urgent);
    bool Receive(letter_s** letter);
    // Gives a received letter back to the mailbox's free list.
    bool Release(letter_s* letter);
    // Resumes the thread, or aborts its current wait when it was not suspended.
    void WakeThread();

    uint8_t GetState() const { return state_; }
    mailbox& Mailbox() { return mailbox_; }
    TX_THREAD* Thread() const { return thread_; }

private:
    PostOffice* office_;
    TX_EVENT_FLAGS_GROUP* events_;
    uint32_t flag_;
    const uint32_t* ids_ = nullptr;
    uint8_t state_ = kBuilt;
    mailbox mailbox_;
    TX_THREAD* thread_;
};

class PostOffice {
public:
    static constexpr int kSlots = 10;
    // SendAndWait gives up after this many ticks without a reply.
    static constexpr uint32_t kReplyTimeout = 3000;
    static constexpr uint32_t kWakeInterval = 30;

    constexpr PostOffice() = default;
    PostOffice(const PostOffice&) = delete;
    PostOffice& operator=(const PostOffice&) = delete;
    virtual ~PostOffice() = default;

    bool Register(subscriber* s);
    bool Unregister(subscriber* s);
    // A copy for every subscriber of the letter's id, in slot order.
    void Broadcast(const letter_s& letter);
    void PostLetter(uint32_t id);
    // Delivers the request at the head of the first subscriber's mailbox, wakes that thread and
    // suspends the caller until the reply (true) or the time-out (false).
    bool SendAndWait(letter_s& request, letter_s& reply, uint32_t timeout = kReplyTimeout);
    // Copies the content into the waiting sender's reply letter and wakes it at the next tick.
    bool Reply(const letter_s& request, const letter_s& content);

    subscriber* Slot(int index) const {
        return index >= 0 && index < kSlots ? slots_[index] : nullptr;
    }

private:
    subscriber* slots_[kSlots] = {};
};

// Timer that wakes a thread waiting in PostOffice::SendAndWait.
class wake_thread_event : public timer_event {
public:
    wake_thread_event(TX_THREAD* thread, letter_s* reply, uint32_t expiries)
        : thread_(thread), reply_(reply), budget_(expiries) {}

    void fire() override;
    void restart(uint32_t now, uint32_t argument) override;

    uint8_t armed = 0;     // a reply arrived
    uint8_t timedOut = 0;  // the budget of expiries ran out first
    letter_s* Reply() const { return reply_; }

private:
    TX_THREAD* thread_;
    letter_s* reply_;
    uint32_t budget_;
};

extern PostOffice g_PostOffice;
