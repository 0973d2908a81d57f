// The GStreamer plug-in "orvane": a type finder that knows the suite's APE
// files by their first eight bytes, the decoder element orvanedec that
// plays them from any source, and the encoder element orvaneenc that makes
// them, both through the codec library. The caps are the suite's own, so no
// other format's elements are offered these files, and the elements rank
// primary, so that decodebin, playbin and encodebin pick them.
#include <gst/gst.h>

#include <cstring>

// The plug-in's source module, as GST_PLUGIN_DEFINE records it.
#define PACKAGE "velmor-ape-suite"

#include "OrvaneDec.h"
#include "OrvaneEnc.h"

namespace {

const guint8 kMagic[8] = {'V', 'A', 'P', 'E', '\r', '\n', 0x1A, '\n'};

void find_type(GstTypeFind* find, gpointer caps)
{
    const guint8* data = gst_type_find_peek(find, 0, sizeof kMagic);
    if (data != nullptr && memcmp(data, kMagic, sizeof kMagic) == 0)
        gst_type_find_suggest(find, GST_TYPE_FIND_MAXIMUM, static_cast<GstCaps*>(caps));
}

// The type finder runs before the tag finders (primary + 100 and more):
// the APEv2 tag at the end of a tagged file would otherwise make it a tag
// container, with the file itself as its unknown content. Eight bytes at
// the start are certain enough to go first.
const guint kTypeFindRank = GST_RANK_PRIMARY + 110;

gboolean plugin_init(GstPlugin* plugin)
{
    GstCaps* caps = gst_caps_new_empty_simple(ORVANE_APE_CAPS);
    const gboolean found = gst_type_find_register(plugin, "velmor-ape", kTypeFindRank, find_type, "ape", caps,
        caps, GDestroyNotify(gst_caps_unref));
    return found && gst_element_register(plugin, "orvanedec", GST_RANK_PRIMARY, GST_TYPE_ORVANE_DEC)
        && gst_element_register(plugin, "orvaneenc", GST_RANK_PRIMARY, GST_TYPE_ORVANE_ENC);
}

}  // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, orvane,
    "Plays and makes the VELMOR suite's APE files (those of Fennick) through its codec library",
    plugin_init, "1.0", "unknown", "VELMOR APE suite", "Unknown package origin")
