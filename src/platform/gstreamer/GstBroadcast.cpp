#include "GstBroadcast.h"

#include "IcecastRequests.h"

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
#include <vector>
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
// The broadcast's buffers: each one wakes the encoder and the sender, so they are long;
// the sound queue's latency covers them.
constexpr int BufferFrames = Rate / 10;
// Buffers that pass to the sender before it counts as connected: by then it has logged in
// and sent the ones before.
constexpr int SentBeforeConnected = 2;

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
        if (m_size + size > m_ring.size())
            grow(m_size + size);
        const std::size_t tail = (m_head + m_size) % m_ring.size();
        const std::size_t first = std::min(size, m_ring.size() - tail);
        std::memcpy(m_ring.data() + tail, data, first);
        std::memcpy(m_ring.data(), data + first, size - first);
        m_size += size;
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
            if (m_size == 0 || (m_size < bytesOf(GstBroadcast::Latency) && stillComing)) {
                std::memset(out, 0, size);
                return;
            }
            m_filling = false;
        }
        if (m_size > bytesOf(MaxBehind))
            drop(m_size - bytesOf(GstBroadcast::Latency));
        const std::size_t n = std::min(size, m_size / FrameBytes * FrameBytes);
        const std::size_t first = std::min(n, m_ring.size() - m_head);
        std::memcpy(out, m_ring.data() + m_head, first);
        std::memcpy(out + first, m_ring.data(), n - first);
        drop(n);
        std::memset(out + n, 0, size - n);
        if (n < size)
            m_filling = true;
    }
    // What the items left while the broadcast was down is no news to anybody.
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_head = m_size = 0;
        m_filling = true;
    }
    bool empty()
    {
        std::lock_guard lock(m_mutex);
        return m_size == 0;
    }

private:
    static constexpr GstClockTime MaxBehind = 5 * GST_SECOND;
    static std::size_t bytesOf(GstClockTime time)
    {
        return gst_util_uint64_scale(time, Rate, GST_SECOND) * FrameBytes;
    }
    void drop(std::size_t n)
    {
        m_head = m_ring.empty() ? 0 : (m_head + n) % m_ring.size();
        m_size -= n;
    }
    // Room for `needed` bytes, the queued ones moved to the front.
    void grow(std::size_t needed)
    {
        std::vector<guint8> bigger(std::max(needed, 2 * m_ring.size()));
        const std::size_t first = std::min(m_size, m_ring.size() - m_head);
        std::memcpy(bigger.data(), m_ring.data() + m_head, first);
        std::memcpy(bigger.data() + first, m_ring.data(), m_size - first);
        m_ring.swap(bigger);
        m_head = 0;
    }
    std::mutex m_mutex;
    std::vector<guint8> m_ring; // a ring of m_size bytes from m_head
    std::size_t m_head = 0, m_size = 0;
    bool m_filling = true;
    gint64 m_lastPut = 0; // microseconds, monotonic
};

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

// Asks the server what the stream itself cannot tell, one request at a time, on a thread of
// its own: a server that does not answer must not hold the program. Only the newest title
// waits to be sent. Questions of a connection attempt (does the server take the source,
// do listeners get in) report their answer to `onAnswer` on this thread.
class Messenger {
public:
    enum class Question { None, Source, Listener };
    using Answer = std::function<void(Question, int attempt, const HttpAnswer&)>;
    Messenger(const BroadcastSettings& settings, Answer onAnswer)
        : m_settings(settings), m_onAnswer(std::move(onAnswer))
    {
    }
    ~Messenger()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }
    Messenger(const Messenger&) = delete;
    Messenger& operator=(const Messenger&) = delete;

    // Any thread.
    void sendTitle(const std::string& title)
    {
        post([&](Pending& p) { p.title = title; });
    }
    void ask(Question q, int attempt)
    {
        post([&](Pending& p) {
            p.question = q;
            p.attempt = attempt;
        });
    }

private:
    struct Pending {
        std::optional<std::string> title;
        Question question = Question::None;
        int attempt = 0;
    };
    template <class F> void post(F change)
    {
        {
            std::lock_guard lock(m_mutex);
            change(m_pending);
        }
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        m_wake.notify_one();
    }
    // The messenger's thread.
    void run()
    {
        for (;;) {
            Pending p;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] {
                    return m_stop || m_pending.title || m_pending.question != Question::None;
                });
                if (m_stop)
                    return;
                p = std::exchange(m_pending, {});
            }
            if (p.question == Question::Source)
                m_onAnswer(p.question, p.attempt,
                           httpAnswer(request(icecastSourceRequest(m_settings))));
            else if (p.question == Question::Listener)
                m_onAnswer(p.question, p.attempt,
                           httpAnswer(request(icecastListenerRequest(m_settings))));
            // An Ogg stream's title change makes the server cut the stream into a new
            // chain, which some players cannot decode: Ogg listeners see the station's name.
            if (p.title && !p.title->empty() && m_settings.format == BroadcastSettings::Format::Mp3)
                request(icecastTitleRequest(m_settings, *p.title));
        }
    }
    // The head of the server's answer (and of a refusal, its body); empty when there was
    // none. The connection closes then: nothing more is sent or read.
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
                // A refusal says why in a few words of body, and the server closes after them;
                // an acceptance waits for the sound, which never comes.
                if (httpAnswer(answer).status >= 400)
                    while (answer.size() < 4608 &&
                           (n = g_input_stream_read(in, chunk, sizeof chunk, nullptr, nullptr)) > 0)
                        answer.append(chunk, static_cast<std::size_t>(n));
            }
            g_object_unref(connection);
        }
        g_object_unref(client);
        return answer;
    }

    const BroadcastSettings m_settings;
    const Answer m_onAnswer;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    Pending m_pending;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace

