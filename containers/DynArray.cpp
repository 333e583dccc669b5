// DynArray: a growable array of fixed-size elements stored by value.
#include "containers/DynArray.h"

#include "containers/Allocation.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace brenn::dynarray {

namespace {

void freeElementAt(DynArray* array, std::int32_t index) {
    if (array->elementFree != nullptr) array->elementFree(elementAt(array, index));
}

void copyInto(DynArray* array, const void* source, std::int32_t index) {
    std::memcpy(elementAt(array, index), source, static_cast<std::size_t>(array->elementSize));
}

// Adds growthStep slots. Result 0, or -1 (array unchanged) when the new size
// overflows or the reallocation fails.
int grow(DynArray* array) {
    if (array->capacity > INT32_MAX - array->growthStep) return -1;
    const std::int32_t capacity = array->capacity + array->growthStep;
    const std::size_t bytes = static_cast<std::size_t>(capacity) * static_cast<std::size_t>(array->elementSize);
    auto* buffer = static_cast<unsigned char*>(allocation::reallocate(array->buffer, bytes));
    if (buffer == nullptr) return -1;
    array->buffer = buffer;
    array->capacity = capacity;
    return 0;
}

}  // namespace

DynArray* create(std::int32_t elementSize, std::int32_t growthStep, ElementFree elementFree) {
    if (elementSize < 1 || growthStep < 0) return nullptr;
    if (growthStep == 0) growthStep = 8;
    auto* array = static_cast<DynArray*>(allocation::allocate(sizeof(DynArray)));
    if (array == nullptr) return nullptr;
    array->buffer = static_cast<unsigned char*>(
        allocation::allocate(static_cast<std::size_t>(growthStep) * static_cast<std::size_t>(elementSize)));
    if (array->buffer == nullptr) {
        allocation::release(array);
        return nullptr;
    }
    array->count = 0;
    array->capacity = growthStep;
    array->elementSize = elementSize;
    array->growthStep = growthStep;
    array->elementFree = elementFree;
    return array;
}

void destroy(DynArray* array) {
    if (array == nullptr) return;
    for (std::int32_t i = 0; i < array->count; ++i) freeElementAt(array, i);
    allocation::release(array->buffer);
    allocation::release(array);
}

std::int32_t length(const DynArray* array) { return array->count; }

void* elementAt(const DynArray* array, std::int32_t index) {
    return array->buffer + static_cast<std::ptrdiff_t>(index) * array->elementSize;
}

int append(DynArray* array, const void* source) { return insertAt(array, source, array->count); }

int insertAt(DynArray* array, const void* source, std::int32_t index) {
    if (array->count == array->capacity && grow(array) != 0) return -1;
    array->count += 1;
    if (index < array->count - 1) {
        std::memmove(elementAt(array, index + 1), elementAt(array, index),
                     static_cast<std::size_t>(array->count - 1 - index) *
                         static_cast<std::size_t>(array->elementSize));
    }
    copyInto(array, source, index);
    return 0;
}

void replaceAt(DynArray* array, const void* source, std::int32_t index) {
    freeElementAt(array, index);
    copyInto(array, source, index);
}

void removeAt(DynArray* array, std::int32_t index) {
    freeElementAt(array, index);
    if (index < array->count - 1) {
        std::memmove(elementAt(array, index), elementAt(array, index + 1),
                     static_cast<std::size_t>(array->count - 1 - index) *
                         static_cast<std::size_t>(array->elementSize));
    }
    array->count -= 1;
}

void sort(DynArray* array, ElementCompare compare) {
    if (array->count > 1)
        std::qsort(array->buffer, static_cast<std::size_t>(array->count),
                   static_cast<std::size_t>(array->elementSize), compare);
}

std::int32_t search(const DynArray* array, const void* key, ElementCompare compare,
                    std::int32_t start, int sorted) {
    if (array == nullptr || array->count == 0) return -1;
    if (start < 0) start = 0;
    const std::int32_t n = array->count - start;
    if (n <= 0) return -1;
    if (!sorted) {
        for (std::int32_t i = start; i < array->count; ++i)
            if (compare(key, elementAt(array, i)) == 0) return i;
        return -1;
    }
    std::int32_t lo = 0;
    std::int32_t hi = n - 1;
    bool found = false;
    while (lo <= hi) {
        const std::int32_t mid = lo + (hi - lo) / 2;
        const int r = compare(elementAt(array, start + mid), key);
        if (r == 0) {
            found = true;
            hi = mid - 1;
        } else if (r > 0) {
            hi = mid - 1;
        } else {
            lo = mid + 1;
        }
    }
    return found ? start + lo : -1;
}

}  // namespace brenn::dynarray
