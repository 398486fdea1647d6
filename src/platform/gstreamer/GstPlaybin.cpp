#include "GstBroadcast.h"
#include "GstPlayer.h"
#include "platform/MediaAddress.h"
#include "platform/MediaVolume.h"
#include "platform/posix/Mp3Duration.h"

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gst/gst.h>
#include <memory>
#include <optional>
#include <system_error>
// GIO names a struct member "signals", which the toolkit defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")
#include <utility>
#include <vector>

namespace quavix {

namespace {

// playbin's GstPlayFlags: audio only, volume applied in software so that it works on every
// output, including a recording bin.
constexpr guint PlayFlagAudio = 1u << 1;
constexpr guint PlayFlagSoftVolume = 1u << 4;

std::string schemeOf(const std::string& address)
{
    std::string scheme = address.substr(0, address.find("://"));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(g_ascii_tolower(c)); });
    return scheme;
}

bool isWithin(GstObject* object, GstElement* ancestor)
{
    for (GstObject* o = object; o; o = GST_OBJECT_PARENT(o))
        if (o == GST_OBJECT(ancestor))
            return true;
    return false;
}

} // namespace

// The player on one playbin; GstPlaybin in the program forwards to it.
class GstPlaybin final : public GstPlayer {
public:
    GstPlaybin();
    ~GstPlaybin() override;
    GstPlaybin(const GstPlaybin&) = delete;
    GstPlaybin& operator=(const GstPlaybin&) = delete;

    void setNoticeHandler(std::function<void(const std::string&)> handler) override;
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
    void setBroadcast(const BroadcastSettings& settings,
                      std::function<std::string(const std::string&)> conventionTitle) override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

struct GstPlaybin::Impl {
    explicit Impl(GstPlaybin& owner) : q(owner) {}
    ~Impl();

    GstPlaybin& q;
    QObject context; // owns the notifier; queued deliveries die with it
    GstElement* playbin = nullptr;
    GstBus* bus = nullptr;
    GstElement* autoSink = nullptr; // the automatic output, when no override is set
    QSocketNotifier* notifier = nullptr;
    std::function<void(const std::string&)> noticeHandler;
    bool noticeGiven = false;
    bool openedOnce = false; // the silent-output notice waits for the first item

    std::string name;
    bool network = false;
    int state = Stopped;
    long error = NoError;
    std::string errorText;
    int volume = 0;
    double position = 0;
    double duration = 0;
    bool durationExact = true;
    bool seekable = true;
    std::optional<bool> serverRanges; // from the http response, when there was one

    std::optional<BroadcastSettings> broadcastSettings;
    std::function<std::string(const std::string&)> conventionTitle;
    std::unique_ptr<GstBroadcast> broadcast; // when broadcasting
    std::string tagArtist, tagTitle;         // the current item's own tags

    std::deque<PlayStateEvent> pending;
    bool deliveryPosted = false;

    bool ensurePipeline();
    void pump();
    void handle(GstMessage* msg);
    void changeState(int newState);
    void postDelivery();
    void deliver();
    void fail(long code, std::string text);
    void failFromMessage(GstMessage* msg);
    void ended();
    void refreshDuration();
    void updatePosition();
    void checkSilentOutput();
    void noteHttpHeaders(const GstStructure* s);
    GstElement* makeLocalSink();
    void startBroadcast();
    void noteTags(GstMessage* msg);
    void updateStreamTitle();

