// A view that shows a value and a label and invokes its message when the
// user changes it.
#pragma once

#include <string>

#include "Invoker.h"
#include "View.h"

enum {
    B_CONTROL_OFF = 0,
    B_CONTROL_ON = 1,
};

class BControl : public BView, public BInvoker {
public:
    BControl(BRect frame, const char* name, const char* label, BMessage* message,
        uint32 resizingMode, uint32 flags);
    explicit BControl(BMessage* archive);
    static BArchivable* Instantiate(BMessage* archive);
    status_t Archive(BMessage* into, bool deep = true) const override;
    ~BControl() override;

    void AttachedToWindow() override;
    void MakeFocus(bool focus = true) override;

    virtual void SetLabel(const char* label);
    const char* Label() const { return fLabel.c_str(); }
    virtual void SetValue(int32 value);
    int32 Value() const { return fValue; }
    virtual void SetEnabled(bool enabled);
    bool IsEnabled() const { return fEnabled; }

    status_t Invoke(BMessage* message = nullptr) override;

    // The control was pressed and the pointer is still held: it shows
    // "pressed" until the press ends.
    bool IsTracking() const { return fTracking; }
    void SetTracking(bool tracking) { fTracking = tracking; }

private:
    std::string fLabel;
    int32 fValue;
    bool fEnabled;
    bool fTracking;
};
