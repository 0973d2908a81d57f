// orvanedec: the decoder element of the GStreamer plug-in. It takes the
// suite's APE files (caps audio/x-velmor-ape, found by the plug-in's type
// finder) from any source, pulled or pushed, and decodes them through the
// codec library: raw integer PCM with exact timestamps, duration and
// position queries, flushing and accurate TIME seeks where upstream can
// seek, and the file's tags.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_ORVANE_DEC (gst_orvane_dec_get_type())
G_DECLARE_FINAL_TYPE(GstOrvaneDec, gst_orvane_dec, GST, ORVANE_DEC, GstElement)

G_END_DECLS

// The caps the type finder gives the suite's APE files.
#define ORVANE_APE_CAPS "audio/x-velmor-ape"
