// Allocation failure on demand: while one of these lives, every operator new of its thread
// asking for at least `from` bytes throws std::bad_alloc (the nothrow forms return null).
#pragma once

#include <cstddef>

class FAILING_ALLOCATIONS {
public:
    explicit FAILING_ALLOCATIONS(std::size_t from);
    ~FAILING_ALLOCATIONS();
    FAILING_ALLOCATIONS(const FAILING_ALLOCATIONS&) = delete;
    FAILING_ALLOCATIONS& operator=(const FAILING_ALLOCATIONS&) = delete;

private:
    std::size_t before_;
};
