// The player of the GStreamer module: items decoded ahead (GstDecoder), mixed (SoundMixer)
// and played by one output that outlives them (GstOutput), a list or link file expanded
// into its entries (MediaLists), songs measured for their loudness (GstLoudness).
//
// Threads: everything here runs on the UI thread, except the mixer's news, which comes on
// the output's streaming thread and is posted to the UI thread at once.
#include "GstBroadcast.h"
#include "GstDecoder.h"
#include "GstLoudness.h"
#include "GstOutput.h"
#include "GstPlayer.h"
#include "platform/MediaAddress.h"
#include "platform/MediaLists.h"
#include "platform/MediaVolume.h"
#include "platform/SoundMixer.h"
#include "platform/posix/LoudnessCache.h"
#include "platform/posix/Mp3Duration.h"
#include "platform/posix/XdgPaths.h"

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <memory>
#include <optional>
#include <set>
#include <unistd.h>
#include <utility>
#include <vector>
// GIO names a struct member "signals", which the toolkit defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace quavix {

namespace {

using namespace std::chrono_literals;

constexpr auto LocalDeadline = 5s;
constexpr auto NetworkDeadline = 10s;
// A song not measured yet is waited for this long before it plays at its tags' gain.
constexpr auto MeasureWait = 2s;
// Lists inside lists are followed this deep.
constexpr int MaxListDepth = 3;

std::string schemeOf(const std::string& address)
{
    std::string scheme = address.substr(0, address.find("://"));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(g_ascii_tolower(c)); });
    return scheme;
}

