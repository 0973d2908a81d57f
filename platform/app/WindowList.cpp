#include "WindowList.h"
#include "Looper.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace {

std::mutex& list_lock()
{
    static auto* lock = new std::mutex;
    return *lock;
}

std::vector<std::pair<BWindow*, BLooper*>>& windows()
{
    static auto* list = new std::vector<std::pair<BWindow*, BLooper*>>;
    return *list;
}

} // namespace

void app_private::add_window(BWindow* window, BLooper* looper)
{
    std::lock_guard<std::mutex> lock(list_lock());
    windows().emplace_back(window, looper);
}

void app_private::remove_window(BWindow* window)
{
    std::lock_guard<std::mutex> lock(list_lock());
    auto& list = windows();
    list.erase(std::remove_if(list.begin(), list.end(),
                              [window](const auto& entry) { return entry.first == window; }),
               list.end());
}

int32 app_private::count_windows()
{
    std::lock_guard<std::mutex> lock(list_lock());
    return static_cast<int32>(windows().size());
}

BWindow* app_private::window_at(int32 index)
{
    std::lock_guard<std::mutex> lock(list_lock());
    if (index < 0 || index >= static_cast<int32>(windows().size()))
        return nullptr;
    return windows()[static_cast<size_t>(index)].first;
}

std::vector<BMessenger> app_private::window_messengers()
{
    std::lock_guard<std::mutex> lock(list_lock());
    std::vector<BMessenger> messengers;
    for (const auto& entry : windows())
        messengers.emplace_back(entry.second);
    return messengers;
}
