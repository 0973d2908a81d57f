// The windows of the process, in the order they were made: what
// BApplication::CountWindows and WindowAt report, and where messages meant
// for every window go. The interface kit adds each window when it is made
// and removes it when it goes; not part of the BeOS interface.
#pragma once

#include <Messenger.h>

#include <vector>

class BLooper;
class BWindow;

namespace app_private {

// The window and the looper it is (the kit's BWindow derives from BLooper;
// this kit does not know that type).
void add_window(BWindow* window, BLooper* looper);
void remove_window(BWindow* window);
int32 count_windows();
BWindow* window_at(int32 index);
// Messengers to every window, taken while they all live.
std::vector<BMessenger> window_messengers();

} // namespace app_private