std::string timeText(double seconds)
{
    const auto whole = static_cast<long long>(std::max(0.0, std::floor(seconds)));
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

// GIO's desktop proxy resolver reads the desktop's proxy settings and ends the whole process
// when their schema is not installed (a sandbox, an XDG_DATA_DIRS without /usr/share): the
// first http item would take the player down. Without the schema, connect directly; the
// http source still honours $http_proxy by itself.
void connectDirectlyWithoutProxySettings()
{
    if (g_getenv("GIO_USE_PROXY_RESOLVER"))
        return; // the user chose
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (GSettingsSchema* schema =
            source ? g_settings_schema_source_lookup(source, "org.gnome.system.proxy", TRUE)
                   : nullptr) {
        g_settings_schema_unref(schema);
        return;
    }
    g_setenv("GIO_USE_PROXY_RESOLVER", "dummy", FALSE);
}

// A list's text over http(s), with the type its server gave it.
struct Fetched {
    std::string contentType;
    std::string body;
    std::optional<OpenFailure> failure;
};

Fetched fetch(const std::string& url, std::chrono::milliseconds deadlineAfter)
{
    Fetched f;
    GError* err = nullptr;
    GstElement* src = gst_element_make_from_uri(GST_URI_SRC, url.c_str(), nullptr, &err);
    g_clear_error(&err);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (!src || !sink) {
        for (GstElement* e : {src, sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        f.failure = OpenFailure{GstPlayer::ErrorNoHandler, "it cannot be fetched."};
        return f;
    }
    g_object_set(sink, "sync", FALSE, nullptr);
    GstElement* pipeline = gst_pipeline_new("fetch");
    gst_bin_add_many(GST_BIN(pipeline), src, sink, nullptr);
    gst_element_link(src, sink);
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const auto deadline = std::chrono::steady_clock::now() + deadlineAfter;
    auto* appsink = GST_APP_SINK(sink);
    while (!f.failure) {
        while (GstMessage* msg = gst_bus_pop(bus)) {
            if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
                f.failure = failureFromMessage(msg, true);
            } else if (const GstStructure* s = gst_message_get_structure(msg);
                       s && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ELEMENT &&
                       gst_structure_has_name(s, "http-headers")) {
                const GValue* v = gst_structure_get_value(s, "response-headers");
                if (v && GST_VALUE_HOLDS_STRUCTURE(v))
                    if (const char* type =
                            gst_structure_get_string(gst_value_get_structure(v), "Content-Type"))
                        f.contentType = type;
            }
            gst_message_unref(msg);
        }
        if (f.failure)
            break;
        GstSample* sample = gst_app_sink_try_pull_sample(appsink, 20 * GST_MSECOND);
        if (!sample) {
            if (gst_app_sink_is_eos(appsink))
                break;
            if (std::chrono::steady_clock::now() > deadline)
                f.failure =
                    OpenFailure{GstPlayer::ErrorTimeout,
                                "no answer within " + std::to_string(deadlineAfter.count() / 1000) +
                                    " seconds."};
            continue;
        }
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            f.body.append(reinterpret_cast<const char*>(map.data), map.size);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
        if (f.body.size() > MaxListBytes)
            break; // more than any list: the caller looks at the head only
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    return f;
}

bool isHttp(const std::string& address)
{
    const std::string scheme = schemeOf(address);
    return scheme == "http" || scheme == "https";
}

} // namespace

class GstAudioPlayer final : public GstPlayer {
public:
    GstAudioPlayer();
    ~GstAudioPlayer() override;
    GstAudioPlayer(const GstAudioPlayer&) = delete;
    GstAudioPlayer& operator=(const GstAudioPlayer&) = delete;

    void setNoticeHandler(std::function<void(const std::string&)> handler) override;
    void setStatusHandler(std::function<void(const std::string&)> handler) override;
    void setLineHandler(std::function<void(const std::string&)> handler) override;
    void setSound(const SoundSettings& settings) override;
    void setFileName(const std::string& name) override;
    std::string fileName() const override;
    double duration() override;
    double currentPosition() override;
    void setCurrentPosition(double seconds) override;
    int playState() override;
    long errorCode() override;
    std::string errorDescription() override;
    int volume() const override;
    void setVolume(int hundredthsOfDb) override;
    void pause() override;
    void play() override;
    void stop() override;
    void warmUp() override;
    bool durationIsEstimate() override;
    bool canSeek() override;
    MediaTags tags() override;
    void expect(const std::vector<std::string>& names) override;
    void setBroadcast(const BroadcastSettings& settings,
                      std::function<std::string(const std::string&)> conventionTitle) override;

private:
    struct Entry {
        std::string location, title, alternative;
        int depth = 0;
    };
    // The item that was opened last: one name, or the entries of a list played in turn.
    struct Item {
        std::string name;
        std::vector<Entry> entries;
        std::size_t index = 0;           // the entry that plays
        std::set<std::string> listsSeen; // a list named again is a cycle
        GstDecoder* decoder = nullptr;   // the entry's
        std::uint64_t mixId = 0;         // the entry in the mixer
        std::string file;                // the entry's local file, "" for an address
        bool network = false;
        double duration = 0;
        bool durationExact = true;
        bool seekable = true;
        double position = 0;
        MediaTags tags;                   // the entry's own
        bool serverTitles = false;        // its server sends titles, read as they arrive
        std::optional<double> replayGain; // its track gain tag, dB
        SoundShape shape;
    };

    bool ensurePipeline();
    GstElement* makeLocalSink();
    void startBroadcast();
    GstDecoder* freeDecoder();
    void onDecoderMessage(GstDecoder& decoder, GstMessage* msg);
    void onOutputMessages();
    void onNews(std::uint64_t id, SoundMixer::News news, double position);
    void noteTags(GstMessage* msg);
    void noteStreamTitle(GstMessage* msg);
    void noteHttpHeaders(GstDecoder& decoder, const GstStructure* s);
    void checkSilentOutput();
    void updateStreamTitle();

    // Opens the entries from `from` on until one plays; the failure of the last tried
    // otherwise (and how many were tried).
    std::optional<OpenFailure> openFrom(std::size_t from, std::size_t& tried);
    // One entry: nullopt when it plays or was expanded in place (a list).
    std::optional<OpenFailure> openEntry(std::size_t index, bool& expanded);
    std::optional<OpenFailure> expandList(std::size_t index, const std::string& text,
                                          std::string_view contentType);
    void startEntry();
    void itemFailed(const OpenFailure& f);
    void cut();
    void changeState(int newState);
    void postDelivery();
    void deliver();
    void pumpAll();
    void updatePosition();
    void say(const std::string& line);

    QObject m_context;     // owns the notifiers; queued calls die with it
    QObject m_newsContext; // the mixer's news, handled at the start of every getter too
    std::unique_ptr<SoundMixer> m_mixer;
    std::unique_ptr<GstOutput> m_output;
    std::vector<std::unique_ptr<GstDecoder>> m_decoders;
    QSocketNotifier* m_outputNotifier = nullptr;
    GstElement* m_autoSink = nullptr; // the automatic output, when no override is set
    std::function<void(const std::string&)> m_noticeHandler, m_statusHandler, m_lineHandler;
    bool m_noticeGiven = false;
    bool m_openedOnce = false;
    bool m_failedToStart = false;
    std::string m_startProblem;

    SoundSettings m_sound;
    std::unique_ptr<LoudnessCache> m_cache;
    std::unique_ptr<GstLoudness> m_loudness;
    std::vector<std::string> m_expected; // until m_loudness exists

    std::optional<BroadcastSettings> m_broadcastSettings;
    std::function<std::string(const std::string&)> m_conventionTitle;
    std::unique_ptr<GstBroadcast> m_broadcast;

    Item m_item;
    GstDecoder* m_opening = nullptr;
    int m_state = Stopped;
    long m_error = NoError;
    std::string m_errorText;
    int m_volume = 0;

    std::deque<PlayStateEvent> m_pending;
    bool m_deliveryPosted = false;
};

GstAudioPlayer::GstAudioPlayer() = default;

GstAudioPlayer::~GstAudioPlayer()
{
    // The last item's end is still on its way to the sound card and the server: it is
    // played out (a station's last song ends whole), unless something was cut short.
    if (m_output && m_output->playing() && m_state != Playing && m_state != Paused) {
        const auto wait = GstOutput::Lead + SoundMixer::Grace + 300ms;
        if (GstMessage* msg = gst_bus_timed_pop_filtered(
                m_output->bus(),
                static_cast<GstClockTime>(
                    std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count()),
                static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)))
            gst_message_unref(msg);
    }
    delete m_outputNotifier;
    m_output.reset(); // stops the streaming thread before the mixer and the feeds go
    m_mixer.reset();
    m_decoders.clear();
}

bool GstAudioPlayer::ensurePipeline()
{
    if (m_output)
        return true;
    if (m_failedToStart) {
        m_error = ErrorPlayback;
        m_errorText = m_startProblem;
        return false;
    }
    auto fail = [this](std::string text) {
        m_failedToStart = true;
        m_startProblem = std::move(text);
        m_error = ErrorPlayback;
        m_errorText = m_startProblem;
        return false;
    };
    if (!gst_is_initialized()) {
        connectDirectlyWithoutProxySettings();
        GError* err = nullptr;
        if (!gst_init_check(nullptr, nullptr, &err)) {
            std::string text = std::string("The media framework could not start: ") +
                               (err ? err->message : "unknown error");
            g_clear_error(&err);
            return fail(text);
        }
    }
    // The libav MP3 decoder shares the mpg123 one's rank and wins on its name; mpg123
    // opens about three times faster and needs a third of the memory.
    static const bool ranked = [] {
        if (GstElementFactory* f = gst_element_factory_find("mpg123audiodec")) {
            gst_plugin_feature_set_rank(GST_PLUGIN_FEATURE(f), GST_RANK_PRIMARY + 1);
            gst_object_unref(f);
        }
        return true;
    }();
    (void)ranked;

    // The mixer tells its news on the output's thread; the player hears it on its own.
    m_mixer = std::make_unique<SoundMixer>(
        [this](std::uint64_t id, SoundMixer::News news, double position) {
            QMetaObject::invokeMethod(
                &m_newsContext, [this, id, news, position] { onNews(id, news, position); },
                Qt::QueuedConnection);
        });
    if (m_sound.loudness)
        m_mixer->setLimiter(linearFromDb(TruePeakCeilingDb));
    if (m_sound.loudness || m_sound.trimSilence) {
        m_cache = std::make_unique<LoudnessCache>(xdg::loudnessCachePath());
        m_cache->load();
        m_loudness = std::make_unique<GstLoudness>(*m_cache, m_sound.trimSilence.value_or(-50));
        m_loudness->expect(std::exchange(m_expected, {}));
    }
    m_output = std::make_unique<GstOutput>(*m_mixer);
    GstElement* sink = makeLocalSink();
    startBroadcast();
    if (m_broadcast)
        sink = m_broadcast->makeItemSink(sink);
    std::string problem;
    if (!m_output->build(sink, m_broadcast != nullptr, problem)) {
        m_output.reset();
        return fail("The sound output could not be made: " + problem);
    }
    m_output->setVolume(linearVolume(m_volume));
    GPollFD pfd{};
    gst_bus_get_pollfd(m_output->bus(), &pfd);
    m_outputNotifier = new QSocketNotifier(pfd.fd, QSocketNotifier::Read, &m_context);
    QObject::connect(m_outputNotifier, &QSocketNotifier::activated, &m_context,
                     [this] { onOutputMessages(); });
    return true;
}

// The sound card, or what QUAVIX_AUDIO_SINK names instead.
GstElement* GstAudioPlayer::makeLocalSink()
{
    GstElement* sink = nullptr;
    if (const char* desc = std::getenv("QUAVIX_AUDIO_SINK"); desc && *desc) {
        GError* err = nullptr;
        sink = gst_parse_bin_from_description(desc, TRUE, &err);
        if (!sink || err) {
            g_warning("QUAVIX_AUDIO_SINK \"%s\" is not usable: %s", desc,
                      err ? err->message : "no element");
            g_clear_error(&err);
            if (sink)
                gst_object_unref(gst_object_ref_sink(sink));
            sink = nullptr;
        }
    }
    if (!sink) {
        sink = gst_element_factory_make("autoaudiosink", nullptr);
        m_autoSink = sink;
    }
    return sink;
}

void GstAudioPlayer::startBroadcast()
{
    if (!m_broadcastSettings || m_broadcast)
        return;
    auto output = std::make_unique<GstBroadcast>(*m_broadcastSettings,
                                                 [this](const std::string& line) { say(line); });
    std::string problem;
    if (!output->start(problem)) {
        // Nobody may be there to answer a box: the station plays on without the server.
        say("broadcast: cannot broadcast: " + problem);
        return;
    }
    m_broadcast = std::move(output);
}

void GstAudioPlayer::say(const std::string& line)
{
    if (m_lineHandler) {
        m_lineHandler(line);
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    }
}

void GstAudioPlayer::setLineHandler(std::function<void(const std::string&)> handler)
{
    if (m_output)
        return;
    m_lineHandler = std::move(handler);
    // What GLib and the media framework log goes the same way (once for the process: the
    // writer can be set only once).
    static std::function<void(const std::string&)>* logLines = nullptr;
    if (!logLines) {
        logLines = new std::function<void(const std::string&)>(m_lineHandler);
        g_log_set_writer_func(
            [](GLogLevelFlags level, const GLogField* fields, gsize n, gpointer lines) {
                if (g_log_writer_default_would_drop(level, nullptr))
                    return G_LOG_WRITER_HANDLED;
                gchar* text = g_log_writer_format_fields(level, fields, n, FALSE);
                (*static_cast<std::function<void(const std::string&)>*>(lines))(text);
                g_free(text);
                return G_LOG_WRITER_HANDLED;
            },
            logLines, nullptr);
    }
}

GstDecoder* GstAudioPlayer::freeDecoder()
{
    for (auto& d : m_decoders)
        if (!d->inUse() && d.get() != m_item.decoder)
            return d.get();
    m_decoders.push_back(std::make_unique<GstDecoder>(
        [this](GstDecoder& d, GstMessage* msg) { onDecoderMessage(d, msg); }));
    return m_decoders.back().get();
}

void GstAudioPlayer::onDecoderMessage(GstDecoder& decoder, GstMessage* msg)
{
    if (&decoder != m_item.decoder && &decoder != m_opening)
        return; // an item on its way out
    switch (GST_MESSAGE_TYPE(msg)) {
    case GST_MESSAGE_TAG:
        noteTags(msg);
        break;
    case GST_MESSAGE_APPLICATION:
        noteStreamTitle(msg);
        break;
    case GST_MESSAGE_DURATION_CHANGED:
        m_item.durationExact = false;
        break;
    case GST_MESSAGE_ELEMENT:
        if (const GstStructure* s = gst_message_get_structure(msg);
            s && gst_structure_has_name(s, "http-headers"))
            noteHttpHeaders(decoder, s);
        break;
    default:
        break;
    }
}

void GstAudioPlayer::noteTags(GstMessage* msg)
{
    GstTagList* list = nullptr;
    gst_message_parse_tag(msg, &list);
    MediaTags& t = m_item.tags;
    const MediaTags before = t;
    for (auto [tag, field] : {std::pair{GST_TAG_TITLE, &t.title},
                              {GST_TAG_ARTIST, &t.artist},
                              {GST_TAG_ALBUM, &t.album}}) {
        // The same titles come here too, seconds after they were read off the stream: taken
        // again, the title would go back to the one before for that long.
        if (field == &t.title && m_item.serverTitles)
            continue;
        gchar* value = nullptr;
        if (gst_tag_list_get_string(list, tag, &value) && value && *value)
            *field = value;
        g_free(value);
    }
    gdouble gain = 0;
    if (gst_tag_list_get_double(list, GST_TAG_TRACK_GAIN, &gain))
        m_item.replayGain = gain;
    gst_tag_list_unref(list);
    if (t != before && (m_state == Playing || m_state == Paused))
        updateStreamTitle(); // a stream tells its titles as it plays
}

void GstAudioPlayer::noteStreamTitle(GstMessage* msg)
{
    const GstStructure* s = gst_message_get_structure(msg);
    const char* title = s && gst_structure_has_name(s, StreamTitleMessage)
                            ? gst_structure_get_string(s, "title")
                            : nullptr;
    if (!title)
        return;
    m_item.serverTitles = true;
    if (m_item.tags.title == title)
        return;
    m_item.tags.title = title;
    if (m_state == Playing || m_state == Paused)
        updateStreamTitle();
}

void GstAudioPlayer::noteHttpHeaders(GstDecoder& decoder, const GstStructure* s)
{
    const GValue* v = gst_structure_get_value(s, "response-headers");
    if (!v || !GST_VALUE_HOLDS_STRUCTURE(v))
        return;
    const GstStructure* headers = gst_value_get_structure(v);
    bool ranges = false;
    for (int i = 0, n = gst_structure_n_fields(headers); i < n; ++i) {
        const char* field = gst_structure_nth_field_name(headers, static_cast<guint>(i));
        if (g_ascii_strcasecmp(field, "Accept-Ranges") != 0)
            continue;
        const GValue* value = gst_structure_get_value(headers, field);
        if (value && G_VALUE_HOLDS_STRING(value)) {
            const char* text = g_value_get_string(value);
            ranges = text && g_ascii_strcasecmp(text, "none") != 0;
        }
    }
    decoder.serverRanges = ranges;
}

void GstAudioPlayer::onOutputMessages()
{
    GstBus* bus = m_output ? m_output->bus() : nullptr;
    while (GstMessage* msg = bus ? gst_bus_pop(bus) : nullptr) {
        if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_WARNING) {
            checkSilentOutput();
        } else if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS) {
            // The stream ended after the last item: the sound device goes free.
            if (m_state != Playing && m_state != Paused)
                m_output->stop();
        } else if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
            // The sound output failed (a sound server that went away): what plays ends
            // where it was; the next open starts the output again.
            GError* err = nullptr;
            gst_message_parse_error(msg, &err, nullptr);
            const std::string why = std::string("the sound output failed (") +
                                    (err && err->message ? err->message : "unknown error") + ").";
            g_clear_error(&err);
            if (m_state == Playing || m_state == Paused)
                itemFailed({ErrorPlayback, why});
            m_output->stop();
        }
        gst_message_unref(msg);
    }
}

