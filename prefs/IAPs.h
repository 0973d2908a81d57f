// Preferences shared by every cooperating program with a window.
//
// Each preference is an item (TIAPItem and its kinds) that knows its name,
// its default, how to load and save itself and how to build the control
// that edits it. Every item lives in a file of its own, <name>.arc in
// VELMOR/Shared under the user's settings folder, holding one flattened
// BMessage, so a value saved by one program is what every program loads
// next. A store (TInterAppPrefs) holds a program's items by name, tells
// its observers of changes, and reaches the one shared preferences window
// through the port "VELMORIAPPort" (IAPWindow.h). The file and port
// formats are in docs/shared-preferences.md.
//
// Stores and items have no locks: a store is used from the thread that
// owns it. No exception leaves these classes.
#pragma once

#include <Entry.h>
#include <KernelPorts.h>
#include <Message.h>
#include <Messenger.h>
#include <Rect.h>

#include <list>
#include <map>
#include <string>

class BMenu;
class BView;

// Message codes of the shared preferences.
enum : uint32 {
    kMsgIAPValue = 0x5F536963,            // '_Sic': the value of one item
    kMsgIAPControlChanged = 0x69637463,   // 'ictc': an item's control was changed
    kMsgIAPAddComponents = 0x69616372,    // 'iacr': add items to the window
    kMsgIAPActivateWindow = 0x69617772,   // 'iawr': bring the window forward
};

// The window's port.
extern const char* const kIAPPortName;   // "VELMORIAPPort"
// Fields of value messages and settings files.
extern const char* const kIAPSrcApp;       // "IAP:SrcApp"
extern const char* const kIAPSrcIAPItem;   // "IAP:SrcIAPItem"
// The items' names.
extern const char* const kIAPAccKeyFormat;   // "AccKeyFormat2"
extern const char* const kIAPFlatToolBar;    // "FlatToolBar"

// The entry of fileName in VELMOR/<folder> under the user's settings
// folder, which is made (mode 0777 less the umask) when missing; links
// are not followed. B_ERROR without a settings folder.
status_t get_settings_entry(const char* folder, const char* fileName, BEntry* entry);

class TIAPItem {
public:
    explicit TIAPItem(const std::string& name);
    virtual ~TIAPItem();
    TIAPItem(const TIAPItem&) = delete;
    TIAPItem& operator=(const TIAPItem&) = delete;

    // The kinds override these; here each does nothing and gives B_ERROR.
    // With useDefault the Get operations give the built-in default.
    virtual status_t MakeConfigurationView(BView** view, bool useDefault);
    virtual status_t GetValue(BMessage* message, bool useDefault) const;
    virtual status_t SetValue(const BMessage& message);
    virtual status_t GetBool(bool* value, bool useDefault) const;
    virtual status_t SetBool(bool value);
    virtual status_t GetString(std::string* value, bool useDefault) const;
    virtual status_t SetString(const std::string& value);

    std::string Name() const { return fName; }
    const char* AppSignatureRef() const { return fAppSignature; }
    // Not copied: the signature must outlive the item.
    status_t SetAppSignatureRef(const char* signature);

    // Adds "IAP:SrcApp" (the signature) and "IAP:SrcIAPItem" (the name).
    status_t AddDefaultInfo(BMessage* message) const;
    // Reads the item's settings file into message.
    status_t Load(BMessage* message) const;
    // The value field of the settings file, or else the default; B_OK
    // when the file held the field.
    status_t LoadBool(bool* value) const;
    status_t LoadString(std::string* value) const;
    // Adds "IAP:SrcApp" and writes message as the item's settings file.
    // The file is replaced whole or not at all: a failed save (no
    // signature, no settings folder, a full disk) leaves the old file as
    // it was and gives the error.
    status_t Save(BMessage message) const;
    status_t SaveBool(bool value) const;
    status_t SaveString(const std::string& value) const;

private:
    const char* fAppSignature;
    std::string fName;
};

