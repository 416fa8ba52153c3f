// The intrusive list keeps order and counts, refuses foreign nodes, survives destroyed nodes.
#include "runtime/impl_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct CountedNode : impl::node {
    CountedNode(uint32_t key, int* deaths) : impl::node(key, 0), deaths(deaths) {}
    ~CountedNode() override { ++*deaths; }
    int* deaths;
};

std::vector<uint32_t> Keys(const impl::list& l) {
    std::vector<uint32_t> keys;
    for (impl::node* n = l.Head(); n != nullptr; n = n->next) {
        keys.push_back(n->key);
    }
    return keys;
}

TEST(ImplList, RefusesUseUntilReadyAndInitOnlyOnce) {
    impl::list l;
    impl::node n(1, 0);
    EXPECT_FALSE(l.PushBack(&n));
    EXPECT_FALSE(l.Clear());
    EXPECT_TRUE(l.Init());
    EXPECT_FALSE(l.Init());
    EXPECT_FALSE(l.PushBack(nullptr));
    EXPECT_TRUE(l.PushBack(&n));
    EXPECT_FALSE(l.PushBack(&n)) << "a linked node cannot be linked twice";
    EXPECT_TRUE(l.Remove(&n));
}

TEST(ImplList, PushPopRemoveKeepOrderAndCount) {
    impl::list l;
    ASSERT_TRUE(l.Init());
    impl::node a(1, 0), b(2, 0), c(3, 0), d(4, 0);
    l.PushBack(&b);
    l.PushBack(&c);
    l.PushFront(&a);
    l.PushBack(&d);
    EXPECT_EQ(Keys(l), (std::vector<uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(l.Count(), 4u);
    EXPECT_TRUE(l.Remove(&c));
    EXPECT_EQ(Keys(l), (std::vector<uint32_t>{1, 2, 4}));
    EXPECT_EQ(l.FindByKey(4), &d);
    EXPECT_EQ(l.FindByKey(3), nullptr);
    EXPECT_TRUE(l.PopFront());
    EXPECT_EQ(l.TakeFront(), &b);
    EXPECT_EQ(l.Head(), &d);
    EXPECT_EQ(l.Tail(), &d);
    EXPECT_TRUE(l.Remove(&d));
    EXPECT_FALSE(l.PopFront());
    EXPECT_EQ(l.Count(), 0u);
    EXPECT_EQ(l.Head(), nullptr);
    EXPECT_EQ(l.Tail(), nullptr);
}

TEST(ImplList, RemoveOfANodeOfAnotherListIsRefused) {
    impl::list one, two;
    ASSERT_TRUE(one.Init());
    ASSERT_TRUE(two.Init());
    impl::node a(1, 0), b(2, 0);
    one.PushBack(&a);
    two.PushBack(&b);
    EXPECT_FALSE(one.Remove(&b));
    EXPECT_EQ(two.Count(), 1u);
    EXPECT_FALSE(one.Remove(nullptr));
    one.Remove(&a);
    two.Remove(&b);
}

TEST(ImplList, OwnedNodesAreDeletedOnUnlinkOthersAreNot) {
    int deaths = 0;
    {
        impl::list l;
        ASSERT_TRUE(l.Init());
        auto* owned1 = new CountedNode(1, &deaths);
        auto* owned2 = new CountedNode(2, &deaths);
        auto* owned3 = new CountedNode(3, &deaths);
        owned1->owned = owned2->owned = owned3->owned = 1;
        CountedNode kept(4, &deaths);
        l.PushBack(owned1);
        l.PushBack(owned2);
        l.PushBack(owned3);
        l.PushBack(&kept);
        EXPECT_TRUE(l.PopFront());
        EXPECT_EQ(deaths, 1);
        EXPECT_TRUE(l.Remove(owned2));
        EXPECT_EQ(deaths, 2);
        EXPECT_TRUE(l.Clear());
        EXPECT_EQ(deaths, 3);
        EXPECT_EQ(l.GetState(), impl::list::kCleared);
        EXPECT_FALSE(l.PushBack(&kept));
    }
    EXPECT_EQ(deaths, 4);  // only the stack node itself
}

TEST(ImplList, NodeDestroyedWhileLinkedLeavesTheList) {
    impl::list l;
    ASSERT_TRUE(l.Init());
    impl::node first(1, 0), last(3, 0);
    l.PushBack(&first);
    {
        impl::node middle(2, 0);
        l.PushBack(&middle);
        l.PushBack(&last);
    }
    EXPECT_EQ(l.Count(), 2u);
    EXPECT_EQ(first.next, &last);
    EXPECT_EQ(last.previous, &first);
    l.Clear();
}

TEST(ImplList, IteratorWalksAndResets) {
    impl::list l, other;
    ASSERT_TRUE(l.Init());
    ASSERT_TRUE(other.Init());
    impl::node a(1, 0), b(2, 0), c(9, 0);
    l.PushBack(&a);
    l.PushBack(&b);
    other.PushBack(&c);
    impl::list::iterator it(l);
    EXPECT_EQ(it.Current(), &a);
    EXPECT_TRUE(it.Next());
    EXPECT_EQ(it.Current(), &b);
    EXPECT_FALSE(it.Next());
    EXPECT_FALSE(it.Next());
    it.Reset(other);
    EXPECT_EQ(it.Current(), &c);
    impl::list empty;
    ASSERT_TRUE(empty.Init());
    impl::list::iterator none(empty);
    EXPECT_EQ(none.Current(), nullptr);
    l.Clear();
    other.Clear();
}

TEST(ImplNode, ComparesAndAssignsByKey) {
    impl::node a(1, 10), b(2, 20);
    EXPECT_TRUE(a.less(b));
    EXPECT_TRUE(b.greater(a));
    EXPECT_FALSE(a.equal(b));
    a.assign(b);
    EXPECT_TRUE(a.equal(b));
    EXPECT_EQ(a.value, 20u);
}

}  // namespace