    // The steps of an open. What playbin is given for a name (its URI, and the file when
    // it is local); nothing, after fail(), when it cannot be played.
    struct Resolved {
        std::string uri;
        std::optional<std::filesystem::path> localFile;
    };
    std::optional<Resolved> resolve(const std::string& item);
    // Pops bus messages until the item prerolled, failed, ended or the deadline passed;
    // true when it opened (endedEarly: it ended while opening).
    bool waitForPreroll(GstStateChangeReturn ret, bool& endedEarly);
    // Length (exact, or estimated from the file) and seekability of the opened item.
    void readOpenedItem(const std::optional<std::filesystem::path>& localFile);
};

GstPlaybin::Impl::~Impl()
{
    delete notifier; // before the bus that owns its descriptor
    if (playbin) {
        gst_element_set_state(playbin, GST_STATE_NULL);
        gst_object_unref(playbin);
    }
    if (bus)
        gst_object_unref(bus);
}

namespace {

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

} // namespace

bool GstPlaybin::Impl::ensurePipeline()
{
    if (playbin)
        return true;
    if (!gst_is_initialized()) {
        connectDirectlyWithoutProxySettings();
        GError* err = nullptr;
        if (!gst_init_check(nullptr, nullptr, &err)) {
            fail(ErrorPlayback, std::string("The media framework could not start: ") +
                                    (err ? err->message : "unknown error"));
            g_clear_error(&err);
            return false;
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

    playbin = gst_element_factory_make("playbin", nullptr);
    if (!playbin) {
        fail(ErrorPlayback, "The media framework has no player element (playbin).");
        return false;
    }
    gst_object_ref_sink(playbin);
    g_object_set(playbin, "flags", PlayFlagAudio | PlayFlagSoftVolume, "volume",
                 linearVolume(volume), nullptr);

    GstElement* sink = makeLocalSink();
    startBroadcast();
    if (broadcast) {
        sink = broadcast->makeItemSink(sink);
        // The items and the broadcast count time alike, so that the sound the items leave
        // is taken as fast as it comes, song after song; a sound card keeps in step with it
        // as it does with any clock not its own.
        GstClock* clock = gst_system_clock_obtain();
        gst_pipeline_use_clock(GST_PIPELINE(playbin), clock);
        gst_object_unref(clock);
    }
    if (sink)
        g_object_set(playbin, "audio-sink", sink, nullptr); // playbin takes the floating ref

    bus = gst_element_get_bus(playbin);
    GPollFD pfd{};
    gst_bus_get_pollfd(bus, &pfd);
    notifier = new QSocketNotifier(pfd.fd, QSocketNotifier::Read, &context);
    QObject::connect(notifier, &QSocketNotifier::activated, &context, [this] { pump(); });
    return true;
}

// The sound card, or what QUAVIX_AUDIO_SINK names instead.
GstElement* GstPlaybin::Impl::makeLocalSink()
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
        autoSink = sink;
    }
    return sink;
}

void GstPlaybin::Impl::startBroadcast()
{
    if (!broadcastSettings || broadcast)
        return;
    auto output = std::make_unique<GstBroadcast>(*broadcastSettings);
    std::string problem;
    if (!output->start(problem)) {
        // Nobody may be there to answer a box: the station plays on without the server.
        std::fprintf(stderr, "broadcast: cannot broadcast: %s\n", problem.c_str());
        return;
    }
    broadcast = std::move(output);
}

void GstPlaybin::Impl::noteTags(GstMessage* msg)
{
    GstTagList* tags = nullptr;
    gst_message_parse_tag(msg, &tags);
    for (auto [tag, field] : {std::pair{GST_TAG_ARTIST, &tagArtist}, {GST_TAG_TITLE, &tagTitle}}) {
        gchar* value = nullptr;
        if (gst_tag_list_get_string(tags, tag, &value) && value && *value)
            *field = value;
        g_free(value);
    }
    gst_tag_list_unref(tags);
    if (state == Playing || state == Paused)
        updateStreamTitle(); // a stream tells its titles as it plays
}

void GstPlaybin::Impl::updateStreamTitle()
{
    if (!broadcast)
        return;
    const std::string rule = conventionTitle ? conventionTitle(name) : std::string();
    broadcast->setTitle(streamTitle(rule, tagArtist, tagTitle, name));
}

void GstPlaybin::Impl::pump()
{
    if (!bus)
        return;
    while (GstMessage* msg = gst_bus_pop(bus)) {
        handle(msg);
        gst_message_unref(msg);
    }
}

void GstPlaybin::Impl::handle(GstMessage* msg)
{
    switch (GST_MESSAGE_TYPE(msg)) {
    case GST_MESSAGE_EOS:
        if (state == Playing || state == Paused)
            ended();
        break;
    case GST_MESSAGE_TAG:
        noteTags(msg);
        break;
    case GST_MESSAGE_ERROR:
        // A failure while playing (server gone, broken data) ends the item where it was.
        if (state == Playing || state == Paused) {
            updatePosition();
            failFromMessage(msg);
            changeState(Stopped);
        }
        break;
    case GST_MESSAGE_WARNING:
        checkSilentOutput();
        break;
    case GST_MESSAGE_DURATION_CHANGED:
        durationExact = false;
        break;
    case GST_MESSAGE_ELEMENT:
        if (const GstStructure* s = gst_message_get_structure(msg);
            s && gst_structure_has_name(s, "http-headers"))
            noteHttpHeaders(s);
        break;
    default:
        break;
    }
}

void GstPlaybin::Impl::noteHttpHeaders(const GstStructure* s)
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
    serverRanges = ranges;
}

