#pragma once
// The sound output that outlives the items: one pipeline that asks the mixer for sound
// and plays it on the sound card, into the broadcast, or where QUAVIX_AUDIO_SINK says.
//
//   appsrc (the mixer) ! queue (Lead) ! volume ! audioconvert ! the sink
//
// The queue keeps the mixer Lead ahead of what is heard: an item's end is known that much
// before its last sample sounds, and the next item opened meanwhile follows without a gap.
//
// Threads: made, started, stopped, paused and asked on the player's thread (the UI
// thread); the mixer is called on the appsrc's streaming thread (see SoundMixer).
// States: Stopped (READY, nothing queued) -> Playing -> Paused -> Playing -> Stopped.
// A new time line starts with every start after a stop. When the mixer has nothing more,
// the stream ends (EOS on the bus): the sink plays out what it has, and the player stops
// the output.
#include "platform/SoundMixer.h"

#include <chrono>
#include <cstdint>
#include <gst/gst.h>
#include <string>

namespace quavix {

class GstOutput {
public:
    static constexpr std::chrono::milliseconds Lead{300};

    explicit GstOutput(SoundMixer& mixer);
    ~GstOutput();
    GstOutput(const GstOutput&) = delete;
    GstOutput& operator=(const GstOutput&) = delete;

    // Builds the pipeline around `sink` (taken); on the system clock when `systemClock` (the
    // broadcast counts time by it). False, with the reason, when an element is missing.
    bool build(GstElement* sink, bool systemClock, std::string& problem);
    // The pipeline's bus, for its messages (the sink's warnings and errors).
    GstBus* bus() const { return m_bus; }
    bool built() const { return m_pipeline != nullptr; }

    // Playing, from a stop (a new time line) or a pause.
    void play();
    void pause();
    // Stops at once: what is queued is dropped, the mixer is cleared.
    void stop();
    // Starts a new stream for what the mixer holds, after the last one ended (the mixer was
    // drained).
    void restart();
    bool playing() const { return m_state == State::Playing; }
    bool stopped() const { return m_state == State::Stopped; }

    // The mixer's frame being heard now (frames since the last start).
    std::int64_t heardFrame();
    void setVolume(double linear);

private:
    enum class State { Stopped, Playing, Paused };
    static void needData(GstElement* appsrc, guint length, gpointer self);
    // The pipeline back to READY and what it said of its last stream forgotten.
    void halt();

    SoundMixer& m_mixer;
    GstElement* m_pipeline = nullptr;
    GstElement* m_appsrc = nullptr;
    GstElement* m_volume = nullptr;
    GstBus* m_bus = nullptr;
    State m_state = State::Stopped;
    std::int64_t m_pushed = 0; // frames, on the streaming thread
    std::int64_t m_lastHeard = 0;
};

} // namespace quavix