void GstAudioPlayer::checkSilentOutput()
{
    // A warm-up at start-up opens the output too; the user hears of it when playing.
    if (m_noticeGiven || !m_autoSink || !m_openedOnce)
        return;
    // autoaudiosink that found no device plays into a fakesink of its own and only warns.
    bool silent = false;
    GstIterator* it = gst_bin_iterate_elements(GST_BIN(m_autoSink));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* child = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* f = gst_element_get_factory(child);
        if (f && g_strcmp0(GST_OBJECT_NAME(f), "fakesink") == 0)
            silent = true;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    if (!silent)
        return;
    m_noticeGiven = true;
    // Later, from the event loop: the handler shows a modal box, which must not run inside
    // an open.
    QMetaObject::invokeMethod(
        &m_context,
        [this] {
            if (m_noticeHandler)
                m_noticeHandler("No sound output is available (no sound device or sound server "
                                "could be opened). Quavix plays on without sound.");
        },
        Qt::QueuedConnection);
}

void GstAudioPlayer::updateStreamTitle()
{
    if (!m_broadcast)
        return;
    const std::string rule = m_conventionTitle ? m_conventionTitle(m_item.name) : std::string();
    const MediaTags t = tags();
    m_broadcast->setTitle(streamTitle(rule, t.artist, t.title, m_item.name));
}

