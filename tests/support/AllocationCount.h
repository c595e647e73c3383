// Counts the heap allocations made by the calling thread, for tests that check a steady state
// allocates nothing. Linking AllocationCount.cpp into a test program replaces the global
// operator new there; other threads (test servers) allocate freely and are not counted.
#pragma once

long ThreadAllocations();
