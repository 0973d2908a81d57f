#include "PlayerWindow.h"

#include <Application.h>
#include <AppDefs.h>
#include <Button.h>
#include <Message.h>
#include <Locale.h>
#include <StringView.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "OpenPanel.h"
#include "PlayerApp.h"
#include "PlayerCommands.h"
#include "PlayerText.h"

namespace {

enum : uint32 {
    kMsgOpen = 0x4F70656E,   // 'Open'
    kMsgPlayPause = 0x506C5073,   // 'PlPs'
    kMsgAbout = 0x41627574,   // 'Abut'
    kMsgSeek = 0x5365656B,   // 'Seek'
    kMsgProgress = 0x50726F67,   // 'Prog'
    kMsgEnded = 0x456E6464,   // 'Endd'
};

const float kWidth = 440;
const float kHeight = 140;

}  // namespace

TPositionControl::TPositionControl(BRect frame, const char* name, BMessage* message)
    : BControl(frame, name, "", message, B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP, B_WILL_DRAW | B_NAVIGABLE),
      fRange(0),
      fPosition(0)
{
}

void TPositionControl::SetRange(int64 frames)
{
    fRange = frames > 0 ? frames : 0;
    fPosition = 0;
    Invalidate();
}

void TPositionControl::SetPosition(int64 frame)
{
    if (IsTracking() || frame == fPosition)
        return;
    fPosition = frame;
    Invalidate();
}

int64 TPositionControl::FrameAt(BPoint where) const
{
    const float width = Bounds().Width() - 8;
    float share = (where.x - 4) / (width > 1 ? width : 1);
    share = share < 0 ? 0 : share > 1 ? 1 : share;
    return int64(share * double(fRange));
}

void TPositionControl::Draw(BRect)
{
    const BRect bounds = Bounds();
    const float middle = (bounds.top + bounds.bottom) / 2;
    BRect track(4, middle - 2, bounds.right - 4, middle + 2);
    SetHighColor(tint_color(ui_color(B_PANEL_BACKGROUND_COLOR), 1.3f));
    FillRect(track);
    const float share = fRange > 0 ? float(double(fPosition) / double(fRange)) : 0;
    const float x = track.left + share * track.Width();
    if (fRange > 0) {
        SetHighColor(ui_color(B_CONTROL_HIGHLIGHT_COLOR));
        FillRect(BRect(track.left, track.top, x, track.bottom));
        SetHighColor(ui_color(B_CONTROL_BORDER_COLOR));
        FillRect(BRect(x - 3, bounds.top + 1, x + 3, bounds.bottom - 1));
    }
    SetHighColor(ui_color(B_CONTROL_BORDER_COLOR));
    StrokeRect(track);
}

void TPositionControl::MouseDown(BPoint where)
{
    if (fRange <= 0 || !IsEnabled())
        return;
    SetTracking(true);
    SetMouseEventMask(B_POINTER_EVENTS, B_NO_POINTER_HISTORY);
    fPosition = FrameAt(where);
    Invalidate();
}

void TPositionControl::MouseMoved(BPoint where, uint32, const BMessage*)
{
    if (!IsTracking())
        return;
    fPosition = FrameAt(where);
    Invalidate();
}

void TPositionControl::MouseUp(BPoint where)
{
    if (!IsTracking())
        return;
    fPosition = FrameAt(where);
    SetTracking(false);
    Invalidate();
    Invoke();
}

TPlayerWindow::TPlayerWindow(const TAddOnFolder& addOns, const std::vector<std::string>& files)
    : BWindow(BRect(100, 100, 100 + kWidth - 1, 100 + kHeight - 1), "", B_TITLED_WINDOW,
          B_NOT_ZOOMABLE | B_NOT_V_RESIZABLE),
      fAddOns(addOns),
      fFiles(files),
      fIndex(0),
      fGeneration(0),
      fPanel(nullptr)
{
    BView* top = new BView(Bounds(), "PlayerView", B_FOLLOW_ALL, B_WILL_DRAW);
    top->SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
    AddChild(top);
    const float right = kWidth - 11;
    top->AddChild(fTitleView = new BStringView(BRect(10, 10, right, 26), "StrViewTitle", "",
        B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP));
    top->AddChild(fFormatView = new BStringView(BRect(10, 30, right, 44), "StrViewFormat", "",
        B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP));
    top->AddChild(fPositionControl = new TPositionControl(BRect(10, 54, right - 100, 70), "Position",
        new BMessage(kMsgSeek)));
    top->AddChild(fTimeView = new BStringView(BRect(right - 95, 54, right, 70), "StrViewTime", "",
        B_FOLLOW_RIGHT | B_FOLLOW_TOP));
    fTimeView->SetAlignment(B_ALIGN_RIGHT);
    top->AddChild(fOpenButton = new BButton(BRect(10, 82, 110, 106), "ButtonOpen", "", new BMessage(kMsgOpen)));
    top->AddChild(fPlayButton = new BButton(BRect(120, 82, 220, 106), "ButtonPlay", "",
        new BMessage(kMsgPlayPause)));
    top->AddChild(fAboutButton = new BButton(BRect(230, 82, 350, 106), "ButtonAbout", "",
        new BMessage(kMsgAbout)));
    top->AddChild(fStatusView = new BStringView(BRect(10, 116, right, 130), "StrViewStatus", "",
        B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP));
    fPlayButton->MakeDefault(true);
    SetLabels();
    if (!fFiles.empty())
        Start(0);
}

