#include "GstLoudness.h"

#include "platform/MediaAddress.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>
#include <gst/app/gstappsink.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quavix {

namespace {

// A file that decodes this slowly is not a song we can wait for.
constexpr std::chrono::seconds MeasureDeadline{120};
// After measuring an expected song in the background, rest this many times as long.
constexpr int RestFactor = 4;

GstBusSyncReply lowerThreads(GstBus*, GstMessage* msg, gpointer)
{
    // Posted by each streaming thread of the pipeline as it starts, on that thread.
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_STREAM_STATUS) {
        GstStreamStatusType type;
        gst_message_parse_stream_status(msg, &type, nullptr);
        if (type == GST_STREAM_STATUS_TYPE_ENTER)
            setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
    }
    return GST_BUS_PASS;
}

} // namespace

std::optional<SongMeasure> GstLoudness::measure(const std::string& file, double trimLevel,
                                                const std::atomic<bool>* cancel)
{
    const std::string uri = fileUriOf(file);
    GstElement* pipeline = gst_pipeline_new("loudness");
    GstElement* decode = gst_element_factory_make("uridecodebin", nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (!pipeline || !decode || !convert || !sink) {
        for (GstElement* e : {pipeline, decode, convert, sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return std::nullopt;
    }
    gst_object_ref_sink(pipeline);
    // Two channels, as the mixer plays it; the rate the song has (loudness does not care).
    GstCaps* caps = gst_caps_from_string("audio/x-raw,format=F32LE,layout=interleaved,channels=2");
    g_object_set(sink, "caps", caps, "sync", FALSE, "max-buffers", 64u, nullptr);
    gst_caps_unref(caps);
    g_object_set(decode, "uri", uri.c_str(), nullptr);
    gst_bin_add_many(GST_BIN(pipeline), decode, convert, sink, nullptr);
    gst_element_link(convert, sink);
    // The first sound of the file; anything else it holds is left unlinked.
    g_signal_connect(decode, "pad-added", G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer c) {
                         GstCaps* padCaps = gst_pad_query_caps(pad, nullptr);
                         const bool sound =
                             padCaps && !gst_caps_is_empty(padCaps) &&
                             g_str_has_prefix(
                                 gst_structure_get_name(gst_caps_get_structure(padCaps, 0)),
                                 "audio/");
                         if (padCaps)
                             gst_caps_unref(padCaps);
                         GstPad* sinkPad = gst_element_get_static_pad(GST_ELEMENT(c), "sink");
                         if (sound && !gst_pad_is_linked(sinkPad))
                             gst_pad_link(pad, sinkPad);
                         gst_object_unref(sinkPad);
                     }),
                     convert);
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, lowerThreads, nullptr, nullptr);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);

    ebur128_state* state = nullptr;
    const double level = std::pow(10.0, trimLevel / 20.0);
    std::int64_t frames = 0, first = -1, last = -1;
    int rate = 0;
    bool failed = false;
    const auto deadline = std::chrono::steady_clock::now() + MeasureDeadline;
    auto* appsink = GST_APP_SINK(sink);
    while (!failed) {
        if (cancel && cancel->load()) {
            failed = true;
            break;
        }
        if (GstMessage* msg = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
            gst_message_unref(msg);
            failed = true;
            break;
        }
        GstSample* sample = gst_app_sink_try_pull_sample(appsink, 100 * GST_MSECOND);
        if (!sample) {
            if (gst_app_sink_is_eos(appsink))
                break;
            failed = std::chrono::steady_clock::now() > deadline;
            continue;
        }
        if (!state) {
            const GstStructure* s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
            gst_structure_get_int(s, "rate", &rate);
            state = rate > 0 ? ebur128_init(2, static_cast<unsigned long>(rate),
                                            EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK)
                             : nullptr;
            failed = !state;
        }
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (state && buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const auto* f = reinterpret_cast<const float*>(map.data);
            const std::size_t n = map.size / (2 * sizeof(float));
            ebur128_add_frames_float(state, f, n);
            for (std::size_t i = 0; i < n; ++i)
                if (std::fabs(f[2 * i]) >= level || std::fabs(f[2 * i + 1]) >= level) {
                    if (first < 0)
                        first = frames + static_cast<std::int64_t>(i);
                    last = frames + static_cast<std::int64_t>(i);
                }
            frames += static_cast<std::int64_t>(n);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(pipeline);

    std::optional<SongMeasure> m;
    if (state && !failed && frames > 0) {
        SongMeasure r;
        r.trimLevel = trimLevel;
        if (ebur128_loudness_global(state, &r.loudness) != EBUR128_SUCCESS)
            r.loudness = -HUGE_VAL;
        double peak = 0;
        for (unsigned ch = 0; ch < 2; ++ch) {
            double p = 0;
            if (ebur128_true_peak(state, ch, &p) == EBUR128_SUCCESS)
                peak = std::max(peak, p);
        }
        r.truePeak = peak > 0 ? 20 * std::log10(peak) : -HUGE_VAL;
        if (first >= 0) {
            r.firstSound = static_cast<double>(first) / rate;
            r.lastSound = static_cast<double>(last + 1) / rate;
        }
        m = r;
    }
    if (state)
        ebur128_destroy(&state);
    return m;
}

GstLoudness::GstLoudness(LoudnessCache& cache, double trimLevel)
    : m_cache(cache), m_trimLevel(trimLevel)
{
    m_thread = std::thread([this] { run(); });
}

GstLoudness::~GstLoudness()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    // A long song may take seconds to measure: a station ends at once all the same.
    m_cancel = true;
    m_wake.notify_all();
    m_thread.join();
}

