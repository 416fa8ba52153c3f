#pragma once
// Plain C-style list with a magic word ("LIST" while usable, "UIST" after list_destroy).

#include <cstdint>

enum ListStatus : int {
    kListOk = 0,
    kListMissing = 1,
    kListEmpty = 2,
    kListAlreadyInitialised = 3,
    kListNotInitialised = 4,
    kListBadParameter = 5,
    kListNoMemory = 6,
};

struct LIST_NODE {
    // The caller's data word, wide enough for a pointer.
    uintptr_t data;
    LIST_NODE* next;
    LIST_NODE* previous;
};

struct LIST {
    char magic[4];
    uint8_t kind;
    uint8_t flags;
    uint16_t changes;
    LIST_NODE* head;
    LIST_NODE* tail;
};

int list_init(LIST* list, uint8_t kind, uint8_t flags);
// Removes every node (data words are not freed) and marks the list unusable.
int list_destroy(LIST* list);
// Appends a new node after the tail and hands it back so that the caller stores its data word.
int list_append(LIST* list, LIST_NODE** node);
// Unlinks and frees a node of this list (kListBadParameter when it is not one of its nodes).
int list_remove(LIST* list, LIST_NODE* node);
