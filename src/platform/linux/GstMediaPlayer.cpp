#include "GstMediaPlayer.h"

#include "platform/MediaAddress.h"

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gst/gst.h>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

namespace quavix {

namespace {

constexpr int MinVolume = -10000;
constexpr int MaxVolume = 0;
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

// Without a Xing/VBRI header the MP3 parser learns the length only after about half a
// second of play; until then the first frame's bit rate and the file size give it.
std::optional<double> estimateMp3Duration(const std::filesystem::path& path)
{
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> buf(64 * 1024);
    in.read(reinterpret_cast<char*>(buf.data()), static_cast<std::streamsize>(buf.size()));
    buf.resize(static_cast<std::size_t>(in.gcount()));

    std::uintmax_t skip = 0;
    if (buf.size() >= 10 && buf[0] == 'I' && buf[1] == 'D' && buf[2] == '3') {
        skip = 10 + ((buf[6] & 0x7fu) << 21 | (buf[7] & 0x7fu) << 14 | (buf[8] & 0x7fu) << 7 |
                     (buf[9] & 0x7fu));
        if (buf[5] & 0x10)
            skip += 10;
        if (skip >= size)
            return std::nullopt;
        in.clear();
        in.seekg(static_cast<std::streamoff>(skip));
        buf.assign(64 * 1024, 0);
        in.read(reinterpret_cast<char*>(buf.data()), static_cast<std::streamsize>(buf.size()));
        buf.resize(static_cast<std::size_t>(in.gcount()));
    }

    struct Frame {
        int version, layer, bitrate, rate, length;
    };
    auto parse = [&](std::size_t at) -> std::optional<Frame> {
        if (at + 4 > buf.size() || buf[at] != 0xff || (buf[at + 1] & 0xe0) != 0xe0)
            return std::nullopt;
        int version = (buf[at + 1] >> 3) & 3; // 0: 2.5, 2: 2, 3: 1
        int layerBits = (buf[at + 1] >> 1) & 3;
        int brIndex = buf[at + 2] >> 4;
        int srIndex = (buf[at + 2] >> 2) & 3;
        int padding = (buf[at + 2] >> 1) & 1;
        if (version == 1 || layerBits == 0 || brIndex == 0 || brIndex == 15 || srIndex == 3)
            return std::nullopt;
        int layer = 4 - layerBits;
        static constexpr std::array<std::array<int, 15>, 5> kbps = {{
            {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
            {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
            {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
            {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
            {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
        }};
        static constexpr std::array<int, 3> rates = {44100, 48000, 32000};
        bool v1 = version == 3;
        int table = v1 ? layer - 1 : (layer == 1 ? 3 : 4);
        int bitrate =
            kbps[static_cast<std::size_t>(table)][static_cast<std::size_t>(brIndex)] * 1000;
        int rate = rates[static_cast<std::size_t>(srIndex)] >> (v1 ? 0 : version == 2 ? 1 : 2);
        int length = layer == 1 ? (12 * bitrate / rate + padding) * 4
                                : ((layer == 3 && !v1) ? 72 : 144) * bitrate / rate + padding;
        return Frame{version, layer, bitrate, rate, length};
    };
    // Two headers in a row, so that a stray 0xff in other data is not taken for a frame.
    for (std::size_t at = 0; at + 4 <= buf.size(); ++at) {
        auto first = parse(at);
        if (!first || first->length < 4)
            continue;
        auto second = parse(at + static_cast<std::size_t>(first->length));
        if (!second || second->version != first->version || second->layer != first->layer ||
            second->rate != first->rate)
            continue;
        std::uintmax_t audioBytes = size - skip;
        // An ID3v1 tag at the end is not audio.
        if (size >= 128 + skip) {
            std::array<char, 3> tag{};
            in.clear();
            in.seekg(static_cast<std::streamoff>(size - 128));
            in.read(tag.data(), 3);
            if (in && tag[0] == 'T' && tag[1] == 'A' && tag[2] == 'G')
                audioBytes -= 128;
        }
        return static_cast<double>(audioBytes) * 8.0 / first->bitrate;
    }
    return std::nullopt;
}

struct GstMediaPlayer::Impl {
    explicit Impl(GstMediaPlayer& owner) : q(owner) {}
    ~Impl();

    GstMediaPlayer& q;
    QObject context; // owns the notifier; queued deliveries die with it
    GstElement* playbin = nullptr;
    GstBus* bus = nullptr;
    GstElement* autoSink = nullptr; // the automatic output, when no override is set
    QSocketNotifier* notifier = nullptr;
    std::function<void(const std::string&)> noticeHandler;
    bool noticeGiven = false;

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
};

GstMediaPlayer::Impl::~Impl()
{
    delete notifier; // before the bus that owns its descriptor
    if (playbin) {
        gst_element_set_state(playbin, GST_STATE_NULL);
        gst_object_unref(playbin);
    }
    if (bus)
        gst_object_unref(bus);
}

bool GstMediaPlayer::Impl::ensurePipeline()
{
    if (playbin)
        return true;
    if (!gst_is_initialized()) {
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
    if (sink)
        g_object_set(playbin, "audio-sink", sink, nullptr); // playbin takes the floating ref

    bus = gst_element_get_bus(playbin);
    GPollFD pfd{};
    gst_bus_get_pollfd(bus, &pfd);
    notifier = new QSocketNotifier(pfd.fd, QSocketNotifier::Read, &context);
    QObject::connect(notifier, &QSocketNotifier::activated, &context, [this] { pump(); });
    return true;
}

void GstMediaPlayer::Impl::pump()
{
    if (!bus)
        return;
    while (GstMessage* msg = gst_bus_pop(bus)) {
        handle(msg);
        gst_message_unref(msg);
    }
}

void GstMediaPlayer::Impl::handle(GstMessage* msg)
{
    switch (GST_MESSAGE_TYPE(msg)) {
    case GST_MESSAGE_EOS:
        if (state == Playing || state == Paused)
            ended();
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

void GstMediaPlayer::Impl::noteHttpHeaders(const GstStructure* s)
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

void GstMediaPlayer::Impl::checkSilentOutput()
{
    if (noticeGiven || !autoSink)
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

void GstMediaPlayer::Impl::changeState(int newState)
{
    if (newState == state)
        return;
    pending.push_back(q.stateEvent(state, newState));
    state = newState;
    postDelivery();
}

void GstMediaPlayer::Impl::postDelivery()
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

void GstMediaPlayer::Impl::deliver()
{
    // One at a time: a handler may open the next item, which queues events of its own.
    while (!pending.empty()) {
        auto e = pending.front();
        pending.pop_front();
        q.notifyPlayState(e);
    }
}

void GstMediaPlayer::Impl::fail(long code, std::string text)
{
    error = code;
    errorText = std::move(text);
    if (playbin)
        gst_element_set_state(playbin, GST_STATE_NULL);
    // NULL rather than READY: late errors of a failed item would otherwise surface in the
    // next one.
}

void GstMediaPlayer::Impl::failFromMessage(GstMessage* msg)
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

void GstMediaPlayer::Impl::refreshDuration()
{
    if (!playbin || durationExact || (state != Playing && state != Paused))
        return;
    gint64 d = 0;
    if (gst_element_query_duration(playbin, GST_FORMAT_TIME, &d) && d > 0) {
        duration = static_cast<double>(d) / GST_SECOND;
        durationExact = true;
    }
}

void GstMediaPlayer::Impl::updatePosition()
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

void GstMediaPlayer::Impl::ended()
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

GstMediaPlayer::GstMediaPlayer() : d(std::make_unique<Impl>(*this)) {}

GstMediaPlayer::~GstMediaPlayer() = default;

void GstMediaPlayer::setNoticeHandler(std::function<void(const std::string&)> handler)
{
    d->noticeHandler = std::move(handler);
}

void GstMediaPlayer::setFileName(const std::string& name)
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
    if (name.empty())
        return;

    std::string uri;
    std::optional<std::filesystem::path> localFile;
    if (isStreamAddress(name)) {
        std::string scheme = schemeOf(name);
        d->network = scheme != "file";
        if (!gst_uri_protocol_is_supported(GST_URI_SRC, scheme.c_str())) {
            d->fail(ErrorNoHandler, "Cannot play \"" + name + "\": No URI handler for the \"" +
                                        scheme + "\" protocol is installed.");
            return;
        }
        uri = name;
    } else {
        std::error_code ec;
        std::filesystem::path path = std::filesystem::absolute(name, ec);
        if (ec || !std::filesystem::exists(path, ec)) {
            d->fail(ErrorNotFound, "Cannot play \"" + name + "\": the file does not exist.");
            return;
        }
        if (std::filesystem::is_directory(path, ec)) {
            d->fail(ErrorNotFound, "Cannot play \"" + name + "\": it is a folder, not a file.");
            return;
        }
        GError* err = nullptr;
        gchar* fileUri = g_filename_to_uri(path.c_str(), nullptr, &err);
        if (!fileUri) {
            d->fail(ErrorNotFound,
                    "Cannot play \"" + name + "\": " + (err ? err->message : "bad file name"));
            g_clear_error(&err);
            return;
        }
        uri = fileUri;
        g_free(fileUri);
        localFile = path;
    }

    g_object_set(d->playbin, "uri", uri.c_str(), nullptr);
    d->state = Opening;
    GstStateChangeReturn ret = gst_element_set_state(d->playbin, GST_STATE_PLAYING);

    // Wait for the item to preroll. A server that sends headers and then nothing never
    // fails by itself, so the deadline is the only way out.
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::seconds(d->network ? 10 : 5);
    bool opened = false, endedEarly = false;
    while (!opened && d->error == NoError) {
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
        GstClockTime wait = ret == GST_STATE_CHANGE_FAILURE
                                ? 0
                                : static_cast<GstClockTime>(std::max<int64_t>(left.count(), 0));
        GstMessage* msg = gst_bus_timed_pop(d->bus, wait);
        if (!msg) {
            if (ret == GST_STATE_CHANGE_FAILURE)
                d->fail(ErrorUnsupported, "Cannot play \"" + name + "\".");
            else
                d->fail(ErrorTimeout, "Cannot play \"" + name + "\": no answer within " +
                                          std::to_string(d->network ? 10 : 5) + " seconds.");
            break;
        }
        auto* src = GST_MESSAGE_SRC(msg);
        switch (GST_MESSAGE_TYPE(msg)) {
        case GST_MESSAGE_ERROR:
            d->failFromMessage(msg);
            break;
        case GST_MESSAGE_ASYNC_DONE:
            opened = src == GST_OBJECT(d->playbin);
            break;
        case GST_MESSAGE_STATE_CHANGED:
            if (src == GST_OBJECT(d->playbin)) {
                GstState newState;
                gst_message_parse_state_changed(msg, nullptr, &newState, nullptr);
                opened = newState == GST_STATE_PLAYING;
            }
            break;
        case GST_MESSAGE_EOS:
            opened = endedEarly = true;
            break;
        case GST_MESSAGE_WARNING:
            if (d->autoSink && isWithin(src, d->autoSink))
                d->checkSilentOutput();
            break;
        default:
            d->handle(msg);
            break;
        }
        gst_message_unref(msg);
    }
    if (!opened) {
        d->state = Stopped;
        return;
    }

    d->checkSilentOutput();
    gint64 dur = 0;
    d->durationExact = true;
    if (gst_element_query_duration(d->playbin, GST_FORMAT_TIME, &dur) && dur > 0) {
        d->duration = static_cast<double>(dur) / GST_SECOND;
    } else if (localFile) {
        if (auto estimate = estimateMp3Duration(*localFile)) {
            d->duration = *estimate;
            d->durationExact = false;
        }
    }
    if (d->network) {
        GstQuery* query = gst_query_new_seeking(GST_FORMAT_TIME);
        gboolean canSeek = FALSE;
        if (gst_element_query(d->playbin, query))
            gst_query_parse_seeking(query, nullptr, &canSeek, nullptr, nullptr);
        gst_query_unref(query);
        // A server that does not say it serves byte ranges answers a ranged request with
        // the whole body, and the source then ends the item.
        d->seekable = canSeek && d->serverRanges.value_or(true);
    }
    d->state = Stopped;
    d->changeState(Playing);
    if (endedEarly)
        d->ended();
}

std::string GstMediaPlayer::fileName() const
{
    return d->name;
}

double GstMediaPlayer::duration()
{
    d->pump();
    d->refreshDuration();
    return d->duration;
}

double GstMediaPlayer::currentPosition()
{
    d->pump();
    d->updatePosition();
    return d->position;
}

void GstMediaPlayer::setCurrentPosition(double seconds)
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

int GstMediaPlayer::playState()
{
    d->pump();
    return d->state;
}

long GstMediaPlayer::errorCode()
{
    d->pump();
    return d->error;
}

std::string GstMediaPlayer::errorDescription()
{
    d->pump();
    return d->errorText;
}

int GstMediaPlayer::volume() const
{
    return d->volume;
}

void GstMediaPlayer::setVolume(int hundredthsOfDb)
{
    d->volume = std::clamp(hundredthsOfDb, MinVolume, MaxVolume);
    if (d->playbin)
        g_object_set(d->playbin, "volume", linearVolume(d->volume), nullptr);
}

void GstMediaPlayer::pause()
{
    d->pump();
    if (d->state != Playing)
        return;
    d->updatePosition();
    gst_element_set_state(d->playbin, GST_STATE_PAUSED);
    d->changeState(Paused);
}

void GstMediaPlayer::play()
{
    d->pump();
    if (d->state != Paused)
        return;
    gst_element_set_state(d->playbin, GST_STATE_PLAYING);
    d->changeState(Playing);
}

void GstMediaPlayer::stop()
{
    d->pump();
    if (d->state != Playing && d->state != Paused)
        return;
    d->updatePosition();
    gst_element_set_state(d->playbin, GST_STATE_READY);
    d->changeState(Stopped);
}

void GstMediaPlayer::warmUp()
{
    if (!d->playbin && d->ensurePipeline())
        gst_element_set_state(d->playbin, GST_STATE_READY);
}

bool GstMediaPlayer::durationIsEstimate()
{
    d->pump();
    d->refreshDuration();
    return !d->durationExact;
}

bool GstMediaPlayer::canSeek()
{
    d->pump();
    return (d->state == Playing || d->state == Paused) && d->seekable;
}

} // namespace quavix
