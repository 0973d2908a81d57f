// A thread's own working object, made on the heap at its first use. Large
// objects are kept out of thread-local storage itself: every thread that
// enters the library gets a whole copy of that storage, touching memory
// for objects it may never use.
#pragma once

#include <memory>

namespace monkeys::core {

// Usage: thread_local std::unique_ptr<T> own; T& x = per_thread(own);
template <class T>
T& per_thread(std::unique_ptr<T>& own)
{
    if (!own)
        own.reset(new T);
    return *own;
}

} // namespace monkeys::core
