#include "GstDecoder.h"

#include "GstPlayer.h"
#include "platform/IcyMetadata.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cstring>
#include <gst/app/gstappsink.h>
#include <gst/pbutils/missing-plugins.h>

namespace quavix {

namespace {

// playbin's GstPlayFlags: audio only. The user's volume is the output's.
constexpr guint PlayFlagAudio = 1u << 1;
// Decoded sound the appsink keeps ahead of the mixer; the mixer keeps its own look-ahead.
constexpr guint AheadBuffers = 16;
// The synthesiser's gain: its default (0.2) leaves a full-velocity piano note at -30 dBFS,
// 20 dB under every other kind of file; this puts it near -6 dBFS.
constexpr double MidiSynthGain = 2.4;

std::string mixCaps()
{
    return "audio/x-raw,format=F32LE,layout=interleaved,rate=" + std::to_string(MixRate) +
           ",channels=" + std::to_string(MixChannels);
}

class AppSinkFeed final : public SoundFeed {
public:
    AppSinkFeed(GstElement* appsink, std::shared_ptr<std::atomic<bool>> inUse,
                std::shared_ptr<std::atomic<bool>> broken)
        : m_sink(GST_ELEMENT(gst_object_ref(appsink))), m_inUse(std::move(inUse)),
          m_broken(std::move(broken))
    {
        m_inUse->store(true);
    }
    ~AppSinkFeed() override
    {
        gst_object_unref(m_sink);
        m_inUse->store(false);
    }
    AppSinkFeed(const AppSinkFeed&) = delete;
    AppSinkFeed& operator=(const AppSinkFeed&) = delete;

    bool pull(std::vector<float>& out, std::chrono::milliseconds wait) override
    {
        auto* sink = GST_APP_SINK(m_sink);
        GstClockTime timeout = static_cast<GstClockTime>(wait.count()) * GST_MSECOND;
        // Everything ready now, in one go: the mixer asks again when it needs more.
        for (int taken = 0; taken < static_cast<int>(AheadBuffers); ++taken) {
            GstSample* sample = gst_app_sink_try_pull_sample(sink, timeout);
            timeout = 0;
            if (!sample)
                break;
            if (GstBuffer* buffer = gst_sample_get_buffer(sample)) {
                GstMapInfo map;
                if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                    const auto* f = reinterpret_cast<const float*>(map.data);
                    out.insert(out.end(), f, f + map.size / sizeof(float));
                    gst_buffer_unmap(buffer, &map);
                }
            }
            gst_sample_unref(sample);
        }
        return !m_broken->load() && !gst_app_sink_is_eos(sink);
    }

private:
    GstElement* m_sink;
    std::shared_ptr<std::atomic<bool>> m_inUse;
    std::shared_ptr<std::atomic<bool>> m_broken;
};

// What reads a stream's titles off its bytes as they leave the http source: after the source
// sit seconds of sound (the server's burst on connecting, the player's buffers), and the
// demuxer would tell a title only when the sound around it is decoded.
struct TitleTap {
    GstElement* playbin; // the decoder's; it outlives its source, and with it this tap
    std::optional<IcyMetadataReader> reader;
};

GstPadProbeReturn onSourceData(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    auto* tap = static_cast<TitleTap*>(data);
    if (info->type & (GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_EVENT_FLUSH)) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            GstCaps* caps = nullptr;
            gst_event_parse_caps(event, &caps);
            const GstStructure* s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
            gint interval = 0;
            if (s && gst_structure_has_name(s, "application/x-icy") &&
                gst_structure_get_int(s, "metadata-interval", &interval) && interval > 0)
                tap->reader.emplace(static_cast<std::size_t>(interval));
            else
                tap->reader.reset();
        } else if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
            tap->reader.reset(); // where the next block starts is not known after a seek
        }
        return GST_PAD_PROBE_OK;
    }
    if (!tap->reader)
        return GST_PAD_PROBE_OK;
    std::optional<std::string> title;
    auto read = [&](GstBuffer* buffer) {
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
            return;
        if (auto t = tap->reader->feed(map.data, map.size))
            title = std::move(t);
        gst_buffer_unmap(buffer, &map);
    };
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        read(GST_PAD_PROBE_INFO_BUFFER(info));
    } else if (info->type & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
        GstBufferList* list = GST_PAD_PROBE_INFO_BUFFER_LIST(info);
        for (guint i = 0, n = gst_buffer_list_length(list); i < n; ++i)
            read(gst_buffer_list_get(list, i));
    }
    if (title)
        gst_element_post_message(
            tap->playbin,
            gst_message_new_application(GST_OBJECT(tap->playbin),
                                        gst_structure_new(StreamTitleMessage, "title",
                                                          G_TYPE_STRING, title->c_str(), nullptr)));
    return GST_PAD_PROBE_OK;
}