void GstAudioPlayer::onNews(std::uint64_t id, SoundMixer::News news, double position)
{
    if (id != m_item.mixId || (m_state != Playing && m_state != Paused))
        return; // of an item that was replaced or stopped
    if (news == SoundMixer::News::DeadAir) {
        const std::string line = "\"" + m_item.name + "\" was silent from " + timeText(position) +
                                 " on and was ended (dead air).";
        if (m_statusHandler)
            m_statusHandler(line);
        return;
    }
    // Over: the entry ended (or, with a crossfade, its fade-out begins).
    m_item.position = position;
    if (m_item.decoder && m_item.decoder->failure()) {
        itemFailed(*m_item.decoder->failure());
        return;
    }
    if (m_item.index + 1 < m_item.entries.size()) {
        // A list goes on with its next entry, as one item.
        std::size_t tried = 0;
        if (!openFrom(m_item.index + 1, tried)) {
            startEntry();
            return;
        }
    }
    if (m_item.duration > 0)
        m_item.position = m_item.duration;
    else
        m_item.duration = m_item.position;
    m_item.durationExact = true;
    changeState(Stopped);
}

void GstAudioPlayer::itemFailed(const OpenFailure& f)
{
    m_error = f.code;
    m_errorText = "Cannot play \"" + m_item.name + "\": " + f.why;
    updatePosition();
    changeState(Stopped);
}

