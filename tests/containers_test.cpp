// DynArray, HashTable, the string hash and the element functions.
#include "containers/AllocationTesting.h"
#include "containers/Allocation.h"
#include "containers/DynArray.h"
#include "containers/HashTable.h"
#include "containers/StringHash.h"

#include <gtest/gtest.h>

#include <vector>

namespace brenn {
namespace {

std::vector<int> freed;

void recordFree(void* element) { freed.push_back(*static_cast<int*>(element)); }

int compareInts(const void* a, const void* b) {
    const int x = *static_cast<const int*>(a);
    const int y = *static_cast<const int*>(b);
    return (x > y) - (x < y);
}

std::vector<int> contents(const DynArray* array) {
    std::vector<int> values;
    for (std::int32_t i = 0; i < dynarray::length(array); ++i)
        values.push_back(*static_cast<int*>(dynarray::elementAt(array, i)));
    return values;
}

DynArray* arrayOf(std::initializer_list<int> values, std::int32_t step = 8, ElementFree free = nullptr) {
    DynArray* array = dynarray::create(sizeof(int), step, free);
    for (int v : values) dynarray::append(array, &v);
    return array;
}

class Containers : public ::testing::Test {
protected:
    void SetUp() override { freed.clear(); }
    void TearDown() override { allocation::testing::failAfter(-1); }
};

TEST_F(Containers, GrowthIsLinearByTheStep) {
    struct Case {
        std::int32_t step;
        int appends;
        std::int32_t capacity;
    };
    const Case cases[] = {{0, 8, 8}, {0, 9, 16}, {0, 17, 24}, {64, 64, 64}, {64, 65, 128}, {3, 7, 9}};
    for (const Case& c : cases) {
        DynArray* array = dynarray::create(sizeof(int), c.step, nullptr);
        for (int i = 0; i < c.appends; ++i) ASSERT_EQ(dynarray::append(array, &i), 0);
        EXPECT_EQ(array->capacity, c.capacity) << "step " << c.step << ", " << c.appends << " appends";
        EXPECT_EQ(dynarray::length(array), c.appends);
        dynarray::destroy(array);
    }
}

TEST_F(Containers, InsertReplaceAndDestroyKeepOrderAndFreeEachElementOnce) {
    DynArray* array = arrayOf({1, 2}, 8, recordFree);
    int front = 0, back = 3, middle = 9, replacement = 7;
    dynarray::insertAt(array, &front, 0);
    dynarray::insertAt(array, &back, dynarray::length(array));
    dynarray::insertAt(array, &middle, 2);
    EXPECT_EQ(contents(array), (std::vector<int>{0, 1, 9, 2, 3}));
    dynarray::replaceAt(array, &replacement, 2);
    EXPECT_EQ(freed, (std::vector<int>{9}));
    EXPECT_EQ(contents(array), (std::vector<int>{0, 1, 7, 2, 3}));
    dynarray::destroy(array);
    EXPECT_EQ(freed, (std::vector<int>{9, 0, 1, 7, 2, 3}));
}

TEST_F(Containers, SearchGivesTheIndexInTheWholeArray) {
    struct Case {
        std::vector<int> values;
        int key;
        std::int32_t start;
        int sorted;
        std::int32_t expected;
    };
    const Case cases[] = {
        {{}, 1, 0, 0, -1},           {{5, 6, 5}, 5, 1, 0, 2},      {{5, 6, 5}, 5, 3, 0, -1},
        {{5, 6, 5}, 5, 7, 0, -1},    {{1, 3, 3, 5}, 3, 0, 1, 1},   {{1, 3, 3, 5}, 4, 0, 1, -1},
        {{1, 3, 3, 5}, 5, 2, 1, 3},  {{1, 3, 3, 3, 3}, 3, 2, 1, 2}, {{1, 3, 3, 5}, 1, 0, 1, 0},
    };
    for (const Case& c : cases) {
        DynArray* array = dynarray::create(sizeof(int), 2, nullptr);
        for (int v : c.values) dynarray::append(array, &v);
        EXPECT_EQ(dynarray::search(array, &c.key, compareInts, c.start, c.sorted), c.expected)
            << "key " << c.key << " from " << c.start << (c.sorted ? " sorted" : " linear");
        dynarray::destroy(array);
    }
    EXPECT_EQ(dynarray::search(nullptr, &cases[0].key, compareInts, 0, 0), -1);
}

TEST_F(Containers, WithoutStorageNothingChanges) {
    DynArray* grown = arrayOf({1, 2}, 2, recordFree);
    allocation::testing::failAfter(0);
    int extra = 3;
    EXPECT_EQ(dynarray::append(grown, &extra), -1);
    EXPECT_EQ(dynarray::insertAt(grown, &extra, 0), -1);
    allocation::testing::failAfter(-1);
    EXPECT_EQ(contents(grown), (std::vector<int>{1, 2}));
    EXPECT_EQ(grown->capacity, 2);
    EXPECT_TRUE(freed.empty());
    dynarray::destroy(grown);

    for (long successes = 0; successes < 3; ++successes) {
        allocation::testing::failAfter(successes);
        DynArray* array = dynarray::create(sizeof(int), 4, nullptr);
        allocation::testing::failAfter(-1);
        EXPECT_EQ(array == nullptr, successes < 2);
        dynarray::destroy(array);
    }
    // A table needs its record, its bucket array and every bucket (2 each).
    for (long successes = 0; successes < 7; ++successes) {
        allocation::testing::failAfter(successes);
        HashTable* table = hashtable::create(sizeof(char*), 2, 4, elements::hashText,
                                             elements::compareTextNoCase, nullptr);
        allocation::testing::failAfter(-1);
        EXPECT_EQ(table == nullptr, successes < 6) << successes;
        hashtable::destroy(table);
    }
    EXPECT_EQ(dynarray::create(0, 4, nullptr), nullptr);
    EXPECT_EQ(hashtable::create(sizeof(int), 0, 4, elements::hashText, compareInts, nullptr), nullptr);
}

TEST_F(Containers, StringHashMatchesKnownFigures) {
    const struct {
        const char* text;
        std::uint32_t buckets, hash;
    } cases[] = {
        {"", 500, 0},     {"", 7, 0},       {"abc", 0, 0x51CF32C6u}, {"abc", 500, 446},
        {"ABC", 500, 446}, {"abc", 8, 6},    {"ping", 500, 10},
        {"\xC4", 0, 0xFFFFFFC4u},  // bytes above 0x7F are widened as negative values, never lowered
    };
    for (const auto& c : cases) EXPECT_EQ(stringHash(c.text, c.buckets), c.hash) << c.text << " " << c.buckets;
    EXPECT_NE(stringHash("\xC4", 0), stringHash("\xE4", 0));
}

struct IntPair {
    int key;
    int value;
};

std::uint32_t hashPairKey(const void* element, std::uint32_t buckets) {
    return static_cast<std::uint32_t>(static_cast<const IntPair*>(element)->key) % buckets;
}

int comparePairKey(const void* a, const void* b) {
    return compareInts(&static_cast<const IntPair*>(a)->key, &static_cast<const IntPair*>(b)->key);
}

TEST_F(Containers, EnterReplacesTheEqualElement) {
    HashTable* table = hashtable::create(sizeof(IntPair), 3, 2, hashPairKey, comparePairKey, recordFree);
    const IntPair first{4, 10}, second{4, 20}, other{7, 30};
    hashtable::enter(table, &first);
    hashtable::enter(table, &other);
    hashtable::enter(table, &second);
    EXPECT_EQ(freed, (std::vector<int>{4}));  // the first element, once
    const auto* found = static_cast<const IntPair*>(hashtable::find(table, &first));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->value, 20);
    EXPECT_EQ(dynarray::length(table->buckets[1]), 2);
    const IntPair missing{5, 0};
    EXPECT_EQ(hashtable::find(table, &missing), nullptr);
    hashtable::destroy(table);
    EXPECT_EQ(freed.size(), 3u);
}

TEST_F(Containers, CompareNoCaseOrdersLoweredUnsignedBytes) {
    EXPECT_EQ(compareNoCase("abc", "ABC"), 0);
    EXPECT_LT(compareNoCase("_x", "a"), 0);  // '_' is below 'a', above 'A'
    EXPECT_LT(compareNoCase("a", "\xE4"), 0);
    EXPECT_LT(compareNoCase("ab", "abc"), 0);
}

}  // namespace
}  // namespace brenn