void GstPlaybin::Impl::checkSilentOutput()
{
    // A warm-up at start-up opens the output too; the user hears of it when playing.
    if (noticeGiven || !autoSink || !openedOnce)
        return;
    // autoaudiosink that found no device plays into a fakesink of its own and only warns.
    bool silent = false;
    GstIterator* it = gst_bin_iterate_elements(GST_BIN(autoSink));
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
    noticeGiven = true;
    // Later, from the event loop: the handler shows a modal box, which must not run inside
    // an open.
    QMetaObject::invokeMethod(
        &context,
        [this] {
            if (noticeHandler)
                noticeHandler("No sound output is available (no sound device or sound server "
                              "could be opened). Quavix plays on without sound.");
        },
        Qt::QueuedConnection);
}

void GstPlaybin::Impl::changeState(int newState)
{
    if (newState == state)
        return;
    pending.push_back(q.stateEvent(state, newState));
    state = newState;
    postDelivery();
}

void GstPlaybin::Impl::postDelivery()
{
    if (deliveryPosted)
        return;
    deliveryPosted = true;
    QMetaObject::invokeMethod(
        &context,
        [this] {
            deliveryPosted = false;
            deliver();
        },
        Qt::QueuedConnection);
}

void GstPlaybin::Impl::deliver()
{
    // One at a time: a handler may open the next item, which queues events of its own.
    while (!pending.empty()) {
        auto e = pending.front();
        pending.pop_front();
        q.notifyPlayState(e);
    }
}

void GstPlaybin::Impl::fail(long code, std::string text)
{
    error = code;
    errorText = std::move(text);
    if (playbin)
        gst_element_set_state(playbin, GST_STATE_NULL);
    // NULL rather than READY: late errors of a failed item would otherwise surface in the
    // next one.
}

void GstPlaybin::Impl::failFromMessage(GstMessage* msg)
{
    GError* err = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(msg, &err, &debug);
    long code = ErrorPlayback;
    if (err) {
        if (err->domain == GST_RESOURCE_ERROR) {
            if (network)
                code = ErrorNetwork;
            else if (err->code == GST_RESOURCE_ERROR_NOT_FOUND ||
                     err->code == GST_RESOURCE_ERROR_OPEN_READ ||
                     err->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED)
                code = ErrorNotFound;
        } else if (err->domain == GST_STREAM_ERROR) {
            if (err->code == GST_STREAM_ERROR_TYPE_NOT_FOUND ||
                err->code == GST_STREAM_ERROR_WRONG_TYPE ||
                err->code == GST_STREAM_ERROR_CODEC_NOT_FOUND ||
                err->code == GST_STREAM_ERROR_DECODE || err->code == GST_STREAM_ERROR_DEMUX ||
                err->code == GST_STREAM_ERROR_FORMAT)
                code = ErrorUnsupported;
        } else if (err->domain == GST_CORE_ERROR && err->code == GST_CORE_ERROR_MISSING_PLUGIN) {
            code = ErrorUnsupported;
        }
    }
    std::string text = "Cannot play \"" + name + "\": ";
    // A network source that cannot connect only reports a failed data flow.
    GstObject* src = GST_MESSAGE_SRC(msg);
    if (network && code == ErrorPlayback && src && GST_IS_ELEMENT(src) &&
        GST_OBJECT_FLAG_IS_SET(src, GST_ELEMENT_FLAG_SOURCE)) {
        code = ErrorNetwork;
        text += "the server cannot be reached or sent nothing.";
    } else {
        text += err && err->message ? err->message : "unknown error";
    }
    g_clear_error(&err);
    g_free(debug);
    fail(code, std::move(text));
}

