#include "media/audio/PlayerAudioTapElement.h"

#include "media/audio/PlayerAudioTap.h"

#include <gst/audio/gstaudiofilter.h>

#include <mutex>

// The GObject type behind the element. Its instance owns one PlayerAudioTap; the tap's prepare
// and process run on the streaming thread only (caps and buffers are serialized on the pad), so
// the tap needs no lock of its own.
struct QcPlayerAudioTap {
    GstAudioFilter parent;
    PlayerAudioTap* tap;
};

struct QcPlayerAudioTapClass {
    GstAudioFilterClass parent_class;
};

G_DEFINE_TYPE(QcPlayerAudioTap, qc_player_audio_tap, GST_TYPE_AUDIO_FILTER)

namespace {

QcPlayerAudioTap* asTap(gpointer object) {
    return reinterpret_cast<QcPlayerAudioTap*>(object);
}

gboolean setup(GstAudioFilter* filter, const GstAudioInfo* info) {
    const bool usable = GST_AUDIO_INFO_FORMAT(info) == GST_AUDIO_FORMAT_F32LE &&
                        GST_AUDIO_INFO_LAYOUT(info) == GST_AUDIO_LAYOUT_INTERLEAVED;
    asTap(filter)->tap->prepare(GST_AUDIO_INFO_RATE(info), usable);
    return TRUE;
}

GstFlowReturn transformInPlace(GstBaseTransform* transform, GstBuffer* buffer) {
    auto* self = asTap(transform);
    const int channels = GST_AUDIO_FILTER_CHANNELS(transform);
    if (channels <= 0)
        return GST_FLOW_OK;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READWRITE))
        return GST_FLOW_OK; // leave the buffer as delivered
    const std::size_t frames = map.size / sizeof(float) / static_cast<std::size_t>(channels);
    self->tap->process(reinterpret_cast<float*>(map.data), frames, channels);
    gst_buffer_unmap(buffer, &map);
    return GST_FLOW_OK;
}

void finalize(GObject* object) {
    delete asTap(object)->tap;
    asTap(object)->tap = nullptr;
    G_OBJECT_CLASS(qc_player_audio_tap_parent_class)->finalize(object);
}

} // namespace

static void qc_player_audio_tap_class_init(QcPlayerAudioTapClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = finalize;
    auto* elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(elementClass, "Player audio effects", "Filter/Effect/Audio",
                                          "Ten-band equaliser, boost and soft limit of the media player",
                                          "QuorvaneConverter");
    GstCaps* caps = gst_caps_from_string("audio/x-raw, format=(string)F32LE, rate=(int)[1, MAX], "
                                         "channels=(int)[1, MAX], layout=(string)interleaved");
    gst_audio_filter_class_add_pad_templates(GST_AUDIO_FILTER_CLASS(klass), caps);
    gst_caps_unref(caps);
    GST_AUDIO_FILTER_CLASS(klass)->setup = setup;
    GST_BASE_TRANSFORM_CLASS(klass)->transform_ip = transformInPlace;
}

static void qc_player_audio_tap_init(QcPlayerAudioTap* self) {
    self->tap = new PlayerAudioTap(nullptr);
    gst_base_transform_set_in_place(GST_BASE_TRANSFORM(self), TRUE);
}

namespace PlayerAudioTapElement {

bool registerElement() {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        // Registering before GStreamer is set up would crash in the type's class set-up.
        if (!gst_is_initialized() && !gst_init_check(nullptr, nullptr, nullptr))
            return;
        registered =
            gst_element_register(nullptr, factoryName, GST_RANK_NONE, qc_player_audio_tap_get_type());
    });
    return registered;
}

GstElement* create(std::shared_ptr<const PlayerAudioEffects> effects) {
    if (!registerElement())
        return nullptr;
    GstElement* element = gst_element_factory_make(factoryName, nullptr);
    if (!element)
        return nullptr;
    auto* self = asTap(element);
    delete self->tap;
    self->tap = new PlayerAudioTap(std::move(effects));
    return element;
}

GstElement* createFilter(std::shared_ptr<const PlayerAudioEffects> effects) {
    GstElement* tap = create(std::move(effects));
    GstElement* before = gst_element_factory_make("audioconvert", nullptr);
    GstElement* after = gst_element_factory_make("audioconvert", nullptr);
    if (!tap || !before || !after) {
        for (GstElement* element : {tap, before, after}) {
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        }
        return nullptr;
    }
    GstElement* bin = gst_bin_new("player-audio-effects");
    gst_bin_add_many(GST_BIN(bin), before, tap, after, nullptr);
    gst_element_link_many(before, tap, after, nullptr);
    GstPad* sink = gst_element_get_static_pad(before, "sink");
    GstPad* src = gst_element_get_static_pad(after, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", sink));
    gst_element_add_pad(bin, gst_ghost_pad_new("src", src));
    gst_object_unref(sink);
    gst_object_unref(src);
    return bin;
}

} // namespace PlayerAudioTapElement
