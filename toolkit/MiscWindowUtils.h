// The toolkit's window helpers: alerts, clicks, fitting controls to their
// labels, files, icons and help. They keep no state. Part of
// toolkit_interface, on the interface kit.
#pragma once

#include <Alert.h>
#include <SupportDefs.h>

class BBitmap;
class BButton;
class BCheckBox;
class BFilePanel;
class BMenuField;
class BRadioButton;
class BStringView;
class BTextControl;

// An alert titled title that shows the title, a blank line and the text,
// with the buttons whose labels are not null. The button escapeIndex
// answers Escape; the others answer the shortcut letter of their label.
// Waits for a button and returns its index.
int32 show_alert(const char* title, const char* text, const char* button0, const char* button1,
                 const char* button2, long escapeIndex, alert_type type);
// Shows the button pressed for 50 ms, releases it and invokes it. Blocks
// the caller that long; a null button is left alone.
void click_button(BButton* button);

// Fit a control to its label in the control's own font: the divider of a
// text control or menu field is put right after the label, a string view,
// radio button or check box is made as wide as its text (and mark) needs,
// a button as wide as it prefers. Heights stay as they are.
void adjust_txtctrl_divider(BTextControl* control);
void adjust_strview_width(BStringView* view);
void adjust_rbutton_width(BRadioButton* button);
void adjust_mfield_divider(BMenuField* field);
void adjust_cbox_width(BCheckBox* box);
void adjust_button_width(BButton* button);

// Copies a regular file's data, permissions and attributes to destination,
// a file path or a folder (the copy then takes the source's name). The
// copy is written beside its destination under another name and put in
// place whole, so a failed copy leaves no partial file. 0, or -1 when the
// source cannot be read, the destination path is longer than 255 bytes,
// an existing destination cannot be written, or writing fails. Copying a
// file onto itself leaves it as it is.
int32 copy_file(const char* source, const char* destination);
// The running application's icons, from the type database entry of its
// signature: new B_CMAP8 bitmaps, 32 x 32 and 16 x 16, for the pointers
// that are not null (the caller owns them). -1 when the application has
// no valid signature; then nothing is made.
int32 get_icons(BBitmap** large, BBitmap** mini);
// Opens a document with its preferred application: B_OK, also when that
// application was already running, otherwise the launch error.
status_t show_help(const char* path);
// The thread priority of a file panel's window: 0, or -1 for a null panel
// (or one whose window runs no thread).
int32 set_file_panel_priority(BFilePanel* panel, long priority);