void GstPlaybin::Impl::refreshDuration()
{
    if (!playbin || durationExact || (state != Playing && state != Paused))
        return;
    gint64 ns = 0;
    if (gst_element_query_duration(playbin, GST_FORMAT_TIME, &ns) && ns > 0) {
        duration = static_cast<double>(ns) / GST_SECOND;
        durationExact = true;
    }
}

void GstPlaybin::Impl::updatePosition()
{
    if (!playbin || (state != Playing && state != Paused))
        return;
    gint64 p = 0;
    if (gst_element_query_position(playbin, GST_FORMAT_TIME, &p) && p >= 0) {
        position = static_cast<double>(p) / GST_SECOND;
        // An estimated length must not end before the item does.
        if (!durationExact && duration > 0 && position > duration)
            duration = position;
        if (durationExact && duration > 0)
            position = std::min(position, duration);
    }
}

void GstPlaybin::Impl::ended()
{
    refreshDuration();
    if (duration <= 0) {
        updatePosition();
        duration = position;
    }
    // The last reported position falls a little short of the length; callers tell an
    // item that ran out from a stopped one by position == duration.
    position = duration;
    durationExact = true;
    gst_element_set_state(playbin, GST_STATE_READY);
    changeState(Stopped);
}

GstPlaybin::GstPlaybin() : d(std::make_unique<Impl>(*this)) {}

GstPlaybin::~GstPlaybin() = default;

void GstPlaybin::setNoticeHandler(std::function<void(const std::string&)> handler)
{
    d->noticeHandler = std::move(handler);
}

std::optional<GstPlaybin::Impl::Resolved> GstPlaybin::Impl::resolve(const std::string& item)
{
    if (isStreamAddress(item)) {
        std::string scheme = schemeOf(item);
        network = scheme != "file";
        if (!gst_uri_protocol_is_supported(GST_URI_SRC, scheme.c_str())) {
            fail(ErrorNoHandler, "Cannot play \"" + item + "\": No URI handler for the \"" +
                                     scheme + "\" protocol is installed.");
            return std::nullopt;
        }
        return Resolved{item, std::nullopt};
    } else {
        std::error_code ec;
        std::filesystem::path path = std::filesystem::absolute(item, ec);
        if (ec || !std::filesystem::exists(path, ec)) {
            fail(ErrorNotFound, "Cannot play \"" + item + "\": the file does not exist.");
            return std::nullopt;
        }
        if (std::filesystem::is_directory(path, ec)) {
            fail(ErrorNotFound, "Cannot play \"" + item + "\": it is a folder, not a file.");
            return std::nullopt;
        }
        // A FIFO or a device would block the source's open and with it the whole program.
        if (!std::filesystem::is_regular_file(path, ec)) {
            fail(ErrorNotFound, "Cannot play \"" + item + "\": it is not a plain file.");
            return std::nullopt;
        }
        GError* err = nullptr;
        gchar* fileUri = g_filename_to_uri(path.c_str(), nullptr, &err);
        if (!fileUri) {
            fail(ErrorNotFound,
                 "Cannot play \"" + item + "\": " + (err ? err->message : "bad file item"));
            g_clear_error(&err);
            return std::nullopt;
        }
        Resolved r{fileUri, path};
        g_free(fileUri);
        return r;
    }
}

