// DynArray: a growable array of fixed-size elements stored by value.
#pragma once

#include "containers/ElementFunctions.h"

#include <cstdint>

namespace brenn {

struct DynArray {
    std::int32_t count;        // elements held
    std::int32_t capacity;     // element slots in buffer
    std::int32_t elementSize;  // bytes per element
    std::int32_t growthStep;   // slots added per growth; also the first capacity
    ElementFree elementFree;   // releases what an element owns, or null
    unsigned char* buffer;     // capacity * elementSize bytes
};

namespace dynarray {

// A new empty array with capacity growthStep (0 means 8). Null when storage
// cannot be had or elementSize is below 1. The caller owns it: destroy().
DynArray* create(std::int32_t elementSize, std::int32_t growthStep, ElementFree elementFree);

// Frees every element (index order) through elementFree, then the storage.
// Null is ignored.
void destroy(DynArray* array);

std::int32_t length(const DynArray* array);

// Address of element index; no bounds check (0 <= index < count).
void* elementAt(const DynArray* array, std::int32_t index);

// Copies the element at source to the end. Result 0, or -1 when growing
// failed; the array is then unchanged.
int append(DynArray* array, const void* source);

// Copies the element at source to index (0 <= index <= count), moving the
// elements from index on one place back. Growth adds exactly growthStep
// slots. Result 0, or -1 when growing failed; the array is then unchanged.
int insertAt(DynArray* array, const void* source, std::int32_t index);

// Frees the element at index (0 <= index < count) and copies source there.
void replaceAt(DynArray* array, const void* source, std::int32_t index);

// Frees the element at index (0 <= index < count) and moves the elements
// after it one place forward; the capacity stays.
void removeAt(DynArray* array, std::int32_t index);

// Orders the elements with qsort and compare; equal elements in no set order.
void sort(DynArray* array, ElementCompare compare);

// Index in the whole array of the first element from start on that compares
// equal to key, or -1 (also for a null or empty array or start >= count).
// Linear mode calls compare(key, element). Sorted mode (the range must be
// in compare's order) is a lower-bound binary search calling
// compare(element, key), so it also finds the first of equal elements.
std::int32_t search(const DynArray* array, const void* key, ElementCompare compare,
                    std::int32_t start, int sorted);

}  // namespace dynarray

}  // namespace brenn