TPlayerWindow::~TPlayerWindow()
{
    Stop();
    // A window goes by Quit, from its own thread or with it locked.
    if (fPanel != nullptr && fPanel->Lock())
        fPanel->Quit();
}

bool TPlayerWindow::QuitRequested()
{
    Stop();
    be_app->PostMessage(B_QUIT_REQUESTED);
    return true;
}

void TPlayerWindow::Stop()
{
    fOutput.Close();
    fPlayback.reset();
    fDecoder.reset();
    fGeneration++;
}

void TPlayerWindow::Start(size_t index)
{
    Stop();
    fStatusKey.clear();
    for (fIndex = index; fIndex < fFiles.size(); fIndex++) {
        const std::string& file = fFiles[fIndex];
        fDecoder = fAddOns.Open(file);
        if (fDecoder == nullptr) {
            Fail("@Err_No_AddOn %File%@", file);
            continue;
        }
        fInfo = fDecoder->Info();
        fPlayback = std::make_unique<TPlayback>(fDecoder.get(), fInfo, TPlayback::kWiden24);
        if (!fPlayback->IsPlayable()) {
            Fail("@Err_Bad_Format %File%@", file);
            Stop();
            continue;
        }
        const uint32 generation = fGeneration;
        BMessenger self(this);
        TSoundOutput::Listener listener;
        // Told once the device has played out its last buffers too.
        const double drain = 2.0 * 4096 / fPlayback->SampleRate();
        listener.ended = [self, generation, drain] {
            std::thread([self, generation, drain] {
                std::this_thread::sleep_for(std::chrono::duration<double>(drain));
                BMessage message(kMsgEnded);
                message.AddInt32("generation", int32(generation));
                self.SendMessage(&message);
            }).detach();
        };
        listener.progress = [self, generation](int64 frame) {
            BMessage message(kMsgProgress);
            message.AddInt32("generation", int32(generation));
            message.AddInt64("frame", frame);
            // Never waits: the window may be closing the output, which
            // waits for this thread.
            self.SendMessage(&message, static_cast<BHandler*>(nullptr), 0);
        };
        std::string why;
        if (!fOutput.Open(fPlayback.get(), listener, &why)) {
            Fail("@Err_Sound_Output %Reason%@", why);
            Stop();
            break;
        }
        fPositionControl->SetRange(fDecoder->CanSeek() ? fPlayback->Length() : 0);
        fOutput.SetPaused(false);
        break;
    }
    SetLabels();
    ShowPosition(0);
}

void TPlayerWindow::Fail(const char* key, const std::string& file)
{
    fStatusKey = key;
    fStatusFile = file;
    print_error(player_text(key, {{"%File%", file}, {"%Reason%", file}}));
    be_app->PostMessage(kMsgPlayerFailed);
}

void TPlayerWindow::Advance()
{
    // A file that stopped short is told, and the next one plays all the
    // same; the status line keeps telling it unless that one has
    // something to say.
    const bool damaged = fPlayback != nullptr && fPlayback->Damaged();
    if (damaged)
        Fail("@Err_Damaged %File%@", fFiles[fIndex]);
    const std::string key = fStatusKey;
    const std::string file = fStatusFile;
    if (fIndex + 1 < fFiles.size()) {
        Start(fIndex + 1);
    } else {
        Stop();
        fIndex = fFiles.size();
        SetLabels();
        ShowPosition(0);
    }
    if (damaged && fStatusKey.empty()) {
        fStatusKey = key;
        fStatusFile = file;
        SetLabels();
    }
}