std::optional<SongMeasure> GstLoudness::measureOf(const std::string& file,
                                                  std::chrono::milliseconds wait)
{
    auto known = [&] {
        auto m = m_cache.find(file);
        return m && m->trimLevel == m_trimLevel ? m : std::nullopt;
    };
    if (auto m = known())
        return m;
    std::unique_lock lock(m_mutex);
    if (std::find(m_failed.begin(), m_failed.end(), file) != m_failed.end())
        return std::nullopt;
    if (m_measuring != file && std::find(m_urgent.begin(), m_urgent.end(), file) == m_urgent.end())
        m_urgent.push_front(file);
    m_wake.notify_all();
    std::optional<SongMeasure> m;
    m_measured.wait_for(lock, wait, [&] {
        m = known();
        return m || std::find(m_failed.begin(), m_failed.end(), file) != m_failed.end();
    });
    return m;
}

void GstLoudness::expect(std::vector<std::string> files)
{
    std::lock_guard lock(m_mutex);
    m_expected = std::move(files);
    m_nextExpected = 0;
    m_checked = 0;
    m_wake.notify_all();
}

void GstLoudness::playing(const std::string& file)
{
    std::lock_guard lock(m_mutex);
    auto it = std::find(m_expected.begin(), m_expected.end(), file);
    if (it != m_expected.end())
        m_nextExpected = static_cast<std::size_t>(it - m_expected.begin()) + 1;
    m_checked = 0;
    m_wake.notify_all();
}

void GstLoudness::run()
{
    std::size_t& checked = m_checked;
    std::unique_lock lock(m_mutex);
    for (;;) {
        // The next song to measure: one the player waits for, else the next expected one
        // that is not measured yet.
        std::string file;
        bool urgent = false;
        m_wake.wait(lock, [&] {
            if (m_stop)
                return true;
            if (!m_urgent.empty()) {
                file = m_urgent.front();
                m_urgent.pop_front();
                urgent = true;
                return true;
            }
            while (checked < m_expected.size()) {
                if (m_nextExpected >= m_expected.size())
                    m_nextExpected = 0;
                const std::string& candidate = m_expected[m_nextExpected++];
                ++checked;
                auto m = m_cache.find(candidate);
                if ((!m || m->trimLevel != m_trimLevel) && !isStreamAddress(candidate) &&
                    std::find(m_failed.begin(), m_failed.end(), candidate) == m_failed.end()) {
                    file = candidate;
                    return true;
                }
            }
            return false;
        });
        if (m_stop)
            return;
        m_measuring = file;
        lock.unlock();
        const auto started = std::chrono::steady_clock::now();
        const auto m = measure(file, m_trimLevel, &m_cancel);
        if (m)
            m_cache.store(file, *m);
        const auto took = std::chrono::steady_clock::now() - started;
        lock.lock();
        m_measuring.clear();
        if (m_stop)
            return; // given up, not failed
        if (!m)
            m_failed.push_back(file);
        checked = 0;
        m_measured.notify_all();
        if (!urgent)
            m_wake.wait_for(lock, took * RestFactor,
                            [this] { return m_stop || !m_urgent.empty(); });
    }
}

} // namespace quavix