bool GstPlaybin::Impl::waitForPreroll(GstStateChangeReturn ret, bool& endedEarly)
{
    // Wait for the item to preroll. A server that sends headers and then nothing never
    // fails by itself, so the deadline is the only way out.
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::seconds(network ? 10 : 5);
    bool opened = false;
    endedEarly = false;
    while (!opened && error == NoError) {
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
        GstClockTime wait = ret == GST_STATE_CHANGE_FAILURE
                                ? 0
                                : static_cast<GstClockTime>(std::max<int64_t>(left.count(), 0));
        GstMessage* msg = gst_bus_timed_pop(bus, wait);
        if (!msg) {
            if (ret == GST_STATE_CHANGE_FAILURE)
                fail(ErrorUnsupported, "Cannot play \"" + name + "\".");
            else
                fail(ErrorTimeout, "Cannot play \"" + name + "\": no answer within " +
                                       std::to_string(network ? 10 : 5) + " seconds.");
            break;
        }
        auto* src = GST_MESSAGE_SRC(msg);
        switch (GST_MESSAGE_TYPE(msg)) {
        case GST_MESSAGE_ERROR:
            failFromMessage(msg);
            break;
        case GST_MESSAGE_ASYNC_DONE:
            opened = src == GST_OBJECT(playbin);
            break;
        case GST_MESSAGE_STATE_CHANGED:
            if (src == GST_OBJECT(playbin)) {
                GstState newState;
                gst_message_parse_state_changed(msg, nullptr, &newState, nullptr);
                opened = newState == GST_STATE_PLAYING;
            }
            break;
        case GST_MESSAGE_EOS:
            opened = endedEarly = true;
            break;
        case GST_MESSAGE_WARNING:
            if (autoSink && isWithin(src, autoSink))
                checkSilentOutput();
            break;
        default:
            handle(msg);
            break;
        }
        gst_message_unref(msg);
    }
    return opened;
}

void GstPlaybin::Impl::readOpenedItem(const std::optional<std::filesystem::path>& localFile)
{
    openedOnce = true;
    checkSilentOutput();
    gint64 dur = 0;
    durationExact = true;
    if (gst_element_query_duration(playbin, GST_FORMAT_TIME, &dur) && dur > 0) {
        duration = static_cast<double>(dur) / GST_SECOND;
    } else if (localFile) {
        if (auto estimate = estimateMp3Duration(*localFile)) {
            duration = *estimate;
            durationExact = false;
        }
    }
    if (network) {
        GstQuery* query = gst_query_new_seeking(GST_FORMAT_TIME);
        gboolean canSeek = FALSE;
        if (gst_element_query(playbin, query))
            gst_query_parse_seeking(query, nullptr, &canSeek, nullptr, nullptr);
        gst_query_unref(query);
        // A server that does not say it serves byte ranges answers a ranged request with
        // the whole body, and the source then ends the item.
        seekable = canSeek && serverRanges.value_or(true);
    }
}

void GstPlaybin::setFileName(const std::string& name)
{
    if (!d->ensurePipeline())
        return;
    d->pump();
    if (d->state == Playing || d->state == Paused) {
        d->updatePosition();
        d->changeState(Stopped);
    }
    beginItem();
    gst_element_set_state(d->playbin, GST_STATE_READY);
    // Whatever the last item left on the bus belongs to it.
    gst_bus_set_flushing(d->bus, TRUE);
    gst_bus_set_flushing(d->bus, FALSE);

    d->name = name;
    d->network = false;
    d->error = NoError;
    d->errorText.clear();
    d->position = 0;
    d->duration = 0;
    d->durationExact = true;
    d->seekable = true;
    d->serverRanges.reset();
    d->tagArtist.clear();
    d->tagTitle.clear();
    if (name.empty())
        return;

    const std::optional<Impl::Resolved> item = d->resolve(name);
    if (!item)
        return;
    g_object_set(d->playbin, "uri", item->uri.c_str(), nullptr);
    d->state = Opening;
    GstStateChangeReturn ret = gst_element_set_state(d->playbin, GST_STATE_PLAYING);
    bool endedEarly = false;
    const bool opened = d->waitForPreroll(ret, endedEarly);
    if (!opened) {
        d->state = Stopped;
        return;
    }

    d->readOpenedItem(item->localFile);
    d->updateStreamTitle();
    d->state = Stopped;
    d->changeState(Playing);
    if (endedEarly)
        d->ended();
}

