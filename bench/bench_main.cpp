// The benchmark program: moves into a private network namespace (so that
// the real-socket benchmarks broadcast only onto its own loopback), then
// runs the benchmarks that the command line selects.
#include "BenchSupport.h"
#include "support/NetworkNamespace.h"

#include <benchmark/benchmark.h>

#include <string>

namespace brenn::bench {

namespace {
bool privateNetwork = false;
std::string whyNot;
}  // namespace

bool inPrivateNetwork(benchmark::State& state) {
    if (privateNetwork) return true;
    state.SkipWithError(whyNot.c_str());
    return false;
}

}  // namespace brenn::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    brenn::bench::privateNetwork = brenn::testing::enterPrivateNetwork(&brenn::bench::whyNot);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
