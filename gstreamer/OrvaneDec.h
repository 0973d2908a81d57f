// orvanedec: the decoder element of the GStreamer plug-in. It takes the
// suite's APE files (caps audio/x-velmor-ape, found by the plug-in's type
// finder), asks upstream for the local file they come from, and plays that
// file through the Orvane add-on: raw integer PCM with exact timestamps,
// duration and position queries, flushing and accurate TIME seeks, and the
// file's tags.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_ORVANE_DEC (gst_orvane_dec_get_type())
G_DECLARE_FINAL_TYPE(GstOrvaneDec, gst_orvane_dec, GST, ORVANE_DEC, GstElement)

G_END_DECLS

// The caps the type finder gives the suite's APE files.
#define ORVANE_APE_CAPS "audio/x-velmor-ape"
