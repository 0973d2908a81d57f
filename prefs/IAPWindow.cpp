#include "IAPWindow.h"

#include <Button.h>
#include <CheckBox.h>
#include <InterfaceDefs.h>
#include <LanguageChangedFilter.h>
#include <Locale.h>
#include <Menu.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <MiscUtils.h>
#include <OS.h>
#include <Roster.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum : uint32 {
    kMsgOK = 0x005F6F6B,         // '_ok'
    kMsgCancel = 0x5F636E63,     // '_cnc'
    kMsgDefaults = 0x5F64666C,   // '_dfl'
};

const int32 kPortCapacity = 100;
const float kMargin = 10;

// What an item's view that came through the port may be: a few small
// controls. Anything beyond is refused, so that no stranger's archive can
// make the window huge, slow or deep.
const int32 kMaxComponents = 32;
const int32 kMaxViewsPerComponent = 16;
const int32 kMaxViewDepth = 4;
const int32 kMaxMenuItems = 32;
const size_t kMaxText = 256;
const float kMaxComponentWidth = 1000;
const float kMaxComponentHeight = 200;
const float kMaxCoordinate = 4000;

bool is_request(uint32 what)
{
    return what == kMsgIAPActivateWindow || what == kMsgIAPAddComponents
        || what == B_QUIT_REQUESTED;
}

bool short_text(const char* text)
{
    return text == nullptr || strnlen(text, kMaxText + 1) <= kMaxText;
}

bool sane_frame(BRect frame)
{
    for (float edge : {frame.left, frame.top, frame.right, frame.bottom}) {
        if (!std::isfinite(edge) || std::fabs(edge) > kMaxCoordinate)
            return false;
    }
    return frame.left <= frame.right && frame.top <= frame.bottom;
}

bool acceptable_menu(const BMenu* menu)
{
    if (menu == nullptr)
        return true;
    if (menu->CountItems() > kMaxMenuItems || !short_text(menu->Name()))
        return false;
    for (int32 i = 0; i < menu->CountItems(); i++) {
        if (!short_text(menu->ItemAt(i)->Label()))
            return false;
    }
    return true;
}

bool acceptable_tree(const BView* view, int32 depth, int32* count)
{
    if (++*count > kMaxViewsPerComponent || depth > kMaxViewDepth || !sane_frame(view->Frame())
        || !short_text(view->Name()))
        return false;
    if (auto* control = dynamic_cast<const BControl*>(view); control && !short_text(control->Label()))
        return false;
    if (auto* field = dynamic_cast<const BMenuField*>(view);
        field && (!short_text(field->Label()) || !acceptable_menu(field->Menu())))
        return false;
    for (int32 i = 0; i < view->CountChildren(); i++) {
        if (!acceptable_tree(view->ChildAt(i), depth + 1, count))
            return false;
    }
    return true;
}

bool acceptable_component(const BView* view)
{
    int32 count = 0;
    BRect bounds = view->Bounds();
    return acceptable_tree(view, 0, &count) && bounds.Width() <= kMaxComponentWidth
        && bounds.Height() <= kMaxComponentHeight;
}

std::string text(const char* key)
{
    return be_locale->GetString(key).String();
}

}  // namespace

// ---- TIAPPortManager ----

TIAPPortManager::TIAPPortManager(BMessenger target)
    : TThread("IAPPortManager", B_NORMAL_PRIORITY), fPort(kIAPPortNotYetCreated), fTarget(target)
{
    if (ThreadID() < 0)
        fPort.store(kIAPPortFailed);
}

TIAPPortManager::~TIAPPortManager() = default;

status_t TIAPPortManager::PreventBlocking() const
{
    write_port(fPort.load(), 0, nullptr, 0);
    return B_OK;
}

