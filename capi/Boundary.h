// The C interface's boundary: every entry point runs its body through one of
// these, so that no exception leaves the library.
#pragma once

#include "capi/velnarlanjoin.h"

#include <cstdint>
#include <new>

namespace brenn::capi {

// body() as the result, or VLJ_ERR_NO_MEMORY / VLJ_ERR_INTERNAL when it
// throws.
template <typename Body>
std::int32_t guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return VLJ_ERR_NO_MEMORY;
    } catch (...) {
        return VLJ_ERR_INTERNAL;
    }
}

// body() as the result, or fallback when it throws.
template <typename Result, typename Body>
Result guardedOr(Result fallback, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

}  // namespace brenn::capi
