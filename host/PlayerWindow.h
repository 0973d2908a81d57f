// The player's window: the display title and the file's format, a
// position control that seeks, the elapsed and total time, and the Open,
// Play/Pause and About buttons. Files named on the command line or chosen
// with the open panel play one after another.
#pragma once

#include <Control.h>
#include <Window.h>

#include <memory>
#include <string>
#include <vector>

#include "AddOnLoader.h"
#include "Playback.h"
#include "SoundOutput.h"

class BButton;
class BStringView;
class TOpenPanel;

// The track of the file: shows where playback is; a click or a drag
// chooses a place, and the release invokes the control's message.
class TPositionControl : public BControl {
public:
    TPositionControl(BRect frame, const char* name, BMessage* message);

    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage) override;
    void MouseUp(BPoint where) override;

    // Frames of the file; 0 when there is nothing to seek in.
    void SetRange(int64 frames);
    // Shown, unless the user is dragging.
    void SetPosition(int64 frame);
    int64 Position() const { return fPosition; }

private:
    int64 FrameAt(BPoint where) const;

    int64 fRange;
    int64 fPosition;
};

class TPlayerWindow : public BWindow {
public:
    TPlayerWindow(const TAddOnFolder& addOns, const std::vector<std::string>& files);
    ~TPlayerWindow() override;

    void MessageReceived(BMessage* message) override;
    bool QuitRequested() override;

private:
    // Opens files[index] and plays it, or the next one it can play.
    void Start(size_t index);
    void Stop();
    // The file played (whole or not); on to the next one.
    void Advance();
    // Shows the error in the status line and prints it; the player's run
    // ends with status 1.
    void Fail(const char* key, const std::string& file);
    void SetLabels();
    void ShowPosition(int64 frame);

    const TAddOnFolder& fAddOns;
    std::vector<std::string> fFiles;
    size_t fIndex;
    uint32 fGeneration;   // of the file playing; stale messages are ignored
    std::unique_ptr<TAddOnDecoder> fDecoder;
    std::unique_ptr<TPlayback> fPlayback;
    TSoundOutput fOutput;
    TAudioFileInfo fInfo;
    std::string fStatusKey;     // dictionary key of the status line
    std::string fStatusFile;    // its %File%
    TOpenPanel* fPanel;

    BStringView* fTitleView;
    BStringView* fFormatView;
    TPositionControl* fPositionControl;
    BStringView* fTimeView;
    BButton* fOpenButton;
    BButton* fPlayButton;
    BButton* fAboutButton;
    BStringView* fStatusView;
};