// What plays stops at once and is forgotten: the output's queue is dropped.
void GstAudioPlayer::cut()
{
    if (m_output)
        m_output->stop();
    if (m_item.decoder && !m_item.decoder->inUse())
        m_item.decoder->close();
}

void GstAudioPlayer::changeState(int newState)
{
    if (newState == m_state)
        return;
    m_pending.push_back(stateEvent(m_state, newState));
    m_state = newState;
    postDelivery();
}

void GstAudioPlayer::postDelivery()
{
    if (m_deliveryPosted)
        return;
    m_deliveryPosted = true;
    QMetaObject::invokeMethod(
        &m_context,
        [this] {
            m_deliveryPosted = false;
            deliver();
        },
        Qt::QueuedConnection);
}

void GstAudioPlayer::deliver()
{
    // One at a time: a handler may open the next item, which queues events of its own.
    while (!m_pending.empty()) {
        auto e = m_pending.front();
        m_pending.pop_front();
        notifyPlayState(e);
    }
}

void GstAudioPlayer::pumpAll()
{
    // What the streaming threads posted is handled before anything is read (play-state
    // events are still delivered from the event loop only).
    QCoreApplication::sendPostedEvents(&m_newsContext, QEvent::MetaCall);
    onOutputMessages();
}

void GstAudioPlayer::updatePosition()
{
    if (!m_output || (m_state != Playing && m_state != Paused) || !m_item.mixId)
        return;
    if (auto p = m_mixer->positionAt(m_item.mixId, m_output->heardFrame())) {
        m_item.position = *p;
        if (!m_item.durationExact && m_item.duration > 0 && m_item.position > m_item.duration)
            m_item.duration = m_item.position; // an estimated length must not end early
        if (m_item.durationExact && m_item.duration > 0)
            m_item.position = std::min(m_item.position, m_item.duration);
    }
}