// The last part of an installer detail ("gstreamer|1.0|app|desc|decoder-audio/x-wma, ..."):
// what kind of element is missing and for what.
std::string detailOf(GstMessage* missing)
{
    gchar* detail = gst_missing_plugin_message_get_installer_detail(missing);
    std::string d = detail ? detail : "";
    g_free(detail);
    const auto bar = d.rfind('|');
    return bar == std::string::npos ? d : d.substr(bar + 1);
}

// Which of Debian's packages brings a decoder, demuxer or source, by what it is for.
const char* packageFor(const std::string& detail)
{
    static const std::pair<const char*, const char*> table[] = {
        {"audio/x-wma", "gstreamer1.0-libav"},
        {"audio/x-pn-realaudio", "gstreamer1.0-libav"},
        {"audio/x-sipro", "gstreamer1.0-libav"},
        {"audio/x-ralf-mpeg4-generic", "gstreamer1.0-libav"},
        {"audio/x-ac3", "gstreamer1.0-libav"},
        {"audio/mpeg, mpegversion=(int)4", "gstreamer1.0-libav"},
        {"audio/mpeg, mpegversion=(int)2", "gstreamer1.0-libav"},
        {"audio/mpeg", "gstreamer1.0-plugins-good"},
        {"audio/x-flac", "gstreamer1.0-plugins-good"},
        {"audio/x-vorbis", "gstreamer1.0-plugins-base"},
        {"audio/x-opus", "gstreamer1.0-plugins-base"},
        {"audio/midi", "gstreamer1.0-plugins-bad"},
        {"audio/riff-midi", "gstreamer1.0-plugins-bad"},
        {"video/x-ms-asf", "gstreamer1.0-plugins-ugly"},
        {"application/vnd.rn-realmedia", "gstreamer1.0-plugins-ugly"},
        {"application/x-rtsp", "gstreamer1.0-plugins-good"},
        {"application/x-hls", "gstreamer1.0-plugins-bad"},
        {"http", "gstreamer1.0-plugins-good"},
        {"https", "gstreamer1.0-plugins-good"},
        {"rtsp", "gstreamer1.0-plugins-good"},
    };
    const auto dash = detail.find('-');
    const std::string what = dash == std::string::npos ? detail : detail.substr(dash + 1);
    for (const auto& [prefix, package] : table)
        if (what.rfind(prefix, 0) == 0)
            return package;
    return nullptr;
}

} // namespace

std::string missingPluginText(GstMessage* missing)
{
    gchar* description = gst_missing_plugin_message_get_description(missing);
    std::string what = description ? description : "this kind of sound";
    g_free(description);
    const std::string detail = detailOf(missing);
    if (detail.rfind("urisource-", 0) == 0) {
        const std::string scheme = detail.substr(std::strlen("urisource-"));
        if (const char* package = packageFor(detail))
            return "no source for \"" + scheme + "\" addresses is installed (the package " +
                   package + " brings one).";
        return "no source for \"" + scheme + "\" addresses is installed.";
    }
    std::string text = "no " + what + " is installed";
    if (const char* package = packageFor(detail))
        text += std::string(" (the package ") + package + " brings one)";
    return text + ".";
}

