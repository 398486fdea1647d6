#include "GstMediaPlayer.h"

#include "platform/MediaVolume.h"
#include "platform/posix/CommandText.h"

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <utility>

namespace quavix {

namespace {

using Factory = GstPlayer* (*)();

struct Module {
    Factory create = nullptr;
    std::string error; // why create is missing
};

std::string tryOpen(const std::string& path, Factory& create)
{
    // Lazy: the module's calls into GStreamer are bound as they are first made, so opening
    // it costs little more than mapping it.
    void* handle = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!handle)
        return ::dlerror();
    create = reinterpret_cast<Factory>(::dlsym(handle, GstPlayerEntry));
    return create ? std::string() : path + " has no " + GstPlayerEntry;
}

// Where the program's module is: as installed, next to the program; for the tests and
// benchmarks, which run from the build folder away from the program's layout, where the
// build put it.
std::string defaultModulePath()
{
    const std::string own = command::ownFolder();
    std::string path = own + "/../lib/quavix/modules/" + GstPlayerModule;
#ifdef QUAVIX_BUILD_DIR
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) &&
        own.rfind(std::string(QUAVIX_BUILD_DIR) + "/", 0) == 0)
        path = QUAVIX_BUILT_MODULE;
#endif
    return path;
}

// Each module is opened once for the process, by the first player that needs it.
const Module& module(const std::string& path)
{
    static std::map<std::string, Module> opened;
    if (auto it = opened.find(path); it != opened.end())
        return it->second;
    Module m;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        m.error = path + " is missing";
    else
        m.error = tryOpen(path, m.create);
    return opened.emplace(path, std::move(m)).first->second;
}

} // namespace

GstMediaPlayer::GstMediaPlayer() = default;

GstMediaPlayer::GstMediaPlayer(std::string modulePath) : m_modulePath(std::move(modulePath)) {}

GstMediaPlayer::~GstMediaPlayer() = default;

GstPlayer* GstMediaPlayer::player()
{
    if (m_player || !m_loadError.empty())
        return m_player.get();
    // The path is a variable of its own: GCC 14 takes the result for a reference into the
    // temporary path (it refers to the table of opened modules).
    const std::string path = m_modulePath.empty() ? defaultModulePath() : m_modulePath;
    const Module& m = module(path);
    if (!m.create) {
        m_loadError = "The media framework could not start: " + m.error;
        return nullptr;
    }
    m_player.reset(m.create());
    m_player->setPlayStateHandler([this](int oldState, int newState, bool currentItem) {
        forwardPlayState(oldState, newState, currentItem);
    });
    m_player->setNoticeHandler(m_noticeHandler);
    m_player->setStatusHandler(m_statusHandler);
    if (m_lineHandler)
        m_player->setLineHandler(m_lineHandler);
    if (m_sound)
        m_player->setSound(*m_sound);
    if (!m_expected.empty())
        m_player->expect(std::exchange(m_expected, {}));
    m_player->setVolume(m_volume);
    if (m_broadcast)
        m_player->setBroadcast(*m_broadcast, m_conventionTitle);
    return m_player.get();
}

void GstMediaPlayer::setNoticeHandler(std::function<void(const std::string&)> handler)
{
    m_noticeHandler = std::move(handler);
    if (m_player)
        m_player->setNoticeHandler(m_noticeHandler);
}

void GstMediaPlayer::setStatusHandler(std::function<void(const std::string&)> handler)
{
    m_statusHandler = std::move(handler);
    if (m_player)
        m_player->setStatusHandler(m_statusHandler);
}

void GstMediaPlayer::setLineHandler(std::function<void(const std::string&)> handler)
{
    m_lineHandler = std::move(handler);
    if (m_player)
        m_player->setLineHandler(m_lineHandler);
}

void GstMediaPlayer::setSound(const SoundSettings& settings)
{
    m_sound = settings;
    if (m_player)
        m_player->setSound(settings);
}

void GstMediaPlayer::setBroadcast(const BroadcastSettings& settings,
                                  std::function<std::string(const std::string&)> conventionTitle)
{
    m_broadcast = settings;
    m_conventionTitle = std::move(conventionTitle);
    if (m_player)
        m_player->setBroadcast(*m_broadcast, m_conventionTitle);
}

void GstMediaPlayer::setFileName(const std::string& name)
{
    if (GstPlayer* p = player())
        p->setFileName(name);
    else
        m_name = name; // a failed open: errorCode() says so
}

std::string GstMediaPlayer::fileName() const
{
    return m_player ? m_player->fileName() : m_name;
}

double GstMediaPlayer::duration()
{
    return m_player ? m_player->duration() : 0;
}

double GstMediaPlayer::currentPosition()
{
    return m_player ? m_player->currentPosition() : 0;
}

void GstMediaPlayer::setCurrentPosition(double seconds)
{
    if (m_player)
        m_player->setCurrentPosition(seconds);
}

int GstMediaPlayer::playState()
{
    return m_player ? m_player->playState() : Stopped;
}

long GstMediaPlayer::errorCode()
{
    if (m_player)
        return m_player->errorCode();
    return m_name.empty() ? NoError : ErrorPlayback;
}

std::string GstMediaPlayer::errorDescription()
{
    if (m_player)
        return m_player->errorDescription();
    return m_name.empty() ? std::string() : m_loadError;
}

int GstMediaPlayer::volume() const
{
    return m_player ? m_player->volume() : m_volume;
}

void GstMediaPlayer::setVolume(int hundredthsOfDb)
{
    m_volume = std::clamp(hundredthsOfDb, MinVolume, MaxVolume);
    if (m_player)
        m_player->setVolume(m_volume);
}

void GstMediaPlayer::pause()
{
    if (m_player)
        m_player->pause();
}

void GstMediaPlayer::play()
{
    if (m_player)
        m_player->play();
}

void GstMediaPlayer::stop()
{
    if (m_player)
        m_player->stop();
}

void GstMediaPlayer::warmUp()
{
    if (GstPlayer* p = player())
        p->warmUp();
}

bool GstMediaPlayer::durationIsEstimate()
{
    return m_player && m_player->durationIsEstimate();
}

bool GstMediaPlayer::canSeek()
{
    return m_player && m_player->canSeek();
}

MediaTags GstMediaPlayer::tags()
{
    return m_player ? m_player->tags() : MediaTags{};
}

void GstMediaPlayer::expect(const std::vector<std::string>& names)
{
    // Kept for the module's player, which is made on the first open.
    if (m_player)
        m_player->expect(names);
    else
        m_expected = names;
}

} // namespace quavix