// Each port message is one flattened request. Empty wake-ups, bytes that
// are no message and messages that are no request are dropped.
status_t TIAPPortManager::Execute()
{
    port_id port = create_port(kPortCapacity, kIAPPortName);
    if (port < 0) {
        fPort.store(kIAPPortFailed);
        return B_ERROR;
    }
    fPort.store(port);
    std::vector<char> buffer;
    while (!TerminateRequested()) {
        ssize_t size = port_buffer_size(port);
        if (size < 0)
            break;
        buffer.resize(size_t(size) + 1);
        int32 code = 0;
        ssize_t got = read_port(port, &code, buffer.data(), size_t(size));
        if (got < 0)
            break;
        BMessage message;
        if (got == 0 || message.Unflatten(buffer.data(), got) != B_OK || !is_request(message.what))
            continue;
        fTarget.SendMessage(&message, static_cast<BHandler*>(nullptr), B_INFINITE_TIMEOUT);
    }
    delete_port(port);
    return B_OK;
}

// ---- TIAPView ----

TIAPView::TIAPView(BRect frame)
    : TDialogView(frame, "IAPView", B_FOLLOW_ALL, B_WILL_DRAW),
      fButtonCancel(nullptr),
      fButtonDefaults(nullptr),
      fButtonOK(nullptr),
      fButtonContainer(nullptr),
      fLastComponent(nullptr)
{
    fPrefs.SetAppSignatureRef("IAPView");
    fPrefs.AddItem(new TIAPItemAccKeyFormat());

    BRect button(0, 0, 80, 22);
    const uint32 mode = B_FOLLOW_RIGHT;
    const uint32 flags = B_WILL_DRAW | B_NAVIGABLE;
    fButtonDefaults = new BButton(button.OffsetToCopy(10, 10), "ButtonDefaults",
        text("Defaults").c_str(), new BMessage(kMsgDefaults), mode, flags);
    fButtonCancel = new BButton(button.OffsetToCopy(fButtonDefaults->Frame().right + 30, 10),
        "ButtonCancel", text("Cancel").c_str(), new BMessage(kMsgCancel), mode, flags);
    fButtonOK = new BButton(button.OffsetToCopy(fButtonCancel->Frame().right + 10, 10), "ButtonOK",
        text("OK").c_str(), new BMessage(kMsgOK), mode, flags);
    // Sized before the buttons go in, which keep to its right edge later.
    fButtonContainer = new BView(BRect(0, 0, fButtonOK->Frame().right + kMargin,
        fButtonOK->Frame().bottom + kMargin), "ButtonContainer", B_FOLLOW_LEFT_RIGHT, B_WILL_DRAW);
    fButtonContainer->SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
    fButtonContainer->AddChild(fButtonDefaults);
    fButtonContainer->AddChild(fButtonCancel);
    fButtonContainer->AddChild(fButtonOK);
    // The view takes the row's size first, so that the row does not
    // follow it.
    ResizeTo(fButtonContainer->Frame().right, fButtonContainer->Frame().bottom);
    AddChild(fButtonContainer);
    SetViewLabels();
    fButtonOK->MakeDefault(true);
}

TIAPView::~TIAPView() = default;

void TIAPView::AttachedToWindow()
{
    TDialogView::AttachedToWindow();
    Window()->AddCommonFilter(new TLanguageChangedFilter(BMessenger(this)));
    SetTargetToThis(this);
}

void TIAPView::LanguageChanged()
{
    SetViewLabels();
}

void TIAPView::ShortCutDown(int32 rawChar, int32 key) const
{
    if (rawChar == B_ESCAPE)
        click_button(fButtonCancel);
    else
        TDialogView::ShortCutDown(rawChar, key);
}

void TIAPView::MessageReceived(BMessage* message)
{
    switch (message->what) {
        case kMsgOK:
            ButtonOKClicked();
            break;
        case kMsgCancel:
            ButtonCancelClicked();
            break;
        case kMsgDefaults:
            ButtonDefaultsClicked();
            break;
        case kMsgIAPAddComponents:
            IAPAddComponentsRqtd(message);
            break;
        case kMsgIAPActivateWindow:
            IAPActivateWindowRqtd();
            break;
        case kMsgIAPControlChanged:
            IAPControlChanged(message);
            break;
        case B_QUIT_REQUESTED:
            Window()->PostMessage(message);
            break;
        case kMsgLanguageChanged:
            LanguageChanged();
            break;
        default:
            TBasicView::MessageReceived(message);
            break;
    }
}