OpenFailure failureFromMessage(GstMessage* error, bool network)
{
    GError* err = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(error, &err, &debug);
    const GstStructure* details = nullptr;
    gst_message_parse_error_details(error, &details);
    guint status = 0;
    if (details)
        gst_structure_get_uint(details, "http-status-code", &status);
    const std::string said = err && err->message ? err->message : "unknown error";
    OpenFailure f{GstPlayer::ErrorPlayback, said};
    if (err && err->domain == GST_RESOURCE_ERROR) {
        if (network) {
            f.code = GstPlayer::ErrorNetwork;
            if (status == 404 || err->code == GST_RESOURCE_ERROR_NOT_FOUND)
                f.why = "the server has no such stream or file (it answered " +
                        std::to_string(status ? status : 404) + ").";
            else if (status == 401 || status == 403 ||
                     err->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED)
                f.why = "the server refused it (it answered " +
                        std::to_string(status ? status : 403) + ").";
            else if (status >= 400)
                f.why = "the server answered " + std::to_string(status) + " (" + said + ").";
            else
                f.why = "the server cannot be reached (" + said + ").";
        } else if (err->code == GST_RESOURCE_ERROR_NOT_FOUND) {
            f = {GstPlayer::ErrorNotFound, "the file does not exist."};
        } else if (err->code == GST_RESOURCE_ERROR_OPEN_READ ||
                   err->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED ||
                   err->code == GST_RESOURCE_ERROR_READ) {
            f = {GstPlayer::ErrorNotFound, "it cannot be read (" + said + ")."};
        }
    } else if (err && err->domain == GST_STREAM_ERROR) {
        if (err->code == GST_STREAM_ERROR_TYPE_NOT_FOUND)
            f = {GstPlayer::ErrorUnsupported,
                 "it is not a sound file (nothing in it is of a kind Quavix can play)."};
        else if (err->code == GST_STREAM_ERROR_CODEC_NOT_FOUND)
            f = {GstPlayer::ErrorUnsupported, "no decoder for its kind of sound is installed."};
        else if (err->code == GST_STREAM_ERROR_WRONG_TYPE || err->code == GST_STREAM_ERROR_DECODE ||
                 err->code == GST_STREAM_ERROR_DEMUX || err->code == GST_STREAM_ERROR_FORMAT)
            f = {GstPlayer::ErrorUnsupported,
                 "its sound is damaged or of a kind Quavix cannot play (" + said + ")."};
    } else if (err && err->domain == GST_CORE_ERROR && err->code == GST_CORE_ERROR_MISSING_PLUGIN) {
        f = {GstPlayer::ErrorUnsupported, "no decoder for its kind of sound is installed."};
    }
    // A network source that cannot connect only reports a failed data flow.
    GstObject* src = GST_MESSAGE_SRC(error);
    if (network && f.code == GstPlayer::ErrorPlayback && src && GST_IS_ELEMENT(src) &&
        GST_OBJECT_FLAG_IS_SET(src, GST_ELEMENT_FLAG_SOURCE))
        f = {GstPlayer::ErrorNetwork, "the server cannot be reached or sent nothing."};
    g_clear_error(&err);
    g_free(debug);
    return f;
}

GstDecoder::GstDecoder(std::function<void(GstDecoder&, GstMessage*)> onMessage)
    : m_onMessage(std::move(onMessage))
{
    m_playbin = gst_element_factory_make("playbin", nullptr);
    m_appsink = gst_element_factory_make("appsink", nullptr);
    if (!m_playbin || !m_appsink)
        return; // every open fails and says so
    gst_object_ref_sink(m_playbin);
    GstCaps* caps = gst_caps_from_string(mixCaps().c_str());
    // Decoded as fast as the decoder goes, a little ahead of the mixer.
    g_object_set(m_appsink, "caps", caps, "sync", FALSE, "max-buffers", AheadBuffers, "drop", FALSE,
                 "enable-last-sample", FALSE, nullptr);
    gst_caps_unref(caps);
    g_object_set(m_playbin, "flags", PlayFlagAudio, "audio-sink", m_appsink, nullptr);
    // Called on a streaming thread as each element of an item comes in.
    g_signal_connect(m_playbin, "element-setup",
                     G_CALLBACK(+[](GstElement*, GstElement* element, gpointer) {
                         GstElementFactory* f = gst_element_get_factory(element);
                         if (f && g_strcmp0(GST_OBJECT_NAME(f), "fluiddec") == 0)
                             g_object_set(element, "synth-gain", MidiSynthGain, nullptr);
                     }),
                     nullptr);
    // Called as each item's source is made: an http source that asks for titles gets a tap.
    g_signal_connect(
        m_playbin, "source-setup",
        G_CALLBACK(+[](GstElement* playbin, GstElement* source, gpointer) {
            if (!g_object_class_find_property(G_OBJECT_GET_CLASS(source), "iradio-mode"))
                return;
            GstPad* pad = gst_element_get_static_pad(source, "src");
            if (!pad)
                return;
            gst_pad_add_probe(pad,
                              static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                           GST_PAD_PROBE_TYPE_BUFFER_LIST |
                                                           GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                                           GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                              onSourceData, new TitleTap{playbin, std::nullopt},
                              [](gpointer tap) { delete static_cast<TitleTap*>(tap); });
            gst_object_unref(pad);
        }),
        nullptr);
    m_bus = gst_element_get_bus(m_playbin);
    GPollFD pfd{};
    gst_bus_get_pollfd(m_bus, &pfd);
    m_notifier = new QSocketNotifier(pfd.fd, QSocketNotifier::Read, &m_context);
    QObject::connect(m_notifier, &QSocketNotifier::activated, &m_context, [this] { pump(); });
}

GstDecoder::~GstDecoder()
{
    delete m_notifier; // before the bus that owns its descriptor
    if (m_playbin) {
        gst_element_set_state(m_playbin, GST_STATE_NULL);
        gst_object_unref(m_playbin);
    }
    if (m_bus)
        gst_object_unref(m_bus);
}

