// Where the running program lives, and the state of its codec run.
#pragma once

#include <String.h>
#include <SupportDefs.h>
#include <image.h>

class TAppPrivacy {
public:
    TAppPrivacy() = default;
    virtual ~TAppPrivacy() = default;

    // Works out the executable's name and folder from the running
    // program's own image, as the platform reports it (links resolved,
    // wherever the program was started from and however it was named).
    // path (argv[0]) gives the name only where the platform cannot tell;
    // the folder then stays empty.
    void AnalyzeExePath(const char* path);

    // The executable's folder, ending in "/"; empty before AnalyzeExePath.
    BString ExePath() const { return fExeFolder; }
    BString ExeName() const { return fExeName; }

private:
    BString fExeName;
    BString fExeFolder;
};

class TAPEAppPrivacy : public TAppPrivacy {
public:
    TAPEAppPrivacy() = default;
    ~TAPEAppPrivacy() override = default;

    // system_time() just before the codec library call; read by the
    // progress callbacks.
    bigtime_t start_time = 0;
    // The loaded codec library; negative when none is loaded.
    image_id lib_image = -1;
};

// The one record of a command-line program, defined in common/.
extern TAPEAppPrivacy gAppPrivacy;
