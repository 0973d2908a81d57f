#include "IAPs.h"

#include <CheckBox.h>
#include <File.h>
#include <FindDirectory.h>
#include <InterfaceDefs.h>
#include <Locale.h>
#include <Menu.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <OS.h>
#include <Path.h>
#include <ReplacementFile.h>
#include <View.h>

#include <vector>

#include "IAPWindow.h"

const char* const kIAPPortName = "VELMORIAPPort";
const char* const kIAPSrcApp = "IAP:SrcApp";
const char* const kIAPSrcIAPItem = "IAP:SrcIAPItem";
const char* const kIAPAccKeyFormat = "AccKeyFormat2";
const char* const kIAPFlatToolBar = "FlatToolBar";

const char* const kIAPAccKeyFormats[4] = {
    "\x02(a)",
    "\x01" "a) ",
    "\x01" "a\xE3\x83\xBB",   // a and KATAKANA MIDDLE DOT
    "\x01" "a - ",
};

namespace {

const char* const kSharedFolder = "Shared";
const char* const kFileExtension = ".arc";
// A settings file holds one small message; anything larger is no such file.
const off_t kMaxSettingsSize = 256 * 1024;
// How long a sender waits for room in the window's port: a window whose
// program is stopped must not stop every program that asks for it.
const bigtime_t kPortWriteTimeout = 5000000;
// How often CreateAndShowWindow looks whether the port is there yet.
const bigtime_t kPortPollInterval = 20000;

status_t settings_entry_of(const TIAPItem& item, BEntry* entry)
{
    return get_settings_entry(kSharedFolder, (item.Name() + kFileExtension).c_str(), entry);
}

}  // namespace

status_t get_settings_entry(const char* folder, const char* fileName, BEntry* entry)
{
    if (folder == nullptr || fileName == nullptr || entry == nullptr)
        return B_BAD_VALUE;
    BPath path;
    if (find_directory(B_USER_SETTINGS_DIRECTORY, &path, true) != B_OK)
        return B_ERROR;
    if (path.Append("VELMOR") != B_OK || path.Append(folder) != B_OK)
        return B_ERROR;
    status_t status = create_directory(path.Path(), 0777);
    if (status != B_OK)
        return status;
    if ((status = path.Append(fileName)) != B_OK)
        return status;
    return entry->SetTo(path.Path(), false);
}

// ---- TIAPItem ----

TIAPItem::TIAPItem(const std::string& name) : fAppSignature(nullptr), fName(name) {}

TIAPItem::~TIAPItem() = default;

status_t TIAPItem::MakeConfigurationView(BView**, bool)
{
    return B_ERROR;
}

status_t TIAPItem::GetValue(BMessage*, bool) const
{
    return B_ERROR;
}

status_t TIAPItem::SetValue(const BMessage&)
{
    return B_ERROR;
}

status_t TIAPItem::GetBool(bool*, bool) const
{
    return B_ERROR;
}

status_t TIAPItem::SetBool(bool)
{
    return B_ERROR;
}

status_t TIAPItem::GetString(std::string*, bool) const
{
    return B_ERROR;
}

status_t TIAPItem::SetString(const std::string&)
{
    return B_ERROR;
}

status_t TIAPItem::SetAppSignatureRef(const char* signature)
{
    fAppSignature = signature;
    return B_OK;
}

status_t TIAPItem::AddDefaultInfo(BMessage* message) const
{
    if (message == nullptr)
        return B_BAD_VALUE;
    status_t status = message->AddString(kIAPSrcApp, fAppSignature != nullptr ? fAppSignature : "");
    if (status == B_OK)
        status = message->AddString(kIAPSrcIAPItem, fName.c_str());
    return status;
}

