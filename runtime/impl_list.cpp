#include "runtime/impl_list.h"

namespace impl {

node::~node() {
    if (linked_ != nullptr) {
        linked_->Unlink(this);
    }
}

list::~list() {
    Clear();
}

bool list::Init() {
    if (state_ == kReady) {
        return false;
    }
    head_ = tail_ = nullptr;
    count_ = 0;
    state_ = kReady;
    return true;
}

bool list::Clear() {
    if (state_ != kReady) {
        return false;
    }
    while (PopFront()) {
    }
    state_ = kCleared;
    return true;
}

bool list::PushBack(node* item) {
    if (item == nullptr || state_ != kReady || item->linked_ != nullptr) {
        return false;
    }
    item->linked_ = this;
    item->next = nullptr;
    item->previous = tail_;
    if (tail_ != nullptr) {
        tail_->next = item;
    } else {
        head_ = item;
    }
    tail_ = item;
    ++count_;
    return true;
}

bool list::PushFront(node* item) {
    if (item == nullptr || state_ != kReady || item->linked_ != nullptr) {
        return false;
    }
    item->linked_ = this;
    item->previous = nullptr;
    item->next = head_;
    if (head_ != nullptr) {
        head_->previous = item;
    } else {
        tail_ = item;
    }
    head_ = item;
    ++count_;
    return true;
}

void list::Unlink(node* item) {
    if (item->previous != nullptr) {
        item->previous->next = item->next;
    } else {
        head_ = item->next;
    }
    if (item->next != nullptr) {
        item->next->previous = item->previous;
    } else {
        tail_ = item->previous;
    }
    item->previous = item->next = nullptr;
    item->linked_ = nullptr;
    --count_;
}

node* list::TakeFront() {
    if (state_ != kReady || head_ == nullptr) {
        return nullptr;
    }
    node* item = head_;
    Unlink(item);
    return item;
}

bool list::PopFront() {
    node* item = TakeFront();
    if (item == nullptr) {
        return false;
    }
    if (item->owned != 0) {
        delete item;
    }
    return true;
}

bool list::Remove(node* item) {
    if (item == nullptr || state_ != kReady || item->linked_ != this) {
        return false;
    }
    Unlink(item);
    if (item->owned != 0) {
        delete item;
    }
    return true;
}

node* list::FindByKey(uint32_t key) const {
    for (node* item = head_; item != nullptr; item = item->next) {
        if (item->key == key) {
            return item;
        }
    }
    return nullptr;
}

bool list::iterator::Next() {
    if (current_ == nullptr) {
        return false;
    }
    current_ = current_->next;
    return current_ != nullptr;
}

}  // namespace impl
