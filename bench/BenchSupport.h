// Shared by the benchmark files: whether the process runs in a private
// network namespace of its own, where real sockets may broadcast.
#pragma once

#include <benchmark/benchmark.h>

namespace brenn::bench {

// True when the process moved into its own network namespace at start;
// otherwise marks the benchmark skipped with the reason and returns false.
bool inPrivateNetwork(benchmark::State& state);

}  // namespace brenn::bench