// "AccKeyFormat2": how accelerator keys are shown in labels (see
// merge_accelerator_key). Edited with a menu field of the offered formats.
class TIAPItemAccKeyFormat : public TIAPItem {
public:
    TIAPItemAccKeyFormat();
    ~TIAPItemAccKeyFormat() override;

    status_t MakeConfigurationView(BView** view, bool useDefault) override;
    status_t GetValue(BMessage* message, bool useDefault) const override;
    // Keeps the value; saves it only when the message's "IAP:SrcApp" is
    // this item's signature (of all the programs that hear a change, the
    // one that offered the item writes the file).
    status_t SetValue(const BMessage& message) override;
    status_t GetString(std::string* value, bool useDefault) const override;
    // Keeps and saves.
    status_t SetString(const std::string& value) override;

    // One menu item for format, marked when it is the value.
    void AddMItem(BMenu* menu, const char* format, bool useDefault) const;

private:
    std::string fFormat;
};

// "FlatToolBar": whether tool bars are drawn flat. Edited with a check box.
class TIAPItemFlatToolBar : public TIAPItem {
public:
    TIAPItemFlatToolBar();
    ~TIAPItemFlatToolBar() override;

    status_t MakeConfigurationView(BView** view, bool useDefault) override;
    status_t GetValue(BMessage* message, bool useDefault) const override;
    // From the bool "FlatToolBar", or else from the archived check box in
    // "_views" ("_val"); keeps and saves it whoever sent it.
    status_t SetValue(const BMessage& message) override;
    status_t GetBool(bool* value, bool useDefault) const override;
    // Keeps the value in memory only.
    status_t SetBool(bool value) override;

private:
    bool fFlat;
};

// The offered accelerator formats, in menu order; the empty format (no
// accelerator) comes after a separator.
extern const char* const kIAPAccKeyFormats[4];

class TInterAppPrefs {
public:
    TInterAppPrefs();
    ~TInterAppPrefs();
    TInterAppPrefs(const TInterAppPrefs&) = delete;
    TInterAppPrefs& operator=(const TInterAppPrefs&) = delete;

    // Given to every item, now and later; not copied.
    status_t SetAppSignatureRef(const char* signature);
    // The store owns the item; an item of a name already held replaces
    // (and deletes) the earlier one.
    status_t AddItem(TIAPItem* item);
    // Told of every value change that SetValue takes.
    status_t AddObserver(const BMessenger& messenger);

    // B_ERROR for a name that no item has.
    status_t GetBool(const char* name, bool* value) const;
    status_t GetString(const char* name, std::string* value) const;
    status_t SetBool(const char* name, bool value);
    status_t SetString(const char* name, const std::string& value);
    // A value message (kMsgIAPValue) for the item it names: the item takes
    // it, and when it did, every observer gets a copy.
    status_t SetValue(const BMessage& message);
    status_t NotifyToObservers(BMessage message);

    // The window side. ShowWindow finds the shared window (or makes one in
    // this process when there is none), brings it forward and adds this
    // store's items to it. Each request that cannot be sent gives the
    // error: B_BAD_PORT_ID when the window is gone, B_TIMED_OUT when it
    // has taken nothing for five seconds (its program is stopped or hangs).
    status_t ShowWindow(BRect frame);
    // Makes and shows the window here; its port, once it exists.
    port_id CreateAndShowWindow(BRect frame);
    status_t AddComponents(port_id port);
    status_t ActivateWindow(port_id port) const;
    // Asks the window to close (hide and revert). Without force only the
    // program that made it may: B_ERROR for the others, with nothing sent.
    status_t CloseWindow(bool force) const;
    // Writes message, flattened, to port, waiting at most five seconds for
    // room in it; B_OK, or the error.
    status_t SendMessage(port_id port, BMessage* message) const;

    bool IsWindowOwner() const { return fWindowOwner; }

private:
    bool fWindowOwner;
    const char* fAppSignature;
    std::list<BMessenger> fObservers;
    std::map<std::string, TIAPItem*> fItems;
};
