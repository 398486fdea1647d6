#include "Fakes.h"

#include <algorithm>
#include <cstdio>

namespace quavix::fakes {

// --- FakeMediaPlayer -------------------------------------------------------------------

void FakeMediaPlayer::changeState(int newState)
{
    if (newState == m_state)
        return;
    m_pending.push_back(stateEvent(m_state, newState));
    m_state = newState;
}

void FakeMediaPlayer::setFileName(const std::string& name)
{
    opened.push_back(name);
    if (m_state == Playing || m_state == Paused)
        changeState(Stopped);
    beginItem();
    m_name = name;
    m_position = 0;
    m_error = 0;
    if (name.empty()) {
        m_duration = 0;
        return;
    }
    auto it = m_items.find(name);
    if (it == m_items.end()) {
        auto failure = m_failures.find(name);
        m_duration = 0;
        m_error = failure == m_failures.end() ? 1 : failure->second.first;
        return;
    }
    m_duration = it->second;
    changeState(Playing);
}

void FakeMediaPlayer::setCurrentPosition(double seconds)
{
    if (m_state != Playing && m_state != Paused)
        return;
    // An unknown length (0, a live stream) has no end to put the position at.
    if (m_duration > 0 && seconds >= m_duration) {
        m_position = m_duration;
        changeState(Stopped);
        deliverEvents();
        return;
    }
    m_position = std::max(0.0, seconds);
}

void FakeMediaPlayer::advance(double seconds)
{
    if (m_state != Playing)
        return;
    m_position += seconds;
    if (m_position >= m_duration) {
        m_position = m_duration;
        changeState(Stopped);
    }
}

void FakeMediaPlayer::deliverEvents()
{
    while (!m_pending.empty()) {
        auto e = m_pending.front();
        m_pending.pop_front();
        delivered.emplace_back(e.oldState, e.newState);
        notifyPlayState(e);
    }
}

void FakeMediaPlayer::pause()
{
    if (m_state == Playing)
        changeState(Paused);
}

void FakeMediaPlayer::play()
{
    if (m_state == Paused)
        changeState(Playing);
}

void FakeMediaPlayer::stop()
{
    ++stopCalls;
    if (m_state == Playing || m_state == Paused)
        changeState(Stopped);
}

// --- ScriptedDialogs -------------------------------------------------------------------

MsgAnswer ScriptedDialogs::messageBox(const std::string& title, const std::string& text,
                                      MsgIcon icon, MsgButtons buttons)
{
    boxes.push_back({title, text, icon, buttons});
    if (whileOpen) {
        const Box shown = boxes.back(); // a box opened meanwhile may move the list
        whileOpen(shown);
    }
    if (!answers.empty()) {
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
}

std::optional<std::string> ScriptedDialogs::openFile(const FileDialogRequest& request)
{
    fileRequests.push_back(request);
    if (fileAnswers.empty())
        return std::nullopt;
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
}

std::vector<std::string> ScriptedDialogs::titles() const
{
    std::vector<std::string> t;
    for (const auto& b : boxes)
        t.push_back(b.title);
    return t;
}

// --- FakeProcess -----------------------------------------------------------------------

void FakeProcess::wireTo(FakeMediaPlayer& player)
{
    onSleep = [&player](int ms) { player.advance(ms / 1000.0); };
    onEvents = [&player] { player.deliverEvents(); };
}

void FakeProcess::processEvents()
{
    if (++processEventsCalls >= failSafeEvents) {
        ended = true;
        throw ProgramEnded{};
    }
    while (!actions.empty()) {
        auto a = std::move(actions.front());
        actions.pop_front();
        a();
    }
    if (onEvents)
        onEvents();
}

void FakeProcess::waitForEvents(int milliseconds)
{
    if (milliseconds > 0) {
        sleptMs += milliseconds;
        if (onSleep)
            onSleep(milliseconds);
    }
    processEvents();
}

// --- Clock, random ---------------------------------------------------------------------

std::string FixedClock::dateTimeText()
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %02d:%02d:%02d", time.month, time.day,
                  time.year % 100, time.hour, time.minute, time.second);
    return buf;
}

double ScriptedRandom::next()
{
    if (!draws.empty()) {
        last = draws.front();
        draws.pop_front();
    }
    return last;
}

// --- Tray, registry, window system -----------------------------------------------------

bool RecordingTray::notify(int message, const NotifyIconData& record)
{
    calls.emplace_back(message, record);
    if (message == Add) {
        if (present)
            return false;
        present = true;
    } else if (message == Delete) {
        if (!present)
            return false;
        present = false;
    } else if (!present) {
        return false;
    }
    return true;
}

std::optional<std::string> MemoryClassesRegistry::queryValue(const std::string& key)
{
    auto it = values.find(key);
    return it == values.end() ? std::nullopt : std::optional(it->second);
}

} // namespace quavix::fakes
