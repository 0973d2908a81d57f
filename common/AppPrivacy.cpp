#include "AppPrivacy.h"

#include <Entry.h>
#include <Path.h>
#include <StringUtils.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>

TAPEAppPrivacy gAppPrivacy;

namespace {

// The file the shell ran for a bare command name: the first executable
// regular file of that name in PATH. Empty when there is none.
BString search_path(const char* name)
{
    const char* path = getenv("PATH");
    if (!path)
        return BString();
    BString folders(path);
    int32 start = 0;
    while (start <= folders.Length()) {
        int32 end = folders.FindFirst(':', start);
        if (end < 0)
            end = folders.Length();
        BString folder;
        folders.CopyInto(folder, start, end - start);
        // An empty element means the current folder, as for the shell.
        if (folder.IsEmpty())
            folder = ".";
        const BString candidate = folder + "/" + name;
        BEntry entry(candidate.String(), true);
        if (entry.IsFile() && access(candidate.String(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return BString();
}

} // namespace

void TAppPrivacy::AnalyzeExePath(const char* path)
{
    fExeName = BString();
    fExeFolder = BString();
    if (!path || !*path)
        return;
    BString file(path);
    if (!strchr(path, '/')) {
        const BString found = search_path(path);
        if (!found.IsEmpty())
            file = found;
    }
    BEntry entry(file.String(), true);
    BPath absolute;
    if (entry.InitCheck() != B_OK || entry.GetPath(&absolute) != B_OK) {
        fExeName = extract_file_name(path);
        return;
    }
    const BString text(absolute.Path());
    fExeName = extract_file_name(text);
    fExeFolder = extract_file_folder_path_kernel(text, 1);
}
