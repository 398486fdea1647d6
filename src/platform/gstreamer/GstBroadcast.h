#pragma once
// The broadcast output of the GStreamer player: one pipeline that lives as long as the
// player and sends whatever plays to an Icecast server.
//
//   item playbin ... ! S16 44.1 kHz stereo ! [tee ! local output] ! fakesink   (per item)
//                                                                      | puts
//                                                                 sound queue
//                                                                      | takes
//   live silence (20 ms buffers) ! audioconvert ! encoder ! shout2send  (the broadcast)
//
// Items and broadcast count time by the same (system) clock. The item side puts each buffer
// when it is due, so an item takes as long as without broadcasting; the broadcast takes
// `Latency` behind it, every sample of every item, and sends silence between items and
// while nothing plays, so the server keeps the source and its listeners. When the next
// item opens within Latency of the end of the last one, listeners hear no gap.
//
// States, told on standard error, one line per change ("broadcast: connected to ...",
// "broadcast: lost ..., retrying in 8 s"): connecting, connected, waiting to retry. A
// failure (server unreachable, refused login, mount in use, connection lost) never reaches
// the player: the output retries after broadcastRetryPause(failures). Why a connection
// failed is the server's own answer to a source (IcecastRequests.h), asked after the
// sender gave up. A server that takes the source but refuses listeners keeps it, and is
// told once. The password never appears in a line.
//
// Threads, and what each may touch:
// - the UI thread: everything public; the broadcast pipeline's state, its bus, the retry
//   timer and the state above;
// - the output's streaming thread (the item side's fakesink "handoff"): puts into the
//   sound queue only;
// - the broadcast's streaming thread (the live silence source, the encoder, the sender):
//   takes from the sound queue, counts the buffers sent (an atomic) and posts "connected"
//   to the UI thread;
// - the messenger's thread: titles and the questions to the server; posts the answers to
//   the UI thread.
// The sound queue has a lock of its own; nothing else is shared.
// Needs a QCoreApplication and an initialized GStreamer.
#include "platform/Broadcast.h"

#include <functional>
#include <gst/gst.h>
#include <memory>
#include <string>

namespace quavix {

class GstBroadcast {
public:
    static constexpr GstClockTime Latency = 200 * GST_MSECOND;

    // `say` takes the lines for standard error (UI thread).
    GstBroadcast(BroadcastSettings settings, std::function<void(const std::string&)> say);
    ~GstBroadcast();
    GstBroadcast(const GstBroadcast&) = delete;
    GstBroadcast& operator=(const GstBroadcast&) = delete;

    // Builds the pipeline and starts connecting. False, with the reason in `problem`, when
    // an element it needs is not installed.
    bool start(std::string& problem);
    // The sink for the player's playbin: the broadcast, and localSink too when the
    // settings ask for local output (taken; may be nullptr otherwise). Floating.
    GstElement* makeItemSink(GstElement* localSink);
    void setTitle(const std::string& title);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace quavix
