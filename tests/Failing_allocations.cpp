// The test program's operator new and delete, in a file of their own (the compiler checks
// new-delete pairs it can see inlined). Every replaceable form that is not over-aligned
// goes through malloc and free, so a sanitizer sees matching pairs.
#include "tests/Failing_allocations.h"

#include <cstdlib>
#include <new>

namespace {

thread_local std::size_t g_fail_from = 0; // 0: nothing fails

void* Allocate(std::size_t n)
{
    if (g_fail_from != 0 && n >= g_fail_from)
        return nullptr;
    return std::malloc(n == 0 ? 1 : n);
}

void* AllocateOrThrow(std::size_t n)
{
    if (void* p = Allocate(n))
        return p;
    throw std::bad_alloc();
}

} // namespace

FAILING_ALLOCATIONS::FAILING_ALLOCATIONS(std::size_t from) : before_(g_fail_from) { g_fail_from = from; }
FAILING_ALLOCATIONS::~FAILING_ALLOCATIONS() { g_fail_from = before_; }

void* operator new(std::size_t n) { return AllocateOrThrow(n); }
void* operator new[](std::size_t n) { return AllocateOrThrow(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
