#include "OpenPanel.h"

#include <AppDefs.h>
#include <Button.h>
#include <Message.h>
#include <Locale.h>
#include <TextControl.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "PlayerText.h"

namespace {

enum : uint32 {
    kMsgChoose = 0x43687365,   // 'Chse'
    kMsgPathTyped = 0x50617468,   // 'Path'
    kMsgCancel = 0x436E636C,   // 'Cncl'
};

const float kRowHeight = 16;

struct Entry {
    std::string name;
    bool folder;
};

std::string parent_of(const std::string& folder)
{
    if (folder == "/")
        return folder;
    const size_t slash = folder.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : folder.substr(0, slash);
}

std::string join(const std::string& folder, const std::string& name)
{
    if (name == "..")
        return parent_of(folder);
    return folder == "/" ? "/" + name : folder + "/" + name;
}

}  // namespace

// The entries of the folder, one a row; a press selects, a double click
// or Enter chooses.
class TEntryList : public BView {
public:
    explicit TEntryList(BRect frame)
        : BView(frame, "EntryList", B_FOLLOW_ALL, B_WILL_DRAW | B_NAVIGABLE),
          fSelected(0),
          fTop(0)
    {
        SetViewColor(ui_color(B_DOCUMENT_BACKGROUND_COLOR));
    }

    void Load(const std::string& folder)
    {
        fEntries.clear();
        if (folder != "/")
            fEntries.push_back({"..", true});
        if (DIR* dir = opendir(folder.c_str())) {
            std::vector<Entry> found;
            while (dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name == "." || name == ".." || name[0] == '.')
                    continue;
                struct stat st;
                if (stat(join(folder, name).c_str(), &st) != 0)
                    continue;
                if (S_ISDIR(st.st_mode) || S_ISREG(st.st_mode))
                    found.push_back({name, S_ISDIR(st.st_mode)});
            }
            closedir(dir);
            std::sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) {
                return a.folder != b.folder ? a.folder : a.name < b.name;
            });
            fEntries.insert(fEntries.end(), found.begin(), found.end());
        }
        fSelected = 0;
        fTop = 0;
        Invalidate();
    }

    // The selected entry's name, or empty.
    std::string Selected() const
    {
        return fSelected < fEntries.size() ? fEntries[fSelected].name : "";
    }

    void Draw(BRect) override
    {
        font_height height;
        GetFontHeight(&height);
        const int32 rows = VisibleRows();
        for (int32 row = 0; row < rows && fTop + size_t(row) < fEntries.size(); row++) {
            const size_t index = fTop + size_t(row);
            const BRect frame(0, row * kRowHeight, Bounds().right, (row + 1) * kRowHeight - 1);
            if (index == fSelected) {
                SetHighColor(ui_color(B_CONTROL_HIGHLIGHT_COLOR));
                FillRect(frame);
            }
            SetHighColor(ui_color(B_DOCUMENT_TEXT_COLOR));
            const std::string text = fEntries[index].name + (fEntries[index].folder ? "/" : "");
            DrawString(text.c_str(), BPoint(6, frame.bottom - height.descent - 1));
        }
        SetHighColor(ui_color(B_CONTROL_BORDER_COLOR));
        StrokeRect(Bounds());
    }

    void MouseDown(BPoint where) override
    {
        MakeFocus(true);
        const size_t index = fTop + size_t(where.y / kRowHeight);
        if (index >= fEntries.size())
            return;
        Select(index);
        int32 clicks = 1;
        if (Window()->CurrentMessage() != nullptr)
            Window()->CurrentMessage()->FindInt32("clicks", &clicks);
        if (clicks == 2)
            Window()->PostMessage(kMsgChoose);
    }

    void KeyDown(const char* bytes, int32 numBytes) override
    {
        const int32 page = std::max<int32>(VisibleRows() - 1, 1);
        switch (numBytes == 1 ? bytes[0] : 0) {
            case B_UP_ARROW:
                Select(fSelected > 0 ? fSelected - 1 : 0);
                break;
            case B_DOWN_ARROW:
                Select(fSelected + 1);
                break;
            case B_PAGE_UP:
                Select(fSelected > size_t(page) ? fSelected - size_t(page) : 0);
                break;
            case B_PAGE_DOWN:
                Select(fSelected + size_t(page));
                break;
            case B_ENTER:
                Window()->PostMessage(kMsgChoose);
                break;
            default:
                BView::KeyDown(bytes, numBytes);
        }
    }

