#pragma once

#include "media/audio/PlayerAudioEffects.h"

#include <gst/gst.h>

#include <memory>

// Our GStreamer audio element ("qcplayeraudiotap"): it runs a `PlayerAudioTap` in place on
// interleaved F32LE samples, on the pipeline's streaming thread. The player puts
// `createFilter` into playbin's "audio-filter", so boost and the equaliser act on every stream
// with sound. The element is registered inside the process, never installed as a plugin; any
// thread may call these functions. The element keeps the effects block
// alive through its shared pointer for as long as it exists. GStreamer is initialised on first
// use when nobody has done it yet.
namespace PlayerAudioTapElement {

inline constexpr const char* factoryName = "qcplayeraudiotap";

// Registers the element with the process's registry; idempotent. False if GStreamer refused.
bool registerElement();

// A new element (a floating reference, as gst_element_factory_make gives) that reads `effects`;
// nullptr if the element cannot be registered.
GstElement* create(std::shared_ptr<const PlayerAudioEffects> effects);

// audioconvert ! qcplayeraudiotap ! audioconvert in one bin (a floating reference), so that any
// decoded format reaches the tap as float and leaves in what the sink wants.
GstElement* createFilter(std::shared_ptr<const PlayerAudioEffects> effects);

} // namespace PlayerAudioTapElement
