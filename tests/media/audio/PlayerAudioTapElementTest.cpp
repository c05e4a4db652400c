#include "media/audio/PlayerAudioTapElement.h"
#include "media/gst/GstRef.h"
#include "support/AudioSignals.h"

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int kRate = 48000;

// Plays `seconds` of a test tone through `filter` into an appsink and returns the samples
// (interleaved F32LE stereo). `format` is what the source produces; the filter must cope.
std::vector<float> render(GstElement* filter, double frequency, double volume, const char* format = "F32LE",
                          double seconds = 1.0) {
    static const bool initialised = [] {
        gst_init(nullptr, nullptr);
        return true;
    }();
    (void)initialised;
    const std::string description =
        "audiotestsrc name=src wave=sine freq=" + std::to_string(frequency) + " volume=" + std::to_string(volume) +
        " samplesperbuffer=1024 num-buffers=" + std::to_string(int(seconds * kRate / 1024)) +
        " ! audio/x-raw,format=" + format + ",rate=" + std::to_string(kRate) +
        ",channels=2,layout=interleaved ! identity name=slot ! audioconvert "
        "! audio/x-raw,format=F32LE,channels=2,layout=interleaved ! appsink name=sink sync=false";
    GError* error = nullptr;
    auto pipeline = GstRef<GstElement>::adopt(gst_parse_launch(description.c_str(), &error));
    EXPECT_EQ(error, nullptr) << (error ? error->message : "");
    if (error)
        g_error_free(error);
    if (filter) {
        // Put the filter where the identity stands.
        auto slot = GstRef<GstElement>::adopt(gst_bin_get_by_name(GST_BIN(pipeline.get()), "slot"));
        auto before = GstRef<GstPad>::adopt(gst_element_get_static_pad(slot.get(), "sink"));
        auto peer = GstRef<GstPad>::adopt(gst_pad_get_peer(before.get()));
        auto after = GstRef<GstPad>::adopt(gst_element_get_static_pad(slot.get(), "src"));
        auto next = GstRef<GstPad>::adopt(gst_pad_get_peer(after.get()));
        gst_pad_unlink(peer.get(), before.get());
        gst_pad_unlink(after.get(), next.get());
        gst_bin_remove(GST_BIN(pipeline.get()), slot.get());
        gst_bin_add(GST_BIN(pipeline.get()), filter);
        auto filterSink = GstRef<GstPad>::adopt(gst_element_get_static_pad(filter, "sink"));
        auto filterSrc = GstRef<GstPad>::adopt(gst_element_get_static_pad(filter, "src"));
        EXPECT_EQ(gst_pad_link(peer.get(), filterSink.get()), GST_PAD_LINK_OK);
        EXPECT_EQ(gst_pad_link(filterSrc.get(), next.get()), GST_PAD_LINK_OK);
    }
    auto sink = GstRef<GstElement>::adopt(gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink"));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    std::vector<float> samples;
    while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink.get()))) {
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const auto* data = reinterpret_cast<const float*>(map.data);
            samples.insert(samples.end(), data, data + map.size / sizeof(float));
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    auto bus = GstRef<GstBus>::adopt(gst_element_get_bus(pipeline.get()));
    GstMessage* failure = gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR);
    EXPECT_EQ(failure, nullptr) << "the pipeline failed";
    if (failure)
        gst_message_unref(failure);
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return samples;
}

std::shared_ptr<PlayerAudioEffects> oneBand(int band, float db) {
    auto effects = std::make_shared<PlayerAudioEffects>();
    PlayerAudioEffects::Bands bands{};
    bands[std::size_t(band)] = db;
    effects->setBands(bands);
    return effects;
}

double levelDb(const std::vector<float>& in, const std::vector<float>& out, int channel) {
    const std::size_t settle = std::size_t(kRate / 2);
    return AudioSignals::gainDb(AudioSignals::rms(in, 2, channel, settle), AudioSignals::rms(out, 2, channel, settle));
}

} // namespace

TEST(PlayerAudioTapElementTest, RegistersOnceInsideTheProcess) {
    gst_init(nullptr, nullptr);
    EXPECT_TRUE(PlayerAudioTapElement::registerElement());
    EXPECT_TRUE(PlayerAudioTapElement::registerElement());
    auto factory = GstRef<GstElementFactory>::adopt(gst_element_factory_find(PlayerAudioTapElement::factoryName));
    EXPECT_TRUE(factory);
}

TEST(PlayerAudioTapElementTest, NeutralSettingsPassTheToneThroughUnchanged) {
    const auto in = render(nullptr, 1000, 0.5);
    const auto out = render(PlayerAudioTapElement::create(std::make_shared<PlayerAudioEffects>()), 1000, 0.5);
    ASSERT_FALSE(in.empty());
    EXPECT_EQ(in, out);
}

TEST(PlayerAudioTapElementTest, EqualiserInAPipeline) {
    struct Case {
        double frequency;
        double expected;
        double tolerance;
    };
    for (const Case& c : {Case{1000, 6.0, 0.1}, Case{31, 0.0, 0.2}, Case{16000, 0.0, 0.2}}) {
        const auto in = render(nullptr, c.frequency, 0.25);
        const auto out = render(PlayerAudioTapElement::create(oneBand(5, 6)), c.frequency, 0.25);
        ASSERT_EQ(in.size(), out.size());
        for (int channel : {0, 1})
            EXPECT_NEAR(levelDb(in, out, channel), c.expected, c.tolerance) << c.frequency << " Hz";
    }
}

TEST(PlayerAudioTapElementTest, BoostAndLimitInAPipeline) {
    auto effects = std::make_shared<PlayerAudioEffects>();
    effects->setGain(2);
    const auto quiet = render(PlayerAudioTapElement::create(effects), 1000, 0.3);
    EXPECT_NEAR(AudioSignals::peak(quiet, 2, 0), 0.6, 1e-3);
    const auto loud = render(PlayerAudioTapElement::create(effects), 1000, 1.0);
    EXPECT_LT(AudioSignals::peak(loud, 2, 0), 1.0);
    EXPECT_GT(AudioSignals::peak(loud, 2, 0), 0.999);
}

TEST(PlayerAudioTapElementTest, FilterBinConvertsOtherFormats) {
    auto effects = std::make_shared<PlayerAudioEffects>();
    effects->setGain(2);
    const auto in = render(nullptr, 1000, 0.3, "S16LE");
    const auto out = render(PlayerAudioTapElement::createFilter(effects), 1000, 0.3, "S16LE");
    ASSERT_EQ(in.size(), out.size());
    EXPECT_NEAR(levelDb(in, out, 0), 6.02, 0.05);
}
