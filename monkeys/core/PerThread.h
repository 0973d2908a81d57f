// A thread's own working object, made at its first use. Large objects are
// kept out of thread-local storage itself: every thread that enters the
// library gets a whole copy of that storage, touching memory for objects
// it may never use. They live in the large buffers' memory.
#pragma once

#include <new>

#include "LargeMemory.h"

namespace monkeys::core {

// Usage: thread_local PerThread<T> own; T& x = own.get();
template <class T>
class PerThread {
public:
    PerThread() = default;
    PerThread(const PerThread&) = delete;
    PerThread& operator=(const PerThread&) = delete;
    ~PerThread()
    {
        if (p_) {
            p_->~T();
            large_free(p_, sizeof(T));
        }
    }
    T& get()
    {
        if (!p_) {
            void* m = large_allocate(sizeof(T));
            try {
                p_ = new (m) T;
            } catch (...) {
                large_free(m, sizeof(T));
                throw;
            }
        }
        return *p_;
    }

private:
    T* p_ = nullptr;
};

} // namespace monkeys::core