std::optional<OpenFailure> GstAudioPlayer::expandList(std::size_t index, const std::string& text,
                                                      std::string_view contentType)
{
    const Entry list = m_item.entries[index];
    if (list.depth >= MaxListDepth)
        return OpenFailure{ErrorUnsupported, "its lists name lists more than " +
                                                 std::to_string(MaxListDepth) + " deep."};
    if (!m_item.listsSeen.insert(list.location).second)
        return OpenFailure{ErrorUnsupported, "its list names itself."};
    const ListFormat format = recogniseList(text, contentType);
    ListContents contents = parseList(text, format, list.location);
    if (!contents.problem.empty())
        return OpenFailure{ErrorUnsupported, contents.problem};
    std::vector<Entry> entries;
    for (auto& e : contents.entries)
        entries.push_back(
            {std::move(e.location), std::move(e.title), std::move(e.alternative), list.depth + 1});
    m_item.entries.erase(m_item.entries.begin() + static_cast<std::ptrdiff_t>(index));
    m_item.entries.insert(m_item.entries.begin() + static_cast<std::ptrdiff_t>(index),
                          entries.begin(), entries.end());
    return std::nullopt;
}

std::optional<OpenFailure> GstAudioPlayer::openEntry(std::size_t index, bool& expanded)
{
    expanded = false;
    Entry e = m_item.entries[index];
    std::string uri;
    bool network = false;
    std::string file;
    if (auto local = localFileOfUri(e.location); local && isStreamAddress(e.location))
        e.location = *local; // a file:// address is a local file
    if (isStreamAddress(e.location)) {
        const std::string scheme = schemeOf(e.location);
        if (!gst_uri_protocol_is_supported(GST_URI_SRC, scheme.c_str()))
            return OpenFailure{ErrorNoHandler,
                               "no source for \"" + scheme + "\" addresses is installed."};
        uri = e.location;
        network = true;
    } else {
        std::error_code ec;
        std::filesystem::path path = std::filesystem::absolute(e.location, ec);
        if ((ec || !std::filesystem::exists(path, ec)) && !e.alternative.empty())
            path = std::filesystem::absolute(e.alternative, ec);
        if (ec || !std::filesystem::exists(path, ec))
            return OpenFailure{ErrorNotFound, "the file does not exist."};
        if (std::filesystem::is_directory(path, ec))
            return OpenFailure{ErrorNotFound, "it is a folder, not a file."};
        // A FIFO or a device would block the source's open and with it the whole program.
        if (!std::filesystem::is_regular_file(path, ec))
            return OpenFailure{ErrorNotFound, "it is not a plain file."};
        if (::access(path.c_str(), R_OK) != 0)
            return OpenFailure{ErrorNotFound, "it cannot be read (permission denied)."};
        file = path.string();
        if (LocalList list = readLocalList(file); list.format != ListFormat::NotAList) {
            if (!list.problem.empty())
                return OpenFailure{ErrorUnsupported, list.problem};
            m_item.entries[index].location = file;
            expanded = true;
            return expandList(index, list.content, {});
        }
        uri = fileUriOf(file);
    }

    GstDecoder* decoder = freeDecoder();
    bool endedEarly = false;
    m_opening = decoder; // what it says while it opens (tags, http headers) is the entry's
    auto failed =
        decoder->open(uri, network, network ? NetworkDeadline : LocalDeadline, endedEarly);
    m_opening = nullptr;
    if (failed && network && failed->code == ErrorUnsupported && isHttp(e.location)) {
        // Not sound: perhaps a list or a link (its server's type says so, else its text).
        Fetched f = fetch(e.location, NetworkDeadline);
        if (!f.failure && recogniseList(f.body, f.contentType) != ListFormat::NotAList) {
            if (f.body.size() > MaxListBytes)
                return OpenFailure{ErrorUnsupported, "the list is larger than 1 MB."};
            expanded = true;
            return expandList(index, f.body, f.contentType);
        }
    }
    if (failed)
        return failed;
    m_item.decoder = decoder;
    m_item.index = index;
    m_item.file = file;
    m_item.network = network;
    (void)endedEarly; // the mixer finds the end by itself
    return std::nullopt;
}

