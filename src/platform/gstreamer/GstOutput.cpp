#include "GstOutput.h"

#include <gst/app/gstappsrc.h>

namespace quavix {

namespace {

// Frames the mixer renders at a time: small against the queue's lead, large enough that a
// buffer's way through the pipeline (and each wake-up of its threads) costs little.
constexpr guint ChunkFrames = 4096;
constexpr std::size_t FrameBytes = MixChannels * sizeof(float);

} // namespace

GstOutput::GstOutput(SoundMixer& mixer) : m_mixer(mixer) {}

GstOutput::~GstOutput()
{
    if (m_pipeline) {
        m_mixer.interrupt();
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        gst_object_unref(m_pipeline);
    }
    if (m_bus)
        gst_object_unref(m_bus);
}

bool GstOutput::build(GstElement* sink, bool systemClock, std::string& problem)
{
    GstElement* src = gst_element_factory_make("appsrc", nullptr);
    GstElement* queue = gst_element_factory_make("queue", nullptr);
    GstElement* volume = gst_element_factory_make("volume", nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    if (!src || !queue || !volume || !convert || !sink) {
        for (GstElement* e : {src, queue, volume, convert, sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        problem = "the media framework lacks an element of the sound output (appsrc, queue, "
                  "volume, audioconvert or the sink)";
        return false;
    }
    const std::string caps =
        "audio/x-raw,format=F32LE,layout=interleaved,rate=" + std::to_string(MixRate) +
        ",channels=" + std::to_string(MixChannels);
    GstCaps* c = gst_caps_from_string(caps.c_str());
    // One buffer waits in the source at most: the queue behind it holds the lead.
    g_object_set(src, "caps", c, "format", GST_FORMAT_TIME, "stream-type", 0 /* stream */,
                 "max-bytes", static_cast<guint64>(ChunkFrames * FrameBytes), "block", FALSE,
                 "emit-signals", TRUE, nullptr);
    gst_caps_unref(c);
    g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time",
                 static_cast<guint64>(Lead.count()) * GST_MSECOND, nullptr);
    // What the mixer made of 16-bit sound goes out as it came in.
    g_object_set(convert, "dithering", 0 /* none */, nullptr);
    g_signal_connect(src, "need-data", G_CALLBACK(needData), this);

    m_pipeline = gst_pipeline_new("output");
    gst_object_ref_sink(m_pipeline);
    gst_bin_add_many(GST_BIN(m_pipeline), src, queue, volume, convert, sink, nullptr);
    if (!gst_element_link_many(src, queue, volume, convert, sink, nullptr)) {
        problem = "the sound output cannot be linked";
        gst_object_unref(m_pipeline);
        m_pipeline = nullptr;
        return false;
    }
    if (systemClock) {
        GstClock* clock = gst_system_clock_obtain();
        gst_pipeline_use_clock(GST_PIPELINE(m_pipeline), clock);
        gst_object_unref(clock);
    }
    m_appsrc = src;
    m_volume = volume;
    m_bus = gst_element_get_bus(m_pipeline);
    gst_element_set_state(m_pipeline, GST_STATE_READY);
    return true;
}

// On the appsrc's streaming thread, whenever it has nothing queued.
void GstOutput::needData(GstElement* appsrc, guint, gpointer self)
{
    auto* out = static_cast<GstOutput*>(self);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, ChunkFrames * FrameBytes, nullptr);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        gst_buffer_unref(buffer);
        return;
    }
    const std::size_t frames = out->m_mixer.render(reinterpret_cast<float*>(map.data), ChunkFrames);
    gst_buffer_unmap(buffer, &map);
    if (frames == 0) {
        // Nothing more to play: the sink plays out what it has and finishes (a recording
        // is complete); a next item starts the output anew.
        gst_buffer_unref(buffer);
        gst_app_src_end_of_stream(GST_APP_SRC(appsrc));
        return;
    }
    gst_buffer_set_size(buffer, static_cast<gssize>(frames * FrameBytes));
    GST_BUFFER_PTS(buffer) =
        gst_util_uint64_scale(static_cast<guint64>(out->m_pushed), GST_SECOND, MixRate);
    GST_BUFFER_DURATION(buffer) =
        gst_util_uint64_scale(static_cast<guint64>(frames), GST_SECOND, MixRate);
    out->m_pushed += static_cast<std::int64_t>(frames);
    gst_app_src_push_buffer(GST_APP_SRC(appsrc), buffer);
}

void GstOutput::play()
{
    if (!m_pipeline || m_state == State::Playing)
        return;
    if (m_state == State::Stopped) {
        m_pushed = 0;
        m_lastHeard = 0;
    }
    m_state = State::Playing;
    gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
}

void GstOutput::halt()
{
    // A mixer waiting for the next item would hold the streaming thread, and with it the
    // change of state.
    m_mixer.interrupt();
    gst_element_set_state(m_pipeline, GST_STATE_READY);
    gst_bus_set_flushing(m_bus, TRUE); // the end of the last stream is no news
    gst_bus_set_flushing(m_bus, FALSE);
    m_state = State::Stopped;
}

void GstOutput::restart()
{
    if (!m_pipeline)
        return;
    halt();
    m_mixer.restartTimeline();
    play();
}

void GstOutput::pause()
{
    if (!m_pipeline || m_state != State::Playing)
        return;
    m_lastHeard = heardFrame();
    m_state = State::Paused;
    gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
}

void GstOutput::stop()
{
    if (!m_pipeline)
        return;
    halt();
    m_mixer.clear();
    m_lastHeard = 0;
}

std::int64_t GstOutput::heardFrame()
{
    if (!m_pipeline || m_state != State::Playing)
        return m_lastHeard;
    gint64 ns = 0;
    if (gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &ns) && ns >= 0)
        m_lastHeard = static_cast<std::int64_t>(
            gst_util_uint64_scale(static_cast<guint64>(ns), MixRate, GST_SECOND));
    return m_lastHeard;
}

void GstOutput::setVolume(double linear)
{
    if (m_volume)
        g_object_set(m_volume, "volume", linear, nullptr);
}

} // namespace quavix
