// What the fuzz targets share: a check that aborts with its reason (so the
// fuzzer keeps the input), and a reader of the input's bytes that yields
// zeros and short texts once the input runs out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzing {

inline void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    bool done() const { return pos >= size; }
    // The next byte; 0 past the end.
    std::uint8_t byte() { return pos < size ? data[pos++] : 0; }
    // The next count bytes, fewer when the input ends first.
    std::string bytes(std::size_t count) {
        const std::size_t n = count < size - pos ? count : size - pos;
        std::string out(reinterpret_cast<const char*>(data + pos), n);
        pos += n;
        return out;
    }
};

}  // namespace fuzzing
