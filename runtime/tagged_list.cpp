#include "runtime/tagged_list.h"

#include <cstring>
#include <new>

namespace {
constexpr char kMagic[4] = {'L', 'I', 'S', 'T'};
constexpr char kDestroyed[4] = {'U', 'I', 'S', 'T'};

bool IsUsable(const LIST* list) {
    return std::memcmp(list->magic, kMagic, 4) == 0;
}
}  // namespace

int list_init(LIST* list, uint8_t kind, uint8_t flags) {
    if (list == nullptr) {
        return kListMissing;
    }
    if (IsUsable(list)) {
        return kListAlreadyInitialised;
    }
    if (kind != 1 || flags != 0) {
        return kListBadParameter;
    }
    list->kind = kind;
    list->flags = flags;
    list->changes = 0;
    list->head = list->tail = nullptr;
    std::memcpy(list->magic, kMagic, 4);
    return kListOk;
}

int list_destroy(LIST* list) {
    if (list == nullptr) {
        return kListMissing;
    }
    if (!IsUsable(list)) {
        return kListNotInitialised;
    }
    while (list_remove(list, list->head) == kListOk) {
    }
    std::memcpy(list->magic, kDestroyed, 4);
    return kListOk;
}

int list_append(LIST* list, LIST_NODE** node) {
    if (list == nullptr || node == nullptr) {
        return kListMissing;
    }
    if (!IsUsable(list)) {
        return kListNotInitialised;
    }
    auto* item = new (std::nothrow) LIST_NODE{0, nullptr, list->tail};
    if (item == nullptr) {
        return kListNoMemory;
    }
    if (list->tail != nullptr) {
        list->tail->next = item;
    } else {
        list->head = item;
    }
    list->tail = item;
    ++list->changes;
    *node = item;
    return kListOk;
}

int list_remove(LIST* list, LIST_NODE* node) {
    if (list == nullptr) {
        return kListMissing;
    }
    if (!IsUsable(list)) {
        return kListNotInitialised;
    }
    if (list->head == nullptr) {
        return kListEmpty;
    }
    if (node == nullptr) {
        return kListMissing;
    }
    LIST_NODE* item = list->head;
    while (item != nullptr && item != node) {
        item = item->next;
    }
    if (item == nullptr) {
        return kListBadParameter;
    }
    if (node->previous != nullptr) {
        node->previous->next = node->next;
    } else {
        list->head = node->next;
    }
    if (node->next != nullptr) {
        node->next->previous = node->previous;
    } else {
        list->tail = node->previous;
    }
    delete node;
    ++list->changes;
    return kListOk;
}
