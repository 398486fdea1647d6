#include "GstBroadcast.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
// GIO names a struct member "signals", which the toolkit defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace quavix {

namespace {

constexpr int Rate = 44100;
constexpr const char* Caps = "audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=2";
constexpr std::size_t FrameBytes = 4;
// Buffers (20 ms each) that pass to the sender before the server is asked whether it took
// the source: a refusal has ended the sending long before.
constexpr int SentBeforeCheck = 10;

// The sound on its way from the items to the broadcast: raw frames in the format of Caps.
// Items put as they play, in real time; the broadcast's clock takes as it sends. The
// broadcast runs Delay behind the items, so that the two clocks' moments of handing over
// never leave it short in the middle of a song: after running dry (between items, before
// the first) it sends silence until Delay of sound is queued, or until the items stopped
// putting. Nothing the items put is dropped, unless the broadcast falls far behind (it was
// down, or the clocks drift): then it skips ahead to Delay behind again.
class SoundQueue {
public:
    void put(const guint8* data, std::size_t size)
    {
        std::lock_guard lock(m_mutex);
        m_bytes.insert(m_bytes.end(), data, data + size);
        m_lastPut = g_get_monotonic_time();
    }
    // Fills `size` bytes: queued sound first, then silence.
    void take(guint8* out, std::size_t size)
    {
        std::lock_guard lock(m_mutex);
        const gint64 now = g_get_monotonic_time();
        if (m_filling) {
            // An item shorter than Latency is sent once nothing more came for as long.
            const bool stillComing =
                now - m_lastPut < static_cast<gint64>(GstBroadcast::Latency / GST_USECOND);
            if (m_bytes.empty() ||
                (m_bytes.size() < bytesOf(GstBroadcast::Latency) && stillComing)) {
                std::fill(out, out + size, 0);
                return;
            }
            m_filling = false;
        }
        if (m_bytes.size() > bytesOf(MaxBehind))
            m_bytes.erase(m_bytes.begin(), m_bytes.end() - static_cast<std::ptrdiff_t>(
                                                               bytesOf(GstBroadcast::Latency)));
        const std::size_t n = std::min(size, m_bytes.size() / FrameBytes * FrameBytes);
        std::copy_n(m_bytes.begin(), n, out);
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(n));
        std::fill(out + n, out + size, 0);
        if (n < size)
            m_filling = true;
    }
    // What the items left while the broadcast was down is no news to anybody.
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_bytes.clear();
        m_filling = true;
    }

private:
    static constexpr GstClockTime MaxBehind = 5 * GST_SECOND;
    static std::size_t bytesOf(GstClockTime time)
    {
        return gst_util_uint64_scale(time, Rate, GST_SECOND) * FrameBytes;
    }
    std::mutex m_mutex;
    std::deque<guint8> m_bytes;
    bool m_filling = true;
    gint64 m_lastPut = 0; // microseconds, monotonic
};