std::optional<OpenFailure> GstAudioPlayer::openFrom(std::size_t from, std::size_t& tried)
{
    std::optional<OpenFailure> last;
    tried = 0;
    for (std::size_t i = from; i < m_item.entries.size();) {
        // A new entry starts with nothing known of it.
        m_item.tags = {};
        m_item.serverTitles = false;
        m_item.replayGain.reset();
        bool expanded = false;
        auto failed = openEntry(i, expanded);
        if (expanded && !failed)
            continue; // the list's entries now stand where it stood
        if (!failed)
            return std::nullopt;
        ++tried;
        last = failed;
        if (m_statusHandler && m_item.entries.size() > 1)
            m_statusHandler("Passed over \"" + m_item.entries[i].location + "\": " + failed->why);
        ++i;
    }
    if (!last)
        return OpenFailure{ErrorUnsupported, "the list names nothing to play."};
    if (tried > 1)
        last->why = "none of its " + std::to_string(tried) +
                    " entries could be played; the last: " + last->why;
    return last;
}

// The entry whose decoder just opened goes to the mixer.
void GstAudioPlayer::startEntry()
{
    Item& it = m_item;
    GstDecoder& d = *it.decoder;
    m_openedOnce = true;
    checkSilentOutput();
    it.duration = d.duration();
    it.durationExact = true;
    if (it.duration <= 0 && !it.file.empty()) {
        if (auto estimate = estimateMp3Duration(it.file)) {
            it.duration = *estimate;
            it.durationExact = false;
        }
    }
    // A server that does not say it serves byte ranges answers a ranged request with the
    // whole body, and the source then ends the item.
    it.seekable = !it.network || (d.canSeek() && d.serverRanges.value_or(true));
    it.position = 0;

    SoundShape shape;
    const bool song = !it.file.empty() && it.durationExact && it.duration > 0;
    std::optional<SongMeasure> measure;
    if (song && m_loudness) {
        measure = m_loudness->measureOf(it.file, MeasureWait);
        m_loudness->playing(it.file);
    }
    if (song && m_sound.loudness)
        shape.gain = linearFromDb(loudnessGainDb(
            *m_sound.loudness, measure ? std::optional(measure->loudness) : std::nullopt,
            it.replayGain));
    if (song && m_sound.trimSilence) {
        shape.trimLevel = linearFromDb(*m_sound.trimSilence);
        if (measure && measure->lastSound > 0)
            shape.end = measure->lastSound;
    }
    if (song && m_sound.crossfade > 0) {
        shape.crossfade = m_sound.crossfade;
        if (!shape.end)
            shape.end = it.duration;
    }
    shape.deadAir = m_sound.deadAir;
    shape.deadAirLevel = linearFromDb(DeadAirLevelDb);
    it.shape = shape;
    it.mixId = m_mixer->add(d.feed(), shape);
    if (m_mixer->takeDrained())
        m_output->restart(); // the last stream ended before this item came
    else
        m_output->play();
    updateStreamTitle();
}

void GstAudioPlayer::setNoticeHandler(std::function<void(const std::string&)> handler)
{
    m_noticeHandler = std::move(handler);
}

void GstAudioPlayer::setStatusHandler(std::function<void(const std::string&)> handler)
{
    m_statusHandler = std::move(handler);
}

void GstAudioPlayer::setSound(const SoundSettings& settings)
{
    if (!m_output)
        m_sound = settings;
}

void GstAudioPlayer::setFileName(const std::string& name)
{
    if (!ensurePipeline())
        return;
    pumpAll();
    const bool going = m_state == Playing || m_state == Paused;
    if (going) {
        updatePosition();
        changeState(Stopped);
        // Replaced by hand: with a crossfade the old song fades under the new one.
        if (m_sound.crossfade > 0 && m_output->playing() && !name.empty())
            m_mixer->fadeOutAll(m_sound.crossfade);
        else
            cut();
    }
    // An item that ran to its end leaves its last sound queued: the next follows it.
    beginItem();
    m_item = Item{};
    m_item.name = name;
    m_error = NoError;
    m_errorText.clear();
    if (name.empty())
        return;
    m_item.entries.push_back({name, "", "", 0});
    m_state = Opening;
    std::size_t tried = 0;
    if (auto failed = openFrom(0, tried)) {
        m_state = Stopped;
        m_error = failed->code;
        m_errorText = "Cannot play \"" + name + "\": " + failed->why;
        return;
    }
    startEntry();
    m_state = Stopped;
    changeState(Playing);
}

