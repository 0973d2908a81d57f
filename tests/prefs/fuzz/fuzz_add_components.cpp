// Any bytes that reach the shared preferences window as an add-components
// request are taken or refused without a crash, and leave the window of a
// bounded size; the window's buttons then work on whatever was taken.
#include <IAPWindow.h>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("SUITE_OFFSCREEN", "1", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BMessage request;
    if (request.Unflatten(reinterpret_cast<const char*>(data), ssize_t(size)) != B_OK)
        return 0;
    request.what = kMsgIAPAddComponents;
    // Never shown: this thread holds the window's lock and has it to itself.
    auto* window = new TIAPWindow(BRect(0, 0, 10, 10));
    auto* view = dynamic_cast<TIAPView*>(window->ChildAt(0));
    if (view == nullptr)
        abort();
    view->IAPAddComponentsRqtd(&request);
    if (window->Bounds().Width() > 1100 || window->Bounds().Height() > 7200)
        abort();
    view->SetComponents(2);
    view->SetComponents(0);
    view->ButtonOKClicked();
    view->IAPAddComponentsRqtd(&request);   // shown already: nothing changes
    window->Quit();
    return 0;
}