void say(const std::string& line)
{
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

GstElement* make(const char* factory, std::string& missing)
{
    GstElement* e = gst_element_factory_make(factory, nullptr);
    if (!e && missing.empty())
        missing = factory;
    return e;
}

GstElement* capsFilter()
{
    GstElement* f = gst_element_factory_make("capsfilter", nullptr);
    GstCaps* caps = gst_caps_from_string(Caps);
    g_object_set(f, "caps", caps, nullptr);
    gst_caps_unref(caps);
    return f;
}

// What the server said to a listener's request of our mount, in our words: empty when it
// serves the mount (and so took our source), else why not.
std::string verdictOf(const std::string& answer)
{
    if (answer.empty())
        return "no answer from the server";
    if (answer.rfind("HTTP/", 0) != 0 && answer.rfind("ICY", 0) != 0)
        return "not an Icecast server";
    const std::size_t space = answer.find(' ');
    const std::string code = space == std::string::npos ? "" : answer.substr(space + 1, 3);
    if (code == "200")
        return "";
    if (code == "404")
        return "the server does not put the source on the air";
    return "not an Icecast server (it answered " + code + ")";
}

// A listener's request of the mount, given up once the answer's head arrived.
std::string listenerRequest(const BroadcastSettings& s)
{
    return "GET " + s.mount + " HTTP/1.0\r\nHost: " + s.host + ":" + std::to_string(s.port) +
           "\r\nUser-Agent: Quavix\r\n\r\n";
}

// Sends titles to the server, one request at a time, off the UI thread: a server that does
// not answer must not hold the program. Only the newest title waits to be sent. A request
// marked as a check reports the server's verdict to `onVerdict` (on the sender's thread).
class TitleSender {
public:
    using Verdict = std::function<void(int attempt, const std::string& problem)>;
    TitleSender(const BroadcastSettings& settings, Verdict onVerdict)
        : m_settings(settings), m_onVerdict(std::move(onVerdict))
    {
    }
    ~TitleSender()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }
    // attempt > 0 asks for the verdict of that connection attempt.
    void send(const std::string& title, int attempt = 0)
    {
        {
            std::lock_guard lock(m_mutex);
            m_pending = Request{title, attempt};
        }
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        m_wake.notify_one();
    }

private:
    struct Request {
        std::string title;
        int attempt = 0;
    };
    void run()
    {
        for (;;) {
            Request r;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stop || m_pending; });
                if (m_stop)
                    return;
                r = *m_pending;
                m_pending.reset();
            }
            if (r.attempt > 0)
                m_onVerdict(r.attempt, verdictOf(request(listenerRequest(m_settings))));
            // An Ogg stream's title change makes the server cut the stream into a new
            // chain, which some players cannot decode: Ogg listeners see the station's name.
            if (m_settings.format == BroadcastSettings::Format::Mp3 && !r.title.empty())
                request(icecastTitleRequest(m_settings, r.title));
        }
    }
    // The head of the server's answer; empty when there was none.
    std::string request(const std::string& text) const
    {
        std::string answer;
        GSocketClient* client = g_socket_client_new();
        g_socket_client_set_timeout(client, 5);
        GSocketConnection* connection = g_socket_client_connect_to_host(
            client, m_settings.host.c_str(), static_cast<guint16>(m_settings.port), nullptr,
            nullptr);
        if (connection) {
            GOutputStream* out = g_io_stream_get_output_stream(G_IO_STREAM(connection));
            GInputStream* in = g_io_stream_get_input_stream(G_IO_STREAM(connection));
            if (g_output_stream_write_all(out, text.data(), text.size(), nullptr, nullptr,
                                          nullptr)) {
                char chunk[512];
                gssize n = 0;
                while (answer.size() < 4096 && answer.find("\r\n\r\n") == std::string::npos &&
                       (n = g_input_stream_read(in, chunk, sizeof chunk, nullptr, nullptr)) > 0)
                    answer.append(chunk, static_cast<std::size_t>(n));
            }
            g_object_unref(connection);
        }
        g_object_unref(client);
        return answer;
    }

    const BroadcastSettings m_settings;
    const Verdict m_onVerdict;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Request> m_pending;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace

struct GstBroadcast::Impl {
    explicit Impl(BroadcastSettings s)
        : settings(std::move(s)),
          titles(settings, [this](int ofAttempt, const std::string& problem) {
              QMetaObject::invokeMethod(
                  &context, [this, ofAttempt, problem] { verdict(ofAttempt, problem); },
                  Qt::QueuedConnection);
          })
    {
    }
    ~Impl();

    const BroadcastSettings settings;
    SoundQueue queue;
    QObject context; // owns the notifier and the timer; queued calls die with it
    GstElement* pipeline = nullptr;
    GstBus* bus = nullptr;
    QSocketNotifier* notifier = nullptr;
    QTimer retry;
    TitleSender titles;
    std::string title;

    enum class State { Connecting, Connected, Waiting } state = State::Connecting;
    int failures = 0;
    int attempt = 0; // of connecting, counted from 1
    std::string lastProblem;
    // Buffers that reached the sender since the last (re)start: the second one means the
    // first went out. Whether the server took the source is asked of the server then: the
    // sender may have gone out before the server refused it.
    std::atomic<int> sent{0};

    bool build(std::string& problem);
    void restart();
    void pump();
    void failed(const std::string& reason);
    void check();
    void verdict(int ofAttempt, const std::string& problem);
};

GstBroadcast::Impl::~Impl()
{
    retry.stop();
    delete notifier;
    if (pipeline) {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }
    if (bus)
        gst_object_unref(bus);
}

