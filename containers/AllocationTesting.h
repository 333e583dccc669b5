// Failing allocations on purpose, for tests only; never in the plug-in.
// A test program links the object library brenn_failing_allocation
// (containers/FailingAllocation.cpp): it defines every function of
// Allocation.h, so the linker takes those and never the shipped
// Allocation.cpp from the static library, and adds the switch below.
#pragma once

namespace brenn::allocation::testing {

// The allocations after the next `successes` ones fail, until disarmed;
// failAfter(-1) disarms.
void failAfter(long successes);

}  // namespace brenn::allocation::testing
