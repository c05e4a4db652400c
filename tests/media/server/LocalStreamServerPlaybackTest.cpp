// GStreamer itself as the server's client: playbin opens a transcoded stream from its loopback
// URL, plays it to the end through clock-synchronised fake sinks, and lands an exact seek.
#include "media/server/LocalStreamServer.h"
#include "media/transcode/PlaybackTranscoder.h"
#include "support/MediaFixtures.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>

#include <gst/gst.h>

#include <gtest/gtest.h>

namespace {

struct Played {
    bool reachedEnd = false;
    QString error;
    double positionAfterSeek = -1;
};

GstElement* fakeSink() {
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
}

// Waits on the bus for one of `types`; none after `seconds`.
GstMessage* await(GstElement* pipeline, int types, double seconds) {
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(bus, static_cast<GstClockTime>(seconds * GST_SECOND),
                                                     static_cast<GstMessageType>(types | GST_MESSAGE_ERROR));
    gst_object_unref(bus);
    return message;
}

QString errorText(GstMessage* message) {
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    const QString text = QString::fromUtf8(error ? error->message : "unknown error");
    g_clear_error(&error);
    return text;
}

// Prerolls `uri`, seeks exactly to `seekTo` seconds, then plays to the end.
Played play(const QUrl& uri, double seekTo) {
    Played played;
    GstElement* pipeline = gst_element_factory_make("playbin", nullptr);
    g_object_set(pipeline, "uri", uri.toString(QUrl::FullyEncoded).toUtf8().constData(), "video-sink",
                 fakeSink(), "audio-sink", fakeSink(), nullptr);
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    GstMessage* message = await(pipeline, GST_MESSAGE_ASYNC_DONE, 30);
    if (message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE) {
        gst_message_unref(message);
        gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                                static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                static_cast<gint64>(seekTo * GST_SECOND));
        message = await(pipeline, GST_MESSAGE_ASYNC_DONE, 30);
        gint64 position = -1;
        if (message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE &&
            gst_element_query_position(pipeline, GST_FORMAT_TIME, &position))
            played.positionAfterSeek = static_cast<double>(position) / GST_SECOND;
        if (message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE) {
            gst_message_unref(message);
            gst_element_set_state(pipeline, GST_STATE_PLAYING);
            message = await(pipeline, GST_MESSAGE_EOS, 60);
            played.reachedEnd = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
        }
    }
    if (message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
        played.error = errorText(message);
    if (message)
        gst_message_unref(message);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return played;
}

} // namespace

TEST(LocalStreamServerPlaybackTest, playbinPlaysTranscodedStreamsToTheEndAndSeeks) {
    ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
    QTemporaryDir dir;
    const QString mkv = dir.filePath(QStringLiteral("clip.mkv"));
    const QString webm = dir.filePath(QStringLiteral("clip.webm"));
    ASSERT_TRUE(
        MediaFixtures::run({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=6", "-f", "lavfi",
                            "-i", "sine=frequency=440:duration=6", "-c:v", "libx264", "-preset", "ultrafast",
                            "-pix_fmt", "yuv420p", "-g", "25", "-c:a", "aac", mkv}));
    ASSERT_TRUE(
        MediaFixtures::run({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=6", "-f", "lavfi",
                            "-i", "sine=frequency=440:duration=6", "-c:v", "libvpx-vp9", "-deadline",
                            "realtime", "-cpu-used", "8", "-b:v", "200k", "-c:a", "libopus", webm}));
    for (const QString& path : {mkv, webm}) {
        SCOPED_TRACE(path.toStdString());
        PlaybackTranscoder transcoder;
        std::optional<PlaybackTranscoder::Answer> answer;
        transcoder.start(QUrl::fromLocalFile(path), [&](const PlaybackTranscoder::Answer& a) { answer = a; });
        ASSERT_TRUE(TestSupport::waitFor([&] { return answer.has_value() && transcoder.complete(); }, 60000));
        ASSERT_TRUE(std::holds_alternative<PlaybackTranscoder::Ready>(*answer));
        const auto stream = std::get<PlaybackTranscoder::Ready>(*answer).stream();
        ASSERT_TRUE(stream);
        const Played played = play(*stream, 3.0);
        EXPECT_TRUE(played.error.isEmpty()) << played.error.toStdString();
        EXPECT_TRUE(played.reachedEnd);
        EXPECT_NEAR(played.positionAfterSeek, 3.0, 0.05);
    }
}