bool GstBroadcast::Impl::build(std::string& problem)
{
    std::string missing;
    const bool ogg = settings.format == BroadcastSettings::Format::Ogg;
    GstElement* src = make("audiotestsrc", missing);
    GstElement* convert = make("audioconvert", missing);
    GstElement* resample = make("audioresample", missing);
    GstElement* encoder = make(ogg ? "vorbisenc" : "lamemp3enc", missing);
    GstElement* mux = ogg ? make("oggmux", missing) : nullptr;
    GstElement* shout = make("shout2send", missing);
    if (!missing.empty()) {
        for (GstElement* e : {src, convert, resample, encoder, mux, shout})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        problem = "the media framework has no \"" + missing + "\" element";
        return false;
    }
    // The clock of the broadcast: a live silence of 20 ms buffers, each filled with what
    // the items left in the queue.
    g_object_set(src, "wave", 4 /* silence */, "is-live", TRUE, "samplesperbuffer", Rate / 50,
                 nullptr);
    if (ogg)
        g_object_set(encoder, "bitrate", settings.bitrate * 1000, nullptr);
    else
        // The fast engine: a third less of the encoder's time at a constant bit rate,
        // where the better ones spend it on choices a CBR stream barely has.
        g_object_set(encoder, "target", 1 /* bitrate */, "cbr", TRUE, "bitrate", settings.bitrate,
                     "encoding-engine-quality", 0 /* fast */, nullptr);
    g_object_set(shout, "ip", settings.host.c_str(), "port", settings.port, "mount",
                 settings.mount.c_str(), "username", settings.user.c_str(), "password",
                 settings.password.c_str(), "streamname", settings.name.c_str(), "description",
                 settings.description.c_str(), "genre", settings.genre.c_str(), nullptr);
    // The live source already runs in real time, and the sender's library paces what it
    // sends by the stream's own times; waiting for the clock as well made an Ogg stream
    // fall further behind with every page.
    g_object_set(shout, "sync", FALSE, nullptr);

    pipeline = gst_pipeline_new("broadcast");
    gst_object_ref_sink(pipeline);
    GstElement* caps = capsFilter();
    gst_bin_add_many(GST_BIN(pipeline), src, caps, convert, resample, encoder, shout, nullptr);
    bool linked = gst_element_link_many(src, caps, convert, resample, encoder, nullptr);
    if (mux) {
        gst_bin_add(GST_BIN(pipeline), mux);
        linked = linked && gst_element_link_many(encoder, mux, shout, nullptr);
    } else {
        linked = linked && gst_element_link(encoder, shout);
    }
    if (!linked) {
        problem = "the broadcast pipeline cannot be linked";
        return false;
    }

    GstPad* srcPad = gst_element_get_static_pad(src, "src");
    gst_pad_add_probe(
        srcPad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo* info, gpointer self) {
            GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
            GST_PAD_PROBE_INFO_DATA(info) = buffer;
            GstMapInfo map;
            if (gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
                static_cast<Impl*>(self)->queue.take(map.data, map.size);
                gst_buffer_unmap(buffer, &map);
                // The source marks its silence as a gap, which the Ogg encoder turns into
                // no packets at all: a stream listeners cannot decode. Silence on the air
                // is sound like any other.
                GST_BUFFER_FLAG_UNSET(buffer, GST_BUFFER_FLAG_GAP);
            }
            return GST_PAD_PROBE_OK;
        },
        this, nullptr);
    gst_object_unref(srcPad);

    GstPad* pad = gst_element_get_static_pad(shout, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer self) {
            auto* output = static_cast<Impl*>(self);
            if (output->sent.fetch_add(1) == SentBeforeCheck)
                QMetaObject::invokeMethod(
                    &output->context, [output] { output->check(); }, Qt::QueuedConnection);
            return GST_PAD_PROBE_OK;
        },
        this, nullptr);
    // The sender turns every tag event into a title of its own ("Unknown - Unknown" for
    // the encoder's tags); titles come from us only.
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
        [](GstPad*, GstPadProbeInfo* info, gpointer) {
            return GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_TAG
                       ? GST_PAD_PROBE_DROP
                       : GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
    gst_object_unref(pad);

    bus = gst_element_get_bus(pipeline);
    GPollFD pfd{};
    gst_bus_get_pollfd(bus, &pfd);
    notifier = new QSocketNotifier(pfd.fd, QSocketNotifier::Read, &context);
    QObject::connect(notifier, &QSocketNotifier::activated, &context, [this] { pump(); });
    retry.setSingleShot(true);
    QObject::connect(&retry, &QTimer::timeout, &context, [this] { restart(); });
    return true;
}

void GstBroadcast::Impl::restart()
{
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_bus_set_flushing(bus, TRUE); // what the failed attempt left is no news
    gst_bus_set_flushing(bus, FALSE);
    sent = 0;
    ++attempt;
    queue.clear();
    state = State::Connecting;
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
}