private:
    int32 VisibleRows() const { return std::max<int32>(int32(Bounds().Height() / kRowHeight), 1); }

    // Selects an entry and scrolls it into sight.
    void Select(size_t index)
    {
        if (fEntries.empty())
            return;
        fSelected = std::min(index, fEntries.size() - 1);
        const size_t rows = size_t(VisibleRows());
        if (fSelected < fTop)
            fTop = fSelected;
        else if (fSelected >= fTop + rows)
            fTop = fSelected - rows + 1;
        Invalidate();
    }

    std::vector<Entry> fEntries;
    size_t fSelected;
    size_t fTop;
};

TOpenPanel::TOpenPanel(BMessenger target)
    : BWindow(BRect(140, 140, 539, 459), "", B_TITLED_WINDOW, B_NOT_ZOOMABLE),
      fTarget(target)
{
    BView* top = new BView(Bounds(), "OpenPanelView", B_FOLLOW_ALL, B_WILL_DRAW);
    top->SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
    AddChild(top);
    const BRect bounds = Bounds();
    top->AddChild(fPathControl = new BTextControl(BRect(10, 10, bounds.right - 10, 32), "TextPath", "", "",
        new BMessage(kMsgPathTyped), B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP));
    top->AddChild(fList = new TEntryList(BRect(10, 40, bounds.right - 10, bounds.bottom - 44)));
    top->AddChild(fCancelButton = new BButton(BRect(bounds.right - 200, bounds.bottom - 34, bounds.right - 110,
        bounds.bottom - 10), "ButtonCancel", "", new BMessage(kMsgCancel), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM));
    top->AddChild(fOpenButton = new BButton(BRect(bounds.right - 100, bounds.bottom - 34, bounds.right - 10,
        bounds.bottom - 10), "ButtonOpenFile", "", new BMessage(kMsgChoose), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM));
    fOpenButton->MakeDefault(true);
    SetLabels();
    char cwd[PATH_MAX];
    SetFolder(getcwd(cwd, sizeof cwd) != nullptr ? cwd : "/");
    fList->MakeFocus(true);
}

TOpenPanel::~TOpenPanel() = default;

void TOpenPanel::Appear()
{
    if (!Lock())
        return;
    if (IsHidden())
        Show();
    else
        Activate(true);
    Unlock();
}

bool TOpenPanel::QuitRequested()
{
    if (!IsHidden())
        Hide();
    return false;
}

void TOpenPanel::SetFolder(const std::string& folder)
{
    char resolved[PATH_MAX];
    fFolder = realpath(folder.c_str(), resolved) != nullptr ? resolved : folder;
    fPathControl->SetText(fFolder.c_str());
    fList->Load(fFolder);
}

void TOpenPanel::Choose(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        SetFolder(path);
        return;
    }
    BMessage message(kMsgOpenFiles);
    message.AddString("path", path.c_str());
    fTarget.SendMessage(&message);
    Hide();
}

void TOpenPanel::SetLabels()
{
    SetTitle(player_text("@Panel_Title@").String());
    fCancelButton->SetLabel(player_text("@Button_Cancel@").String());
    fOpenButton->SetLabel(player_text("@Button_Choose@").String());
}

void TOpenPanel::MessageReceived(BMessage* message)
{
    switch (message->what) {
        case kMsgChoose: {
            const std::string name = fList->Selected();
            if (!name.empty())
                Choose(join(fFolder, name));
            break;
        }
        case kMsgPathTyped: {
            std::string path = fPathControl->Text();
            if (!path.empty() && path[0] != '/')
                path = join(fFolder, path);
            Choose(path);
            break;
        }
        case kMsgCancel:
            Hide();
            break;
        case BLocale::kLanguageChanged:
            SetLabels();
            break;
        default:
            BWindow::MessageReceived(message);
    }
}
