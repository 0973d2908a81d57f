// Progress of one file call: thousandths of a percent, reported when the
// value grows (about once per frame), and 100000 exactly once, at the end
// of a successful call.
#pragma once

#include <cstdint>

namespace monkeys {

class Progress {
public:
    Progress(int* word, void (*callback)(int), int* kill) : word_(word), callback_(callback), kill_(kill) {}

    void update(uint64_t done, uint64_t total)
    {
        int value = total == 0 ? 0 : int(done * 99999 / total);
        if (value > last_)
            report(value);
    }
    void finish() { report(100000); }
    // The caller may set the kill flag from another thread.
    bool killed() const { return kill_ && __atomic_load_n(kill_, __ATOMIC_RELAXED) != 0; }

private:
    void report(int value)
    {
        last_ = value;
        if (word_)
            __atomic_store_n(word_, value, __ATOMIC_RELAXED);
        if (callback_)
            callback_(value);
    }

    int* word_;
    void (*callback_)(int);
    int* kill_;
    int last_ = -1;
};

} // namespace monkeys