void GstBroadcast::Impl::pump()
{
    while (GstMessage* msg = gst_bus_pop(bus)) {
        if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
            GError* err = nullptr;
            gchar* debug = nullptr;
            gst_message_parse_error(msg, &err, &debug);
            std::string reason = err && err->message ? err->message : "unknown error";
            // libshout's own words say why ("Login failed", "Socket error").
            if (debug && std::strstr(debug, "Login failed"))
                reason = "the server refused the source: wrong user or password, or the "
                         "mount is in use";
            else if (const char* why = debug ? std::strstr(debug, "err=") : nullptr)
                reason += std::string(" (") + (why + 4) + ")";
            g_clear_error(&err);
            g_free(debug);
            failed(reason);
        }
        gst_message_unref(msg);
    }
}

void GstBroadcast::Impl::failed(const std::string& reason)
{
    if (state == State::Waiting)
        return; // more words about the same failure
    gst_element_set_state(pipeline, GST_STATE_NULL);
    const bool wasConnected = state == State::Connected;
    state = State::Waiting;
    ++failures;
    const auto pause = broadcastRetryPause(failures);
    const std::string wait = "retrying in " + std::to_string(pause.count()) + " s";
    if (wasConnected)
        say("broadcast: lost " + settings.address() + " (" + reason + "), " + wait);
    else if (reason != lastProblem)
        say("broadcast: cannot connect to " + settings.address() + " (" + reason + "), " + wait);
    lastProblem = reason;
    retry.start(std::chrono::milliseconds(pause));
}

void GstBroadcast::Impl::check()
{
    if (state == State::Connecting)
        titles.send(title, attempt);
}

void GstBroadcast::Impl::verdict(int ofAttempt, const std::string& problem)
{
    if (ofAttempt != attempt || state != State::Connecting)
        return; // an attempt that has ended already
    if (!problem.empty()) {
        failed(problem);
        return;
    }
    state = State::Connected;
    failures = 0;
    lastProblem.clear();
    say("broadcast: connected to " + settings.address());
}

GstBroadcast::GstBroadcast(BroadcastSettings settings)
    : d(std::make_unique<Impl>(std::move(settings)))
{
}

GstBroadcast::~GstBroadcast() = default;

bool GstBroadcast::start(std::string& problem)
{
    if (d->pipeline)
        return true;
    if (!d->build(problem))
        return false;
    d->restart();
    return true;
}

GstElement* GstBroadcast::makeItemSink(GstElement* localSink)
{
    GstElement* bin = gst_bin_new("broadcast-feed");
    GstElement* caps = capsFilter();
    // Takes each buffer when it is due, as the sound card plays it: an item lasts as long
    // on the air as it does here.
    GstElement* out = gst_element_factory_make("fakesink", nullptr);
    g_object_set(out, "sync", TRUE, "signal-handoffs", TRUE, nullptr);
    g_signal_connect(out, "handoff",
                     G_CALLBACK(+[](GstElement*, GstBuffer* buffer, GstPad*, gpointer queue) {
                         GstMapInfo map;
                         if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                             static_cast<SoundQueue*>(queue)->put(map.data, map.size);
                             gst_buffer_unmap(buffer, &map);
                         }
                     }),
                     &d->queue);
    if (d->settings.localOutput && localSink) {
        GstElement* tee = gst_element_factory_make("tee", nullptr);
        GstElement* toServer = gst_element_factory_make("queue", nullptr);
        GstElement* toCard = gst_element_factory_make("queue", nullptr);
        gst_bin_add_many(GST_BIN(bin), caps, tee, toServer, out, toCard, localSink, nullptr);
        gst_element_link_many(caps, tee, toServer, out, nullptr);
        gst_element_link_many(tee, toCard, localSink, nullptr);
    } else {
        if (localSink)
            gst_object_unref(gst_object_ref_sink(localSink));
        gst_bin_add_many(GST_BIN(bin), caps, out, nullptr);
        gst_element_link(caps, out);
    }
    GstPad* pad = gst_element_get_static_pad(caps, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", pad));
    gst_object_unref(pad);
    return bin;
}

void GstBroadcast::setTitle(const std::string& title)
{
    if (title == d->title)
        return;
    d->title = title;
    if (d->state == Impl::State::Connected)
        d->titles.send(title);
}

} // namespace quavix
