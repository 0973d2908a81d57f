// File-name utilities: pure functions on path texts.
//
// Paths are byte strings; "/" separates folders and the last "." of the
// final component starts the extension. Nothing here looks at the file
// system.
#pragma once

#include <String.h>
#include <SupportDefs.h>

// path + "." + ext, unless the final component already has a ".".
BString add_ext(const BString& path, const BString& ext);
// The extension of the final component replaced by ext (added if none).
BString reext(const BString& path, const BString& ext);
// Everything after the last "." of the whole text (slashes included).
BString extract_file_ext(const BString& path);
// The first (last slash + extra) bytes; empty without a "/".
BString extract_file_folder_path_kernel(const BString& path, int32 extra);
// Everything after the last "/".
BString extract_file_name(const BString& path);
// The final component without its extension.
BString extract_file_body(const BString& path);
// Without leading and trailing blanks and tabs; a text of nothing but
// blanks and tabs gives an empty text.
BString trim(const BString& text);