BView* TIAPView::ComponentView(const char* name) const
{
    for (int32 i = 0; name != nullptr && i < CountChildren(); i++) {
        BView* child = ChildAt(i);
        if (child != fButtonContainer && child->Name() != nullptr
            && std::strcmp(child->Name(), name) == 0)
            return child;
    }
    return nullptr;
}

BView* TIAPView::AddComponent(BMessage archive, float top)
{
    BArchivable* object = instantiate_object(&archive);
    BView* view = dynamic_cast<BView*>(object);
    if (view == nullptr || !acceptable_component(view)) {
        delete object;
        return nullptr;
    }
    view->MoveTo(kMargin, top);
    view->SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
    AddChild(view);
    if (auto* field = dynamic_cast<BMenuField*>(view->ChildAt(0)); field && field->Menu()) {
        BMenu* menu = field->Menu();
        menu->SetLabelFromMarked(true);
        menu->SetRadioMode(true);
        if (BMenuItem* marked = menu->FindMarked())
            marked->SetMarked(true);
        menu->SetTargetForItems(this);
    }
    return view;
}

void TIAPView::IAPAddComponentsRqtd(BMessage* request)
{
    float width = Bounds().right;
    int32 shown = CountChildren() - 1;
    char* name = nullptr;
    type_code type = 0;
    for (int32 i = 0; request->GetInfo(B_MESSAGE_TYPE, i, &name, &type) == B_OK; i++) {
        // An item is shown once, as the first program to offer it sent it.
        if (FindView(name) != nullptr || shown >= kMaxComponents)
            continue;
        BMessage committed;
        if (request->FindMessage(name, 0, &committed) != B_OK)
            continue;
        float top = fLastComponent != nullptr ? fLastComponent->Frame().bottom + kMargin : kMargin;
        BView* view = AddComponent(committed, top);
        if (view == nullptr)
            continue;
        shown++;
        fComponents.AddMessage(name, &committed);
        fComponents.AddMessage(name, &committed);
        fLastComponent = view;
        width = std::max(width, view->Frame().right + kMargin);
        // The default only with a committed value: the indices stay in step.
        BMessage fallback;
        if (request->FindMessage(name, 2, &fallback) == B_OK)
            fComponents.AddMessage(name, &fallback);
    }
    SetTargetToThis(this);
    SetViewLabels();
    if (fLastComponent != nullptr)
        fButtonContainer->MoveTo(0, fLastComponent->Frame().bottom + kMargin);
    Window()->ResizeTo(width, fButtonContainer->Frame().bottom);
}

void TIAPView::IAPActivateWindowRqtd()
{
    if (Window()->IsHidden())
        Window()->Show();
    else
        Window()->Activate(true);
}

void TIAPView::IAPControlChanged(BMessage* message)
{
    const char* name = nullptr;
    if (message->FindString(kIAPSrcIAPItem, &name) != B_OK)
        return;
    BView* view = ComponentView(name);
    if (view == nullptr)
        return;
    BMessage value(*message);
    // A check box's state reaches the items through this archive.
    view->Archive(&value, true);
    value.what = kMsgIAPValue;
    fComponents.ReplaceMessage(name, 1, &value);
    SendMessage(&value);
    // The window's own store never saves ("IAPView" sent nothing); it
    // keeps the accelerator format for the labels.
    fPrefs.SetValue(value);
    SetViewLabels();
}

void TIAPView::SetComponents(int32 index)
{
    std::vector<std::string> names;
    char* name = nullptr;
    type_code type = 0;
    for (int32 i = 0; fComponents.GetInfo(B_MESSAGE_TYPE, i, &name, &type) == B_OK; i++)
        names.emplace_back(name);
    for (const std::string& item : names) {
        BMessage state;
        if (fComponents.FindMessage(item.c_str(), index, &state) != B_OK)
            continue;
        if (BView* old = ComponentView(item.c_str())) {
            if (BView* view = AddComponent(state, old->Frame().top)) {
                if (fLastComponent == old)
                    fLastComponent = view;
                RemoveChild(old);
                delete old;
                SetTargetToThis(view);
            }
        }
        fComponents.ReplaceMessage(item.c_str(), 1, &state);
        SendMessage(&state);
        fPrefs.SetValue(state);
    }
    SetViewLabels();
}