void GstDecoder::pump()
{
    while (GstMessage* msg = m_bus ? gst_bus_pop(m_bus) : nullptr) {
        if (m_open) {
            if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR && !m_failure)
                setFailure(failureFromMessage(msg, m_network));
            if (m_onMessage)
                m_onMessage(*this, msg);
        }
        gst_message_unref(msg);
    }
}

void GstDecoder::setFailure(OpenFailure f)
{
    m_failure = std::move(f);
    m_broken->store(true);
}

std::optional<OpenFailure> GstDecoder::open(const std::string& uri, bool network,
                                            std::chrono::milliseconds deadlineAfter,
                                            bool& endedEarly)
{
    endedEarly = false;
    if (!m_playbin || !m_appsink)
        return OpenFailure{GstPlayer::ErrorPlayback,
                           "the media framework has no player element (playbin, appsink)."};
    close();
    gst_bus_set_flushing(m_bus, TRUE); // what the last item left belongs to it
    gst_bus_set_flushing(m_bus, FALSE);
    m_failure.reset();
    m_broken->store(false);
    m_network = network;
    serverRanges.reset();
    g_object_set(m_playbin, "uri", uri.c_str(), nullptr);
    const GstStateChangeReturn ret = gst_element_set_state(m_playbin, GST_STATE_PAUSED);

    // Until the first sound is decoded. A server that sends headers and then nothing never
    // fails by itself, so the deadline is the only way out.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + deadlineAfter;
    std::optional<OpenFailure> failed;
    std::optional<std::string> missing;
    bool prerolled = false;
    while (!prerolled && !failed) {
        const auto left =
            std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
        const GstClockTime wait =
            ret == GST_STATE_CHANGE_FAILURE
                ? 0
                : static_cast<GstClockTime>(std::max<std::int64_t>(left.count(), 0));
        GstMessage* msg = gst_bus_timed_pop(m_bus, wait);
        if (!msg) {
            failed =
                ret == GST_STATE_CHANGE_FAILURE
                    ? OpenFailure{GstPlayer::ErrorUnsupported, "it cannot be opened."}
                    : OpenFailure{GstPlayer::ErrorTimeout,
                                  "no answer within " +
                                      std::to_string(deadlineAfter.count() / 1000) + " seconds."};
            break;
        }
        switch (GST_MESSAGE_TYPE(msg)) {
        case GST_MESSAGE_ERROR:
            failed = failureFromMessage(msg, network);
            break;
        case GST_MESSAGE_ASYNC_DONE:
            prerolled = GST_MESSAGE_SRC(msg) == GST_OBJECT(m_playbin);
            break;
        case GST_MESSAGE_EOS:
            prerolled = endedEarly = true;
            break;
        case GST_MESSAGE_ELEMENT:
            if (gst_is_missing_plugin_message(msg))
                missing = missingPluginText(msg);
            else if (m_onMessage)
                m_onMessage(*this, msg);
            break;
        default:
            if (m_onMessage)
                m_onMessage(*this, msg);
            break;
        }
        gst_message_unref(msg);
    }
    if (failed) {
        // GStreamer says which element is missing before it says that the item failed.
        if (missing && failed->code != GstPlayer::ErrorNetwork)
            failed = OpenFailure{GstPlayer::ErrorUnsupported, *missing};
        // NULL rather than READY: late errors of a failed item would otherwise surface in the
        // next one.
        gst_element_set_state(m_playbin, GST_STATE_NULL);
        return failed;
    }
    m_open = true;
    // Decoding goes on ahead of the mixer from here; the appsink holds it back.
    gst_element_set_state(m_playbin, GST_STATE_PLAYING);
    return std::nullopt;
}

void GstDecoder::close()
{
    if (!m_playbin)
        return;
    m_open = false;
    gst_element_set_state(m_playbin, GST_STATE_READY);
}

std::unique_ptr<SoundFeed> GstDecoder::feed()
{
    return std::make_unique<AppSinkFeed>(m_appsink, m_inUse, m_broken);
}

double GstDecoder::duration()
{
    gint64 ns = 0;
    if (m_open && gst_element_query_duration(m_playbin, GST_FORMAT_TIME, &ns) && ns > 0)
        return static_cast<double>(ns) / GST_SECOND;
    return 0;
}

bool GstDecoder::canSeek()
{
    GstQuery* query = gst_query_new_seeking(GST_FORMAT_TIME);
    gboolean seekable = FALSE;
    if (m_open && gst_element_query(m_playbin, query))
        gst_query_parse_seeking(query, nullptr, &seekable, nullptr, nullptr);
    gst_query_unref(query);
    return seekable;
}

bool GstDecoder::seek(double seconds)
{
    return m_open && gst_element_seek_simple(
                         m_playbin, GST_FORMAT_TIME,
                         static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                         static_cast<gint64>(std::max(0.0, seconds) * GST_SECOND));
}

} // namespace quavix
