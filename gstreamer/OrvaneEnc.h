// orvaneenc: the encoder element of the GStreamer plug-in. Integer PCM in
// (8 to 32 bits, 1 to 8 channels), a whole APE file of the suite out,
// coded by the codec library at the level of the "level" property, with
// the stream's title, artist, album, comment, date, genre and track as its
// APEv2 tag. The file's header holds sizes known only at the end, so the
// library puts the file together in a temporary file and it goes
// downstream once complete, as one stream of bytes; no muxer is needed.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_ORVANE_ENC (gst_orvane_enc_get_type())
G_DECLARE_FINAL_TYPE(GstOrvaneEnc, gst_orvane_enc, GST, ORVANE_ENC, GstElement)

G_END_DECLS
