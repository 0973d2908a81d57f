#include "Control.h"

#include <Message.h>
#include <OS.h>

#include "ArchivePrivate.h"
#include "ControlLook.h"
#include "Window.h"

BControl::BControl(BRect frame, const char* name, const char* label, BMessage* message,
    uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags),
      BInvoker(message, nullptr),
      fLabel(label ? label : ""),
      fValue(B_CONTROL_OFF),
      fEnabled(true),
      fTracking(false)
{
}

// "_label", "_val", "_disable" (only when disabled) and the message in "_msg".
BControl::BControl(BMessage* archive)
    : BView(archive), BInvoker(), fValue(B_CONTROL_OFF), fEnabled(true), fTracking(false)
{
    BPrivate::read_field(archive, "_label", &fLabel);
    BPrivate::read_field(archive, "_val", &fValue);
    bool disabled = false;
    BPrivate::read_field(archive, "_disable", &disabled);
    fEnabled = !disabled;
    BMessage message;
    if (archive != nullptr && archive->FindMessage("_msg", &message) == B_OK)
        SetMessage(new BMessage(message));
}

BArchivable* BControl::Instantiate(BMessage* archive)
{
    return BPrivate::instantiate_as<BControl>(archive, "BControl");
}

status_t BControl::Archive(BMessage* into, bool deep) const
{
    status_t status = BView::Archive(into, deep);
    if (status == B_OK)
        status = into->AddString("_label", fLabel.c_str());
    if (status == B_OK)
        status = into->AddInt32("_val", fValue);
    if (status == B_OK && !fEnabled)
        status = into->AddBool("_disable", true);
    if (status == B_OK && Message() != nullptr)
        status = into->AddMessage("_msg", Message());
    return status;
}

B_REGISTER_ARCHIVABLE(BControl);

BControl::~BControl() = default;

// Controls take the colour of what they stand on.
void BControl::AttachedToWindow()
{
    BPrivate::adopt_parent_colors(this);
    // Without a target of its own, a control speaks to its window.
    if (!HasTarget() && Window() != nullptr)
        SetTarget(Window());
}

void BControl::MakeFocus(bool focus)
{
    BView::MakeFocus(focus);
}

void BControl::SetLabel(const char* label)
{
    std::string next = label ? label : "";
    if (next == fLabel)
        return;
    fLabel = next;
    Invalidate();
}

void BControl::SetValue(int32 value)
{
    if (value == fValue)
        return;
    fValue = value;
    Invalidate();
}

void BControl::SetEnabled(bool enabled)
{
    if (enabled == fEnabled)
        return;
    fEnabled = enabled;
    Invalidate();
}

status_t BControl::Invoke(BMessage* message)
{
    BMessage* source = message != nullptr ? message : Message();
    if (source == nullptr)
        return B_BAD_VALUE;
    BMessage copy(*source);
    copy.AddInt64("when", system_time());
    copy.AddPointer("source", this);
    copy.AddInt32("be:value", Value());
    return BInvoker::Invoke(&copy);
}