std::string GstAudioPlayer::fileName() const
{
    return m_item.name;
}

double GstAudioPlayer::duration()
{
    pumpAll();
    if (!m_item.durationExact && m_item.decoder && (m_state == Playing || m_state == Paused)) {
        if (const double exact = m_item.decoder->duration(); exact > 0) {
            m_item.duration = exact;
            m_item.durationExact = true;
        }
    }
    return m_item.duration;
}

double GstAudioPlayer::currentPosition()
{
    pumpAll();
    updatePosition();
    return m_item.position;
}

void GstAudioPlayer::setCurrentPosition(double seconds)
{
    pumpAll();
    if (m_state != Playing && m_state != Paused)
        return;
    duration();
    if (m_item.duration > 0 && seconds >= m_item.duration) {
        // No seek: the item ends here and now, and says so before this returns. With a
        // crossfade it fades under the next one.
        if (m_sound.crossfade > 0 && m_output->playing() && m_item.shape.crossfade > 0)
            m_mixer->fadeOutAll(m_sound.crossfade);
        else
            cut();
        m_item.position = m_item.duration;
        m_item.durationExact = true;
        changeState(Stopped);
        deliver();
        return;
    }
    if (!m_item.seekable || !m_item.decoder)
        return;
    seconds = std::max(0.0, seconds);
    // What is queued is of the old place: dropped, and the decoder reads from the new one.
    const bool paused = m_state == Paused;
    m_output->stop();
    if (!m_item.decoder->seek(seconds))
        return;
    SoundShape shape = m_item.shape;
    shape.start = seconds;
    m_item.mixId = m_mixer->add(m_item.decoder->feed(), shape);
    m_mixer->takeDrained();
    m_item.position = seconds;
    if (!paused)
        m_output->play();
}

int GstAudioPlayer::playState()
{
    pumpAll();
    return m_state;
}

long GstAudioPlayer::errorCode()
{
    pumpAll();
    return m_error;
}

std::string GstAudioPlayer::errorDescription()
{
    pumpAll();
    return m_errorText;
}

int GstAudioPlayer::volume() const
{
    return m_volume;
}

void GstAudioPlayer::setVolume(int hundredthsOfDb)
{
    m_volume = std::clamp(hundredthsOfDb, MinVolume, MaxVolume);
    if (m_output)
        m_output->setVolume(linearVolume(m_volume));
}

void GstAudioPlayer::pause()
{
    pumpAll();
    if (m_state != Playing)
        return;
    updatePosition();
    m_output->pause();
    changeState(Paused);
}

void GstAudioPlayer::play()
{
    pumpAll();
    if (m_state != Paused)
        return;
    m_output->play();
    changeState(Playing);
}

void GstAudioPlayer::stop()
{
    pumpAll();
    if (m_state != Playing && m_state != Paused)
        return;
    updatePosition();
    cut();
    changeState(Stopped);
}

void GstAudioPlayer::warmUp()
{
    if (m_output || !ensurePipeline())
        return;
    // What the open of an MP3 loads besides playbin: loaded now, it is not loaded then.
    for (const char* name : {"filesrc", "typefind", "id3demux", "mpegaudioparse", "mpg123audiodec",
                             "audioconvert", "audioresample", "appsink"}) {
        if (GstElementFactory* f = gst_element_factory_find(name)) {
            if (GstPluginFeature* loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(f)))
                gst_object_unref(loaded);
            gst_object_unref(f);
        }
    }
    freeDecoder();
}

bool GstAudioPlayer::durationIsEstimate()
{
    duration();
    return !m_item.durationExact;
}

bool GstAudioPlayer::canSeek()
{
    pumpAll();
    return (m_state == Playing || m_state == Paused) && m_item.seekable;
}

MediaTags GstAudioPlayer::tags()
{
    pumpAll();
    MediaTags t = m_item.tags;
    // The title a list gives its entry stands while the entry says none of its own.
    if (t.title.empty() && m_item.index < m_item.entries.size())
        t.title = m_item.entries[m_item.index].title;
    return t;
}

void GstAudioPlayer::expect(const std::vector<std::string>& names)
{
    if (m_loudness)
        m_loudness->expect(names);
    else
        m_expected = names; // a station's list comes before its first song: kept till then
}

void GstAudioPlayer::setBroadcast(const BroadcastSettings& settings,
                                  std::function<std::string(const std::string&)> conventionTitle)
{
    if (m_output)
        return; // the output is part of the pipeline, which exists already
    m_broadcastSettings = settings;
    m_conventionTitle = std::move(conventionTitle);
}

} // namespace quavix

quavix::GstPlayer* quavix_new_gst_player()
{
    return new quavix::GstAudioPlayer;
}