std::string GstPlaybin::fileName() const
{
    return d->name;
}

double GstPlaybin::duration()
{
    d->pump();
    d->refreshDuration();
    return d->duration;
}

double GstPlaybin::currentPosition()
{
    d->pump();
    d->updatePosition();
    return d->position;
}

void GstPlaybin::setCurrentPosition(double seconds)
{
    d->pump();
    if (d->state != Playing && d->state != Paused)
        return;
    d->refreshDuration();
    if (d->duration > 0 && seconds >= d->duration) {
        // No seek: the item ends here and now, and says so before this returns.
        d->position = d->duration;
        d->durationExact = true;
        gst_element_set_state(d->playbin, GST_STATE_READY);
        d->changeState(Stopped);
        d->deliver();
        return;
    }
    if (!d->seekable)
        return;
    seconds = std::max(0.0, seconds);
    if (gst_element_seek_simple(
            d->playbin, GST_FORMAT_TIME,
            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
            static_cast<gint64>(seconds * GST_SECOND)))
        d->position = seconds;
}

int GstPlaybin::playState()
{
    d->pump();
    return d->state;
}

long GstPlaybin::errorCode()
{
    d->pump();
    return d->error;
}

std::string GstPlaybin::errorDescription()
{
    d->pump();
    return d->errorText;
}

int GstPlaybin::volume() const
{
    return d->volume;
}

void GstPlaybin::setVolume(int hundredthsOfDb)
{
    d->volume = std::clamp(hundredthsOfDb, MinVolume, MaxVolume);
    if (d->playbin)
        g_object_set(d->playbin, "volume", linearVolume(d->volume), nullptr);
}

void GstPlaybin::pause()
{
    d->pump();
    if (d->state != Playing)
        return;
    d->updatePosition();
    gst_element_set_state(d->playbin, GST_STATE_PAUSED);
    d->changeState(Paused);
}

void GstPlaybin::play()
{
    d->pump();
    if (d->state != Paused)
        return;
    gst_element_set_state(d->playbin, GST_STATE_PLAYING);
    d->changeState(Playing);
}

void GstPlaybin::stop()
{
    d->pump();
    if (d->state != Playing && d->state != Paused)
        return;
    d->updatePosition();
    gst_element_set_state(d->playbin, GST_STATE_READY);
    d->changeState(Stopped);
}

void GstPlaybin::warmUp()
{
    if (d->playbin || !d->ensurePipeline())
        return;
    gst_element_set_state(d->playbin, GST_STATE_READY);
    // What the open of an MP3 loads besides playbin: loaded now, it is not loaded then.
    for (const char* name : {"filesrc", "typefind", "id3demux", "mpegaudioparse", "mpg123audiodec",
                             "audioconvert", "audioresample", "volume"}) {
        if (GstElementFactory* f = gst_element_factory_find(name)) {
            if (GstPluginFeature* loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(f)))
                gst_object_unref(loaded);
            gst_object_unref(f);
        }
    }
}

bool GstPlaybin::durationIsEstimate()
{
    d->pump();
    d->refreshDuration();
    return !d->durationExact;
}

void GstPlaybin::setBroadcast(const BroadcastSettings& settings,
                              std::function<std::string(const std::string&)> conventionTitle)
{
    if (d->playbin)
        return; // the output is part of the pipeline, which exists already
    d->broadcastSettings = settings;
    d->conventionTitle = std::move(conventionTitle);
}

bool GstPlaybin::canSeek()
{
    d->pump();
    return (d->state == Playing || d->state == Paused) && d->seekable;
}

} // namespace quavix

quavix::GstPlayer* quavix_new_gst_player()
{
    return new quavix::GstPlaybin;
}
