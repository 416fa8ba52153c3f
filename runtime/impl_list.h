#pragma once
// Intrusive doubly linked list of impl::node objects.

#include <cstdint>

namespace impl {

class list;

class node {
public:
    node() = default;
    node(uint32_t key, uint32_t value) : key(key), value(value) {}
    node(const node&) = delete;
    node& operator=(const node&) = delete;
    // A node that goes while still linked takes itself out of its list.
    virtual ~node();

    virtual bool less(const node& other) const { return key < other.key; }
    virtual bool greater(const node& other) const { return key > other.key; }
    virtual bool equal(const node& other) const { return key == other.key; }
    virtual void assign(const node& other) {
        key = other.key;
        value = other.value;
    }

    uint32_t key = 0;
    uint32_t value = 0;
    node* previous = nullptr;
    node* next = nullptr;
    // When set, the list deletes the node when it unlinks it.
    uint8_t owned = 0;

private:
    friend class list;
    // List the node is linked into, so that a node is never unlinked from the wrong list.
    list* linked_ = nullptr;
};

class list {
public:
    enum State : uint8_t { kBuilt = 0, kCleared = 1, kReady = 2 };

    list() = default;
    list(const list&) = delete;
    list& operator=(const list&) = delete;
    virtual ~list();

    bool Init();
    bool Clear();
    bool PushBack(node* item);
    bool PushFront(node* item);
    // Unlinks the head; deletes it when owned.
    bool PopFront();
    // Unlinks the head and hands it to the caller (never deleted); none when empty.
    node* TakeFront();
    // Unlinks a node of this list; deletes it when owned. False when it is not linked here.
    bool Remove(node* item);
    node* FindByKey(uint32_t key) const;

    node* Head() const { return head_; }
    node* Tail() const { return tail_; }
    uint32_t Count() const { return count_; }
    bool IsReady() const { return state_ == kReady; }
    uint8_t GetState() const { return state_; }

    class iterator {
    public:
        explicit iterator(const list& on) : list_(&on), current_(on.head_) {}
        node* Current() const { return current_; }
        // Steps to the next node; true while there is one.
        bool Next();
        void Reset(const list& on) {
            list_ = &on;
            current_ = on.head_;
        }

    private:
        const list* list_;
        node* current_;
    };

private:
    friend class node;
    void Unlink(node* item);

    node* head_ = nullptr;
    node* tail_ = nullptr;
    uint8_t state_ = kBuilt;
    uint32_t count_ = 0;
};

}  // namespace impl
