// A value shared between the GUI, MIDI and audio threads without locks.
//
// Every read and write is one whole relaxed atomic access, so a reader sees
// either the old or the new value and never a torn one. On x86-64 these are
// plain loads and stores; the wrapper only keeps the compiler from splitting
// or caching them. It converts implicitly so that engine code reads like
// arithmetic on the plain field.
#pragma once

#include <atomic>

template <class T>
class shared {
public:
    constexpr shared(T v = T()) noexcept : v_(v) {}
    shared(const shared& o) noexcept : v_(o.load()) {}
    shared& operator=(const shared& o) noexcept { store(o.load()); return *this; }

    T load() const noexcept { return v_.load(std::memory_order_relaxed); }
    void store(T v) noexcept { v_.store(v, std::memory_order_relaxed); }

    operator T() const noexcept { return load(); }
    shared& operator=(T v) noexcept { store(v); return *this; }

private:
    static_assert(std::atomic<T>::is_always_lock_free, "shared values must be lock-free");
    std::atomic<T> v_;
};