void TPlayerWindow::ShowPosition(int64 frame)
{
    fPositionControl->SetPosition(frame);
    const double rate = fPlayback != nullptr ? fPlayback->SampleRate() : 0;
    if (rate <= 0) {
        fTimeView->SetText("");
        return;
    }
    const std::string text = format_time(frame / rate) + " / " + format_time(fPlayback->Length() / rate);
    fTimeView->SetText(text.c_str());
}

void TPlayerWindow::SetLabels()
{
    const bool playing = fPlayback != nullptr && !fOutput.IsPaused();
    fOpenButton->SetLabel(player_text("@Button_Open@").String());
    fPlayButton->SetLabel(player_text(playing ? "@Button_Pause@" : "@Button_Play@").String());
    fAboutButton->SetLabel(player_text("@Button_About@").String());
    fPlayButton->SetEnabled(!fFiles.empty());
    if (fPlayback != nullptr) {
        const std::string title = display_title(fInfo, fFiles[fIndex]);
        fTitleView->SetText(title.c_str());
        SetTitle(player_text("@Title_Playing %Title%@", {{"%Title%", title}}).String());
        char rate[32], bits[32];
        snprintf(rate, sizeof rate, "%.9g", fInfo.sampleRate);
        snprintf(bits, sizeof bits, "%.9g", fInfo.bitsPerSample);
        fFormatView->SetText(player_text("@Format %Type% %Rate% %Bits% %Channels%@",
            {{"%Type%", fInfo.typeDescription}, {"%Rate%", rate}, {"%Bits%", bits},
             {"%Channels%", std::to_string(fInfo.channels)}}).String());
    } else {
        fTitleView->SetText(player_text(fFiles.empty() ? "@No_File@" : "@Ended@").String());
        fFormatView->SetText("");
        SetTitle(player_text("@Title_Player@").String());
    }
    if (!fStatusKey.empty()) {
        fStatusView->SetText(player_text(fStatusKey.c_str(),
            {{"%File%", fStatusFile}, {"%Reason%", fStatusFile}}).String());
    } else if (fPlayback != nullptr) {
        fStatusView->SetText(player_text("@Track %Index% %Count%@",
            {{"%Index%", std::to_string(fIndex + 1)}, {"%Count%", std::to_string(fFiles.size())}}).String());
    } else {
        fStatusView->SetText("");
    }
}

void TPlayerWindow::MessageReceived(BMessage* message)
{
    int32 generation = -1;
    switch (message->what) {
        case kMsgOpen:
            if (fPanel == nullptr)
                fPanel = new TOpenPanel(BMessenger(this));
            fPanel->Appear();
            break;
        case kMsgOpenFiles: {
            const size_t first = fFiles.size();
            const char* path = nullptr;
            for (int32 i = 0; message->FindString("path", i, &path) == B_OK; i++)
                fFiles.push_back(path);
            // Nothing playing: the new files start at once.
            if (fPlayback == nullptr && fFiles.size() > first)
                Start(first);
            else
                SetLabels();
            break;
        }
        case kMsgPlayPause:
            if (fPlayback == nullptr) {
                if (!fFiles.empty())
                    Start(fIndex < fFiles.size() ? fIndex : 0);
            } else {
                fOutput.SetPaused(!fOutput.IsPaused());
                SetLabels();
            }
            break;
        case kMsgSeek:
            if (fPlayback != nullptr && fDecoder->CanSeek()) {
                const int64 frame = fPositionControl->Position();
                fOutput.WithLock([&] { fPlayback->Seek(frame); });
                ShowPosition(frame);
            }
            break;
        case kMsgAbout: {
            std::shared_ptr<TPlayerAddOn> addOn = fDecoder != nullptr ? fDecoder->AddOn() : nullptr;
            if (addOn == nullptr || !addOn->About(fDecoder->PluginIndex())) {
                for (const std::shared_ptr<TPlayerAddOn>& candidate : fAddOns.AddOns()) {
                    if (candidate->About())
                        break;
                }
            }
            break;
        }
        case kMsgProgress:
            if (message->FindInt32("generation", &generation) == B_OK && uint32(generation) == fGeneration) {
                int64 frame = 0;
                message->FindInt64("frame", &frame);
                // What is heard lags a buffer behind what was handed out.
                frame -= fOutput.BufferFrames();
                ShowPosition(frame > 0 ? frame : 0);
            }
            break;
        case kMsgEnded:
            if (message->FindInt32("generation", &generation) == B_OK && uint32(generation) == fGeneration)
                Advance();
            break;
        case BLocale::kLanguageChanged:
            SetLabels();
            break;
        default:
            BWindow::MessageReceived(message);
    }
}