struct GstBroadcast::Impl {
    Impl(BroadcastSettings s, std::function<void(const std::string&)> sayLine)
        : settings(std::move(s)), say(std::move(sayLine)),
          messenger(settings, [this](Messenger::Question q, int ofAttempt, HttpAnswer a) {
              // The messenger's thread: the answer is handled on the UI thread.
              QMetaObject::invokeMethod(
                  &context, [this, q, ofAttempt, a] { answered(q, ofAttempt, a); },
                  Qt::QueuedConnection);
          })
    {
    }
    ~Impl();

    const BroadcastSettings settings;
    const std::function<void(const std::string&)> say;
    SoundQueue queue;
    QObject context; // owns the notifier and the timer; queued calls die with it
    GstElement* pipeline = nullptr;
    GstBus* bus = nullptr;
    QSocketNotifier* notifier = nullptr;
    QTimer retry;
    Messenger messenger;
    std::string title;

    enum class State { Connecting, Connected, Waiting } state = State::Connecting;
    int failures = 0;
    int attempt = 0; // of connecting, counted from 1
    std::string lastProblem;
    std::string sendError; // what the sender said when it failed, while the server is asked
    // Buffers that reached the sender since the last (re)start; set on the broadcast's
    // streaming thread. A buffer reaches it only after the one before was sent.
    std::atomic<int> sent{0};

    bool build(std::string& problem);
    void restart();
    void pump();
    void failed(const std::string& reason);
    void connected();
    void answered(Messenger::Question q, int ofAttempt, const HttpAnswer& a);
};

GstBroadcast::Impl::~Impl()
{
    // What is queued still goes out (the station's last song ends on the air, not here).
    for (int waited = 0; state == State::Connected && !queue.empty() && waited < 40; ++waited)
        g_usleep(10000);
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
    // The clock of the broadcast: a live silence of 100 ms buffers, each filled with what
    // the items left in the queue.
    g_object_set(src, "wave", 4 /* silence */, "is-live", TRUE, "samplesperbuffer", BufferFrames,
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
    // fall further behind with every page. Titles come from us only: the sender would make
    // one of its own of every tag ("Unknown - Unknown" of the encoder's).
    g_object_set(shout, "sync", FALSE, "send-title-info", FALSE, nullptr);

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
    // The broadcast's streaming thread: each buffer of silence is filled from the queue.
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
    // The broadcast's streaming thread. The sender has logged in and sent what came before
    // once a buffer reaches it after the first few: the server took the source.
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer self) {
            auto* output = static_cast<Impl*>(self);
            if (output->sent.fetch_add(1) == SentBeforeConnected)
                QMetaObject::invokeMethod(
                    &output->context, [output] { output->connected(); }, Qt::QueuedConnection);
            return GST_PAD_PROBE_OK;
        },
        this, nullptr);
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

// The UI thread: a new attempt to connect.
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
        if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR && state != State::Waiting) {
            GError* err = nullptr;
            gst_message_parse_error(msg, &err, nullptr);
            const std::string said = err && err->message ? err->message : "unknown error";
            g_clear_error(&err);
            gst_element_set_state(pipeline, GST_STATE_NULL);
            if (state == State::Connecting) {
                // Why the server would not have us is its own answer to a source, asked
                // again: the sender's words are a library's and change with it.
                sendError = said;
                state = State::Waiting;
                messenger.ask(Messenger::Question::Source, attempt);
            } else {
                failed(said);
            }
        }
        gst_message_unref(msg);
    }
}

void GstBroadcast::Impl::failed(const std::string& reason)
{
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

void GstBroadcast::Impl::connected()
{
    if (state != State::Connecting)
        return;
    state = State::Connected;
    failures = 0;
    lastProblem.clear();
    say("broadcast: connected to " + settings.address());
    if (!title.empty())
        messenger.sendTitle(title);
    // Whether listeners get in is news for whoever runs the server; the source stays.
    messenger.ask(Messenger::Question::Listener, attempt);
}

void GstBroadcast::Impl::answered(Messenger::Question q, int ofAttempt, const HttpAnswer& a)
{
    if (ofAttempt != attempt)
        return; // an attempt that has ended already
    if (q == Messenger::Question::Source && state == State::Waiting && !retry.isActive()) {
        std::string reason = sourceRefusal(a);
        if (reason.empty())
            reason = sendError;    // the server takes the source: the sending itself failed
        state = State::Connecting; // failed() tells a failed attempt, not a lost connection
        failed(reason);
    } else if (q == Messenger::Question::Listener && state == State::Connected) {
        if (std::string refusal = listenerRefusal(a); !refusal.empty())
            say("broadcast: connected, but " + refusal);
    }
}

GstBroadcast::GstBroadcast(BroadcastSettings settings, std::function<void(const std::string&)> say)
    : d(std::make_unique<Impl>(std::move(settings), std::move(say)))
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
    // The output's streaming thread, as each buffer is due.
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
        // Only so that each sink waits for its own time: the output's queue ahead of them
        // holds the look-ahead, and more here would take the items' ends further from the
        // moment they are heard.
        for (GstElement* q : {toServer, toCard})
            g_object_set(q, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time",
                         static_cast<guint64>(50 * GST_MSECOND), nullptr);
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
        d->messenger.sendTitle(title);
}

} // namespace quavix
