#include "MiscWindowUtils.h"
#include "MiscTextUtils.h"

#include <Application.h>
#include <Bitmap.h>
#include <Button.h>
#include <CheckBox.h>
#include <EntryRef.h>
#include <File.h>
#include <FilePanel.h>
#include <MenuField.h>
#include <MimeType.h>
#include <OS.h>
#include <RadioButton.h>
#include <ReplacementFile.h>
#include <Roster.h>
#include <StringUtils.h>
#include <StringView.h>
#include <TextControl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const bigtime_t kClickPause = 50000;
// Room for the mark in front of a radio button's or check box's label.
const float kMarkWidth = 17;
const float kLabelMargin = 2;
// The longest destination path copy_file takes, terminator included.
const size_t kCopyPathSize = 256;

float label_width(const BView* view, const char* text)
{
    return std::ceil(view->StringWidth(text != nullptr ? text : ""));
}

// Draws a change at once when the caller holds the button's window, so
// that the pressed look is seen during the pause.
void show_now(BButton* button)
{
    BWindow* window = button->Window();
    if (window != nullptr && window->IsLocked())
        window->UpdateIfNeeded();
}

bool same_file(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Where copy_file writes: the destination, or the source's name in it
// when it is a folder; a link is followed to what it names, as writing
// through it would. Empty when the path does not fit.
std::string copy_destination(const char* source, const char* destination)
{
    std::string path = destination;
    struct stat st;
    if (stat(destination, &st) == 0 && S_ISDIR(st.st_mode)) {
        if (path.empty() || path.back() != '/')
            path += '/';
        path += extract_file_name(BString(source)).String();
    }
    if (path.size() >= kCopyPathSize)
        return std::string();
    struct stat link;
    if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* resolved = realpath(path.c_str(), nullptr)) {
            path = resolved;
            free(resolved);
        }
    }
    return path;
}

bool copy_data(BFile* from, BFile* to)
{
    std::vector<char> buffer(65536);
    for (;;) {
        const ssize_t got = from->Read(buffer.data(), buffer.size());
        if (got <= 0)
            return got == 0;
        if (to->Write(buffer.data(), size_t(got)) != got)
            return false;
    }
}

// Single attributes that cannot be copied are left out.
void copy_attributes(BNode* from, BNode* to)
{
    char name[B_ATTR_NAME_LENGTH];
    from->RewindAttrs();
    while (from->GetNextAttrName(name) == B_OK) {
        attr_info info;
        if (from->GetAttrInfo(name, &info) != B_OK || info.size < 0)
            continue;
        std::vector<char> value(size_t(info.size));
        ssize_t got = from->ReadAttr(name, info.type, 0, value.data(), value.size());
        if (got >= 0)
            to->WriteAttr(name, info.type, 0, value.data(), size_t(got));
    }
}

}  // namespace

int32 show_alert(const char* title, const char* text, const char* button0, const char* button1,
                 const char* button2, long escapeIndex, alert_type type)
{
    std::string message = std::string(title != nullptr ? title : "") + "\n\n"
        + (text != nullptr ? text : "");
    BAlert* alert = new BAlert(title, message.c_str(), button0, button1, button2,
        B_WIDTH_AS_USUAL, type);
    const char* labels[3] = {button0, button1, button2};
    for (int32 i = 0; i < 3; i++) {
        if (labels[i] == nullptr)
            continue;
        alert->SetShortcut(i, i == escapeIndex ? char(B_ESCAPE) : short_cut_from_label(labels[i]));
    }
    return alert->Go();
}

void click_button(BButton* button)
{
    if (button == nullptr)
        return;
    button->SetValue(B_CONTROL_ON);
    show_now(button);
    snooze(kClickPause);
    button->SetValue(B_CONTROL_OFF);
    show_now(button);
    button->Invoke();
}

void adjust_txtctrl_divider(BTextControl* control)
{
    if (control != nullptr)
        control->SetDivider(label_width(control, control->Label()) + kLabelMargin);
}

