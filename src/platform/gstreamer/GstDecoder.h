#pragma once
// One item's decoder: a playbin whose sound goes, decoded ahead of time, to the mixer
// (platform/SoundMixer.h) in the mixer's format, through a feed.
//
// Threads: made, opened, sought, read and ended on the player's thread (the UI thread),
// where its bus messages are handled too (a socket notifier on the bus). Its feed is read
// on the output's streaming thread; the feed's end (the mixer is done with it) may come on
// any thread and only marks the decoder free.
//
// States: Free (ready to open) -> Open (prerolled, decoding ahead) -> Free again by close()
// or once the player took it back. A decoder whose feed the mixer still reads is in use:
// the player leaves it alone until the feed is gone.
#include "platform/SoundMixer.h"

#include <QObject>
#include <atomic>
#include <chrono>
#include <functional>
#include <gst/gst.h>
#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;

namespace quavix {

// The application message a decoder posts when an http stream's server sends a title
// (field "title", a UTF-8 string, "" when the server cleared it). It comes as the bytes
// arrive, before the sound they go with is decoded; tag messages bring the same title later.
inline constexpr const char* StreamTitleMessage = "quavix-stream-title";

// Why an open failed: the player's error code and the reason in a user's words.
struct OpenFailure {
    long code = 0;
    std::string why;
};

class GstDecoder {
public:
    // `onMessage` gets the bus messages the decoder does not handle itself, on the UI thread,
    // while it is open.
    explicit GstDecoder(std::function<void(GstDecoder&, GstMessage*)> onMessage);
    ~GstDecoder();
    GstDecoder(const GstDecoder&) = delete;
    GstDecoder& operator=(const GstDecoder&) = delete;

    // Opens `uri` and waits until its first sound is decoded, it failed, or `deadline`
    // passed. nullopt when it opened; the failure otherwise (the decoder is free again).
    // `endedEarly`: the item ended while it opened (it has no sound at all).
    std::optional<OpenFailure> open(const std::string& uri, bool network,
                                    std::chrono::milliseconds deadline, bool& endedEarly);
    // Back to free: stops decoding, drops what was decoded.
    void close();
    bool isOpen() const { return m_open; }
    // True while a feed of it exists.
    bool inUse() const { return m_inUse->load(); }

    // The reader of what it decodes, for the mixer; one at a time.
    std::unique_ptr<SoundFeed> feed();
    // Seconds; 0 when unknown.
    double duration();
    bool canSeek();
    // A flushing, accurate seek; the feed then starts at `seconds`.
    bool seek(double seconds);
    // The failure of an item that broke while it played (set from its bus).
    const std::optional<OpenFailure>& failure() const { return m_failure; }
    void setFailure(OpenFailure f);
    // The http answer's Accept-Ranges, when the item came over http.
    std::optional<bool> serverRanges;
    // The element that made the sound (for a synthesiser's gain).
    GstElement* pipeline() const { return m_playbin; }

private:
    void pump();

    std::function<void(GstDecoder&, GstMessage*)> m_onMessage;
    QObject m_context; // owns the notifier
    GstElement* m_playbin = nullptr;
    GstElement* m_appsink = nullptr;
    GstBus* m_bus = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    std::shared_ptr<std::atomic<bool>> m_inUse = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<bool>> m_broken = std::make_shared<std::atomic<bool>>(false);
    std::optional<OpenFailure> m_failure;
    bool m_open = false;
    bool m_network = false;
};

// The words for a failure GStreamer reported while opening or playing `name`.
OpenFailure failureFromMessage(GstMessage* error, bool network);
// The words for a missing-plugin message: what is missing and which package brings it.
std::string missingPluginText(GstMessage* missing);

} // namespace quavix
