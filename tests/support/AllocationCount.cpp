#include "AllocationCount.h"

#include <cstdlib>
#include <new>

namespace {
thread_local long GAllocations = 0;
}

long ThreadAllocations() { return GAllocations; }

void* operator new(std::size_t n) {
  ++GAllocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