status_t TIAPItem::Load(BMessage* message) const
{
    if (message == nullptr)
        return B_BAD_VALUE;
    BEntry entry;
    status_t status = settings_entry_of(*this, &entry);
    if (status != B_OK)
        return status;
    BPath path;
    if ((status = entry.GetPath(&path)) != B_OK)
        return status;
    BFile file(path.Path(), B_READ_ONLY);
    off_t size = 0;
    if ((status = file.InitCheck()) != B_OK || (status = file.GetSize(&size)) != B_OK)
        return status;
    if (size <= 0 || size > kMaxSettingsSize)
        return B_BAD_DATA;
    std::vector<char> bytes(static_cast<size_t>(size));
    if (file.ReadAt(0, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
        return B_IO_ERROR;
    return message->Unflatten(bytes.data(), ssize_t(bytes.size()));
}

status_t TIAPItem::LoadBool(bool* value) const
{
    BMessage message;
    Load(&message);
    bool found = false;
    if (message.FindBool(fName.c_str(), &found) == B_OK) {
        *value = found;
        return B_OK;
    }
    return GetBool(value, true);
}

status_t TIAPItem::LoadString(std::string* value) const
{
    BMessage message;
    Load(&message);
    const char* found = nullptr;
    if (message.FindString(fName.c_str(), &found) == B_OK && found != nullptr) {
        *value = found;
        return B_OK;
    }
    return GetString(value, true);
}

status_t TIAPItem::Save(BMessage message) const
{
    if (fAppSignature == nullptr)
        return B_NO_INIT;
    status_t status = message.AddString(kIAPSrcApp, fAppSignature);
    if (status != B_OK)
        return status;
    std::vector<char> bytes(static_cast<size_t>(message.FlattenedSize()));
    if ((status = message.Flatten(bytes.data(), ssize_t(bytes.size()))) != B_OK)
        return status;
    BEntry entry;
    if ((status = settings_entry_of(*this, &entry)) != B_OK)
        return status;
    // A settings file that is a link stays one: its target is replaced.
    BPath path;
    if ((status = entry.GetPath(&path)) != B_OK)
        return status;
    BEntry target(path.Path(), true);
    if (target.InitCheck() == B_OK && target.GetPath(&path) != B_OK)
        return B_ERROR;
    // Replaced whole: a reader, a kill, a full disk or another program
    // saving at the same moment meets the old file or a new one.
    return replace_file(path.Path(), bytes.data(), bytes.size());
}

status_t TIAPItem::SaveBool(bool value) const
{
    BMessage message;
    message.AddBool(fName.c_str(), value);
    return Save(message);
}

status_t TIAPItem::SaveString(const std::string& value) const
{
    BMessage message;
    message.AddString(fName.c_str(), value.c_str());
    return Save(message);
}

// ---- TIAPItemAccKeyFormat ----

TIAPItemAccKeyFormat::TIAPItemAccKeyFormat() : TIAPItem(kIAPAccKeyFormat)
{
    LoadString(&fFormat);
}

TIAPItemAccKeyFormat::~TIAPItemAccKeyFormat() = default;

status_t TIAPItemAccKeyFormat::GetString(std::string* value, bool useDefault) const
{
    *value = useDefault ? kIAPAccKeyFormats[0] : fFormat;
    return B_OK;
}

status_t TIAPItemAccKeyFormat::SetString(const std::string& value)
{
    fFormat = value;
    SaveString(value);
    return B_OK;
}

status_t TIAPItemAccKeyFormat::GetValue(BMessage* message, bool useDefault) const
{
    AddDefaultInfo(message);
    message->what = kMsgIAPValue;
    std::string format;
    GetString(&format, useDefault);
    message->AddString(kIAPAccKeyFormat, format.c_str());
    return B_OK;
}

status_t TIAPItemAccKeyFormat::SetValue(const BMessage& message)
{
    const char* format = nullptr;
    if (message.FindString(kIAPAccKeyFormat, &format) != B_OK || format == nullptr)
        return B_ERROR;
    fFormat = format;
    const char* source = nullptr;
    if (AppSignatureRef() != nullptr && message.FindString(kIAPSrcApp, &source) == B_OK
        && source != nullptr && std::string(source) == AppSignatureRef())
        SaveString(fFormat);
    return B_OK;
}

void TIAPItemAccKeyFormat::AddMItem(BMenu* menu, const char* format, bool useDefault) const
{
    auto* message = new BMessage();
    GetValue(message, false);
    message->what = kMsgIAPControlChanged;
    message->ReplaceString(kIAPAccKeyFormat, format);
    std::string label = *format == '\0' ? be_locale->GetString("(None)").String() : format + 1;
    auto* item = new BMenuItem(label.c_str(), message);
    menu->AddItem(item);
    std::string value;
    GetString(&value, useDefault);
    if (value == format)
        item->SetMarked(true);
}

status_t TIAPItemAccKeyFormat::MakeConfigurationView(BView** view, bool useDefault)
{
    if (view == nullptr)
        return B_BAD_VALUE;
    auto* menu = new BMenu("Select...", B_ITEMS_IN_COLUMN);
    for (const char* format : kIAPAccKeyFormats)
        AddMItem(menu, format, useDefault);
    menu->AddSeparatorItem();
    AddMItem(menu, "", useDefault);
    // The name is the shortcut letter and the label's dictionary key.
    auto* field = new BMenuField(BRect(0, 0, 250, 30), "AAccelerator Format: ", "", menu, true,
        B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW | B_NAVIGABLE);
    BRect bounds = field->Bounds();
    auto* container = new BView(BRect(0, 0, bounds.right, bounds.bottom + 3), Name().c_str(),
        B_FOLLOW_LEFT_RIGHT, B_WILL_DRAW);
    container->AddChild(field);
    *view = container;
    return B_OK;
}

// ---- TIAPItemFlatToolBar ----

TIAPItemFlatToolBar::TIAPItemFlatToolBar() : TIAPItem(kIAPFlatToolBar), fFlat(true)
{
    LoadBool(&fFlat);
}

TIAPItemFlatToolBar::~TIAPItemFlatToolBar() = default;

status_t TIAPItemFlatToolBar::GetBool(bool* value, bool useDefault) const
{
    *value = useDefault ? true : fFlat;
    return B_OK;
}

status_t TIAPItemFlatToolBar::SetBool(bool value)
{
    fFlat = value;
    return B_OK;
}

status_t TIAPItemFlatToolBar::GetValue(BMessage* message, bool useDefault) const
{
    AddDefaultInfo(message);
    message->what = kMsgIAPValue;
    bool flat = true;
    GetBool(&flat, useDefault);
    message->AddBool(kIAPFlatToolBar, flat);
    return B_OK;
}

status_t TIAPItemFlatToolBar::SetValue(const BMessage& message)
{
    bool flat = false;
    if (message.FindBool(kIAPFlatToolBar, &flat) != B_OK) {
        // The check box's own archive, inside that of the item's view.
        BMessage box;
        if (message.FindMessage("_views", 0, &box) != B_OK)
            return B_ERROR;
        int32 value = 0;
        flat = box.FindInt32("_val", &value) == B_OK && value != 0;
    }
    fFlat = flat;
    SaveBool(fFlat);
    return B_OK;
}

status_t TIAPItemFlatToolBar::MakeConfigurationView(BView** view, bool useDefault)
{
    if (view == nullptr)
        return B_BAD_VALUE;
    auto* message = new BMessage(kMsgIAPControlChanged);
    AddDefaultInfo(message);
    auto* box = new BCheckBox(BRect(0, 0, 250, 25), "FFlat Tool Bar", "", message,
        B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW | B_NAVIGABLE);
    bool flat = true;
    GetBool(&flat, useDefault);
    box->SetValue(flat ? 1 : 0);
    auto* container = new BView(box->Bounds(), kIAPFlatToolBar, B_FOLLOW_LEFT_RIGHT, B_WILL_DRAW);
    container->AddChild(box);
    *view = container;
    return B_OK;
}

// ---- TInterAppPrefs ----

TInterAppPrefs::TInterAppPrefs() : fWindowOwner(false), fAppSignature(nullptr) {}

TInterAppPrefs::~TInterAppPrefs()
{
    for (auto& [name, item] : fItems)
        delete item;
}

status_t TInterAppPrefs::SetAppSignatureRef(const char* signature)
{
    fAppSignature = signature;
    for (auto& [name, item] : fItems)
        item->SetAppSignatureRef(signature);
    return B_OK;
}

status_t TInterAppPrefs::AddItem(TIAPItem* item)
{
    if (item == nullptr)
        return B_BAD_VALUE;
    item->SetAppSignatureRef(fAppSignature);
    TIAPItem*& slot = fItems[item->Name()];
    if (slot != item)
        delete slot;
    slot = item;
    return B_OK;
}

status_t TInterAppPrefs::AddObserver(const BMessenger& messenger)
{
    fObservers.push_back(messenger);
    return B_OK;
}

status_t TInterAppPrefs::GetBool(const char* name, bool* value) const
{
    auto it = name != nullptr ? fItems.find(name) : fItems.end();
    return it == fItems.end() ? status_t(B_ERROR) : it->second->GetBool(value, false);
}

status_t TInterAppPrefs::GetString(const char* name, std::string* value) const
{
    auto it = name != nullptr ? fItems.find(name) : fItems.end();
    return it == fItems.end() ? status_t(B_ERROR) : it->second->GetString(value, false);
}

status_t TInterAppPrefs::SetBool(const char* name, bool value)
{
    auto it = name != nullptr ? fItems.find(name) : fItems.end();
    return it == fItems.end() ? status_t(B_ERROR) : it->second->SetBool(value);
}

status_t TInterAppPrefs::SetString(const char* name, const std::string& value)
{
    auto it = name != nullptr ? fItems.find(name) : fItems.end();
    return it == fItems.end() ? status_t(B_ERROR) : it->second->SetString(value);
}

status_t TInterAppPrefs::SetValue(const BMessage& message)
{
    const char* name = nullptr;
    if (message.FindString(kIAPSrcIAPItem, &name) != B_OK || name == nullptr)
        return B_ERROR;
    auto it = fItems.find(name);
    if (it == fItems.end())
        return B_ERROR;
    status_t status = it->second->SetValue(message);
    if (status == B_OK)
        NotifyToObservers(message);
    return status;
}

status_t TInterAppPrefs::NotifyToObservers(BMessage message)
{
    for (const BMessenger& observer : fObservers)
        observer.SendMessage(&message, static_cast<BHandler*>(nullptr), B_INFINITE_TIMEOUT);
    return B_OK;
}

status_t TInterAppPrefs::ShowWindow(BRect frame)
{
    port_id port = find_port(kIAPPortName);
    if (port < 0)
        port = CreateAndShowWindow(frame);
    else if (status_t status = ActivateWindow(port); status != B_OK)
        return status;
    return AddComponents(port);
}

port_id TInterAppPrefs::CreateAndShowWindow(BRect frame)
{
    auto* window = new TIAPWindow(frame);
    window->Show();
    port_id port;
    while ((port = window->Port()) == kIAPPortNotYetCreated)
        snooze(kPortPollInterval);
    fWindowOwner = true;
    return port;
}

status_t TInterAppPrefs::AddComponents(port_id port)
{
    BMessage request(kMsgIAPAddComponents);
    for (auto& [name, item] : fItems) {
        // The committed value twice (committed and live), then the default.
        for (bool useDefault : {false, false, true}) {
            BView* view = nullptr;
            if (item->MakeConfigurationView(&view, useDefault) != B_OK || view == nullptr)
                continue;
            BMessage component;
            view->Archive(&component, true);
            item->GetValue(&component, useDefault);
            delete view;
            request.AddMessage(name.c_str(), &component);
        }
    }
    return SendMessage(port, &request);
}

status_t TInterAppPrefs::ActivateWindow(port_id port) const
{
    BMessage request(kMsgIAPActivateWindow);
    return SendMessage(port, &request);
}

status_t TInterAppPrefs::CloseWindow(bool force) const
{
    port_id port = find_port(kIAPPortName);
    if (port < 0)
        return B_OK;
    if (!force && !fWindowOwner)
        return B_ERROR;
    BMessage request(B_QUIT_REQUESTED);
    return SendMessage(port, &request);
}

status_t TInterAppPrefs::SendMessage(port_id port, BMessage* message) const
{
    if (message == nullptr)
        return B_BAD_VALUE;
    std::vector<char> bytes(static_cast<size_t>(message->FlattenedSize()));
    status_t status = message->Flatten(bytes.data(), ssize_t(bytes.size()));
    if (status != B_OK)
        return status;
    return write_port_etc(port, 0, bytes.data(), bytes.size(), B_RELATIVE_TIMEOUT,
                          kPortWriteTimeout);
}
