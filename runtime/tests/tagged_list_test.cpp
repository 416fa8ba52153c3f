// The tagged list checks its arguments and magic, counts its changes and refuses foreign nodes.
#include "runtime/tagged_list.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TaggedList, InitChecksArgumentsAndMagic) {
    LIST list{};
    EXPECT_EQ(list_init(nullptr, 1, 0), kListMissing);
    EXPECT_EQ(list_init(&list, 2, 0), kListBadParameter);
    EXPECT_EQ(list_init(&list, 1, 1), kListBadParameter);
    ASSERT_EQ(list_init(&list, 1, 0), kListOk);
    EXPECT_EQ(std::memcmp(list.magic, "LIST", 4), 0);

    LIST_NODE* node = nullptr;
    ASSERT_EQ(list_append(&list, &node), kListOk);
    node->data = 42;
    const uint16_t changes = list.changes;
    EXPECT_EQ(list_init(&list, 1, 0), kListAlreadyInitialised);
    EXPECT_EQ(list.head, node) << "a second init changes nothing";
    EXPECT_EQ(list.changes, changes);
    EXPECT_EQ(list_destroy(&list), kListOk);
}

TEST(TaggedList, AppendRemoveCountChanges) {
    LIST list{};
    ASSERT_EQ(list_init(&list, 1, 0), kListOk);
    LIST_NODE* nodes[3];
    for (auto*& n : nodes) {
        ASSERT_EQ(list_append(&list, &n), kListOk);
    }
    EXPECT_EQ(list.head, nodes[0]);
    EXPECT_EQ(list.tail, nodes[2]);
    EXPECT_EQ(list.changes, 3);
    EXPECT_EQ(list_remove(&list, nodes[1]), kListOk);
    EXPECT_EQ(nodes[0]->next, nodes[2]);
    EXPECT_EQ(nodes[2]->previous, nodes[0]);
    EXPECT_EQ(list_remove(&list, nodes[2]), kListOk);
    EXPECT_EQ(list.tail, nodes[0]);
    EXPECT_EQ(list.changes, 5);
    EXPECT_EQ(list_remove(&list, nodes[0]), kListOk);
    EXPECT_EQ(list_remove(&list, nodes[0]), kListEmpty);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
}

TEST(TaggedList, ForeignNodeIsRefusedAndDestroyedListIsUnusable) {
    LIST a{}, b{};
    ASSERT_EQ(list_init(&a, 1, 0), kListOk);
    ASSERT_EQ(list_init(&b, 1, 0), kListOk);
    LIST_NODE *na = nullptr, *nb = nullptr;
    list_append(&a, &na);
    list_append(&b, &nb);
    EXPECT_EQ(list_remove(&a, nb), kListBadParameter);
    EXPECT_EQ(list_remove(&a, nullptr), kListMissing);
    EXPECT_EQ(list_destroy(&a), kListOk);
    EXPECT_EQ(std::memcmp(a.magic, "UIST", 4), 0);
    LIST_NODE* n = nullptr;
    EXPECT_EQ(list_append(&a, &n), kListNotInitialised);
    EXPECT_EQ(list_destroy(&a), kListNotInitialised);
    EXPECT_EQ(list_append(&b, nullptr), kListMissing);
    EXPECT_EQ(list_init(&a, 1, 0), kListOk) << "a destroyed list can be set up again";
    list_destroy(&a);
    list_destroy(&b);
}

}  // namespace
