// The three operations of a run on the file's tag object.
#pragma once

#include "TagApp.h"

#include <MonkeysAudioLib.h>

// -REMOVEALL: drops every field and saves; -1 when either step failed.
int remove_tag(const TTagOption& options, CAPETag* tag);
// Writes the fields given and saves once; 0 also when there is nothing to
// write, -1 when the file may not be written or the library refused.
int add_tag(const TTagOption& options, CAPETag* tag);
// Shows the seven fields as they stand in the file now; -1 when it cannot
// be opened again.
int exp_tag(const TTagOption& options);