void TIAPView::ButtonOKClicked()
{
    if (!Window()->IsHidden())
        Window()->Hide();
    char* name = nullptr;
    type_code type = 0;
    for (int32 i = 0; fComponents.GetInfo(B_MESSAGE_TYPE, i, &name, &type) == B_OK; i++) {
        BMessage live;
        if (fComponents.FindMessage(name, 1, &live) == B_OK)
            fComponents.ReplaceMessage(name, 0, &live);
    }
}

void TIAPView::ButtonCancelClicked()
{
    if (!Window()->IsHidden())
        Window()->Hide();
    SetComponents(0);
}

void TIAPView::ButtonDefaultsClicked()
{
    SetComponents(2);
}

void TIAPView::SendMessage(BMessage* message)
{
    be_roster->Broadcast(message);
}

void TIAPView::SetViewLabels()
{
    std::string format;
    fPrefs.GetString(kIAPAccKeyFormat, &format);
    for (int32 i = 0; i < CountChildren(); i++) {
        BView* control = ChildAt(i)->ChildAt(0);
        if (control == nullptr || control->Name() == nullptr || control->Name()[0] == '\0')
            continue;
        std::string letter(1, control->Name()[0]);
        std::string label = merge_accelerator_key(format, letter, text(control->Name() + 1));
        if (auto* box = dynamic_cast<BCheckBox*>(control)) {
            box->SetLabel(label.c_str());
        } else if (auto* field = dynamic_cast<BMenuField*>(control)) {
            field->SetLabel(label.c_str());
            adjust_mfield_divider(field);
            // The entry without an accelerator is named in words.
            for (int32 k = 0; field->Menu() != nullptr && k < field->Menu()->CountItems(); k++) {
                BMenuItem* item = field->Menu()->ItemAt(k);
                const char* value = nullptr;
                if (item->Message() != nullptr
                    && item->Message()->FindString(kIAPAccKeyFormat, &value) == B_OK
                    && value != nullptr && *value == '\0')
                    item->SetLabel(text("(None)").c_str());
            }
        }
    }
    fButtonDefaults->SetLabel(merge_accelerator_key(format, "D", text("Defaults")).c_str());
    fButtonCancel->SetLabel(text("Cancel").c_str());
    fButtonOK->SetLabel(text("OK").c_str());
}

// ---- TIAPWindow ----

TIAPWindow::TIAPWindow(BRect frame)
    : TDialogWindow(frame, be_locale->GetString("VELMOR Common Preferences").String(),
          B_TITLED_WINDOW, B_NOT_RESIZABLE | B_NOT_ZOOMABLE, B_CURRENT_WORKSPACE),
      fPortManager(nullptr),
      fView(nullptr)
{
    fView = new TIAPView(frame.OffsetToCopy(0, 0));
    ResizeTo(fView->Bounds().right, fView->Bounds().bottom);
    AddChild(fView);
}

TIAPWindow::~TIAPWindow()
{
    if (TIAPPortManager* manager = fPortManager.exchange(nullptr)) {
        manager->Terminate();
        manager->PreventBlocking();
        manager->Wait(nullptr);
        delete manager;
    }
}

void TIAPWindow::Show()
{
    TDialogWindow::Show();
    if (fPortManager.load() == nullptr) {
        auto* manager = new TIAPPortManager(BMessenger(fView));
        fPortManager.store(manager);
        manager->Resume();
    }
}

bool TIAPWindow::QuitRequested()
{
    if (CurrentMessage() == nullptr)
        return true;
    if (!IsHidden())
        Hide();
    fView->SetComponents(0);
    return TBasicWindow::QuitRequested();
}

port_id TIAPWindow::Port() const
{
    TIAPPortManager* manager = fPortManager.load();
    return manager != nullptr ? manager->Port() : kIAPPortNotYetCreated;
}
