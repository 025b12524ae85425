#pragma once
// The scope guard: an action run when a scope is left, however it is left.
// Descriptors have their owner (formats/Fd.h); this is for everything else
// a scope must undo (a handle of a C library, a counter, a lock).
#include <utility>

template <typename F>
class OnExit {
public:
    explicit OnExit(F action) : m_action(std::move(action)) {}
    ~OnExit() { m_action(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

private:
    F m_action;
};