void adjust_mfield_divider(BMenuField* field)
{
    if (field != nullptr)
        field->SetDivider(label_width(field, field->Label()) + kLabelMargin);
}

void adjust_strview_width(BStringView* view)
{
    if (view != nullptr)
        view->ResizeTo(label_width(view, view->Text()) + kLabelMargin, view->Bounds().bottom);
}

void adjust_rbutton_width(BRadioButton* button)
{
    if (button != nullptr)
        button->ResizeTo(label_width(button, button->Label()) + kMarkWidth + kLabelMargin,
            button->Bounds().bottom);
}

void adjust_cbox_width(BCheckBox* box)
{
    if (box != nullptr)
        box->ResizeTo(label_width(box, box->Label()) + kMarkWidth + kLabelMargin,
            box->Bounds().bottom);
}

void adjust_button_width(BButton* button)
{
    if (button == nullptr)
        return;
    float width = 0, height = 0;
    button->GetPreferredSize(&width, &height);
    button->ResizeTo(width, button->Bounds().bottom);
}

int32 copy_file(const char* source, const char* destination)
{
    if (source == nullptr || destination == nullptr || *destination == '\0')
        return -1;
    BFile from(source, B_READ_ONLY);
    struct stat sourceStat;
    if (from.InitCheck() != B_OK || from.GetStat(&sourceStat) != B_OK
        || !S_ISREG(sourceStat.st_mode))
        return -1;
    std::string path = copy_destination(source, destination);
    if (path.empty())
        return -1;
    struct stat existing;
    if (stat(path.c_str(), &existing) == 0) {
        if (same_file(existing, sourceStat))
            return 0;
        // A destination the user may not write stays as it is.
        BFile check(path.c_str(), B_READ_WRITE);
        if (check.InitCheck() != B_OK)
            return -1;
    }

    // Only the owner may see the copy until it is complete.
    BReplacementFile to;
    if (to.SetTo(path.c_str(), 0600) != B_OK || !copy_data(&from, &to))
        return -1;
    copy_attributes(&from, &to);
    if (chmod(to.Path(), sourceStat.st_mode & 0777) != 0 || to.Commit() != B_OK)
        return -1;
    return 0;
}

int32 get_icons(BBitmap** large, BBitmap** mini)
{
    app_info info;
    BMimeType type;
    if (be_app == nullptr || be_app->GetAppInfo(&info) != B_OK || type.SetTo(info.signature) != B_OK)
        return -1;
    struct Wanted {
        BBitmap** bitmap;
        float size;
        icon_size which;
    };
    for (const Wanted& wanted : {Wanted{large, 32, B_LARGE_ICON}, Wanted{mini, 16, B_MINI_ICON}}) {
        if (wanted.bitmap == nullptr)
            continue;
        BBitmap* bitmap = new BBitmap(BRect(0, 0, wanted.size - 1, wanted.size - 1), B_CMAP8);
        // A type without this icon leaves it transparent.
        std::vector<uint8> clear(size_t(bitmap->BitsLength()), B_TRANSPARENT_MAGIC_CMAP8);
        bitmap->SetBits(clear.data(), int32(clear.size()), 0, B_CMAP8);
        type.GetIcon(bitmap, wanted.which);
        *wanted.bitmap = bitmap;
    }
    return 0;
}

status_t show_help(const char* path)
{
    entry_ref ref;
    status_t status = get_ref_for_path(path, &ref);
    if (status != B_OK)
        return status;
    status = be_roster->Launch(&ref);
    return status == B_ALREADY_RUNNING ? B_OK : status;
}

int32 set_file_panel_priority(BFilePanel* panel, long priority)
{
    if (panel == nullptr || panel->Window() == nullptr)
        return -1;
    return set_thread_priority(panel->Window()->Thread(), int32(priority)) < 0 ? -1 : 0;
}
