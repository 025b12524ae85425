#pragma once
// A vector allocator whose resize leaves new elements of trivial types
// uninitialised, for buffers that a decoder or zlib fills completely: the
// zero-fill std::allocator would do first is wasted work on every byte.
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };

    template <typename U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;  // default-, not value-initialised
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

template <typename T>
using UninitialisedVector = std::vector<T, UninitialisedAllocator<T>>;
