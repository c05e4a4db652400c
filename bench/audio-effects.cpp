// Audio effects benchmark driver: ten bands on (the "Loudness" preset with no zero band), boost
// 1.5, 48 kHz stereo F32LE in 1024-frame buffers. Runs the same buffers through
//   1. PlayerAudioTap::process alone,
//   2. our element in a pipeline: appsrc ! qcplayeraudiotap ! fakesink,
//   3. GStreamer's own: appsrc ! equalizer-10bands ! volume ! fakesink,
// and prints process CPU seconds, samples per second on one core and the multiple of real time.
//
//   bench-audio-effects [SECONDS]     (default 60 s of audio)
#include "media/audio/PlayerAudioTap.h"
#include "media/audio/PlayerAudioTapElement.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr int kFrames = 1024;
const PlayerAudioEffects::Bands kBands{4, 3, 2, 1, -1, 1.5f, 1, 3, 4, 4};

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

std::vector<float> music(std::size_t frames) {
    std::vector<float> samples(frames * kChannels);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < kChannels; ++c)
            samples[i * kChannels + std::size_t(c)] =
                0.3f * std::sin(2 * 3.14159265f * 220.0f * float(i) / kRate + float(c)) + noise(random);
    return samples;
}

double runTap(const std::vector<float>& source, int buffers) {
    auto effects = std::make_shared<PlayerAudioEffects>();
    effects->setGain(1.5f);
    effects->setBands(kBands);
    PlayerAudioTap tap(effects);
    tap.prepare(kRate, true);
    std::vector<float> work(source.size());
    const double start = cpuSeconds();
    for (int b = 0; b < buffers; ++b) {
        std::copy(source.begin(), source.end(), work.begin()); // the same fresh buffer each time
        tap.process(work.data(), kFrames, kChannels);
    }
    return cpuSeconds() - start;
}

double runPipeline(const std::string& chain, const std::vector<float>& source, int buffers,
                   GstElement* ours) {
    GError* error = nullptr;
    const std::string description =
        "appsrc name=src format=time ! " + chain + " ! fakesink name=sink sync=false";
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline) {
        std::fprintf(stderr, "pipeline failed: %s\n", error ? error->message : "?");
        std::exit(1);
    }
    if (ours) {
        // Our element takes the place of the identity named "slot".
        GstElement* slot = gst_bin_get_by_name(GST_BIN(pipeline), "slot");
        GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
        GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
        gst_element_unlink_many(src, slot, sink, nullptr);
        gst_bin_remove(GST_BIN(pipeline), slot);
        gst_bin_add(GST_BIN(pipeline), ours);
        gst_element_link_many(src, ours, sink, nullptr);
        gst_object_unref(slot);
        gst_object_unref(src);
        gst_object_unref(sink);
    }
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    GstCaps* caps = gst_caps_from_string("audio/x-raw,format=F32LE,rate=48000,channels=2,layout=interleaved");
    gst_app_src_set_caps(GST_APP_SRC(src), caps);
    gst_caps_unref(caps);
    g_object_set(src, "max-bytes", guint64(0), "block", FALSE, nullptr);
    // The buffers are made before the clock starts, so both chains see the same work.
    std::vector<GstBuffer*> prepared;
    for (int b = 0; b < buffers; ++b) {
        GstBuffer* buffer = gst_buffer_new_memdup(source.data(), source.size() * sizeof(float));
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(guint64(b) * kFrames, GST_SECOND, kRate);
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(kFrames, GST_SECOND, kRate);
        prepared.push_back(buffer);
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const double start = cpuSeconds();
    for (GstBuffer* buffer : prepared)
        gst_app_src_push_buffer(GST_APP_SRC(src), buffer);
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(bus, GST_CLOCK_TIME_NONE,
                                                     GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const double used = cpuSeconds() - start;
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        std::fprintf(stderr, "pipeline error\n");
        std::exit(1);
    }
    gst_message_unref(message);
    gst_object_unref(bus);
    gst_object_unref(src);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return used;
}

void report(const char* name, double seconds, double audioSeconds) {
    const double samples = audioSeconds * kRate * kChannels;
    std::printf("%-52s %8.3f s CPU %12.1f M samples/s %9.0f× real time\n", name, seconds,
                samples / seconds / 1e6, audioSeconds / seconds);
}

} // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    const double audioSeconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const int buffers = int(audioSeconds * kRate / kFrames);
    const double covered = double(buffers) * kFrames / kRate;
    const std::vector<float> source = music(kFrames);

    auto effects = std::make_shared<PlayerAudioEffects>();
    effects->setGain(1.5f);
    effects->setBands(kBands);
    const std::string gains = [] {
        std::string text;
        for (int b = 0; b < 10; ++b)
            text += " band" + std::to_string(b) + "=" + std::to_string(kBands[std::size_t(b)]);
        return text;
    }();

    std::printf(
        "Audio effects: ten bands on, gain 1.5, 48 kHz stereo F32LE, %d-frame buffers, %.1f s of audio\n\n",
        kFrames, covered);
    const double tap = runTap(source, buffers);
    const double ours =
        runPipeline("identity name=slot", source, buffers, PlayerAudioTapElement::create(effects));
    const double theirs =
        runPipeline("equalizer-10bands" + gains + " ! volume volume=1.5", source, buffers, nullptr);
    const double empty = runPipeline("identity", source, buffers, nullptr);
    report("PlayerAudioTap::process (no pipeline)", tap, covered);
    report("appsrc ! qcplayeraudiotap ! fakesink", ours, covered);
    report("appsrc ! equalizer-10bands ! volume ! fakesink", theirs, covered);
    report("appsrc ! identity ! fakesink (pipeline alone)", empty, covered);
    std::printf("\nours vs GStreamer's elements, whole pipelines: %.2f× faster\n", theirs / ours);
    std::printf("ours vs GStreamer's elements, pipeline cost removed: %.2f× faster\n",
                (theirs - empty) / std::max(ours - empty, 1e-9));
    return 0;
}
