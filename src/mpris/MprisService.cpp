#include "MprisService.h"

#include "mpris/MprisAdaptors.h"
#include "platform/MediaAddress.h"
#include "platform/MediaVolume.h"
#include "startup/Globals.h"
#include "startup/Services.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QUrl>
#include <chrono>

namespace quavix {

namespace {

const QString ObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString PlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString ServiceName = QStringLiteral("org.mpris.MediaPlayer2.quavix");

double monotonicSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

PlayerReading read(MediaPlayer& media)
{
    PlayerReading r;
    r.playState = media.playState();
    // An item that failed to open or broke off is not there to show.
    if (media.errorCode() == 0)
        r.fileName = media.fileName();
    r.duration = media.duration();
    r.position = media.currentPosition();
    r.volume = media.volume();
    r.canSeek = media.canSeek();
    r.tags = media.tags();
    r.clock = monotonicSeconds();
    return r;
}

QVariant propertyValue(MprisService& s, const std::string& name)
{
    const MprisPlayerProperties& p = s.properties();
    if (name == "PlaybackStatus")
        return s.playbackStatus();
    if (name == "Metadata")
        return s.metadata();
    if (name == "Volume")
        return p.volume;
    if (name == "CanGoNext")
        return p.canGoNext;
    if (name == "CanGoPrevious")
        return p.canGoPrevious;
    if (name == "CanPlay")
        return p.canPlay;
    if (name == "CanPause")
        return p.canPause;
    return p.canSeek; // "CanSeek", the last one there is
}

} // namespace

bool serveMpris(MprisCommands commands)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    auto* service = new MprisService(std::move(commands), bus, QCoreApplication::instance());
    if (!bus.registerObject(ObjectPath, service)) {
        delete service;
        return false;
    }
    // A second program on the same bus (one run in a sandbox of its own) takes the name of
    // its instance, as MPRIS asks of players that run more than once.
    if (!bus.registerService(ServiceName) &&
        !bus.registerService(ServiceName + QStringLiteral(".instance") +
                             QString::number(QCoreApplication::applicationPid()))) {
        bus.unregisterObject(ObjectPath);
        delete service;
        return false;
    }
    return true;
}

MprisService::MprisService(MprisCommands commands, QDBusConnection bus, QObject* parent)
    : QObject(parent), m_commands(std::move(commands)), m_bus(std::move(bus))
{
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    // The player has one event handler, the window's, and the volume and the item's name
    // change without events: reading it is what sees every change.
    m_poll.setInterval(250);
    connect(&m_poll, &QTimer::timeout, this, [this] { refresh(); });
    m_poll.start();
    refresh();
}

void MprisService::refresh(bool seeked)
{
    MprisPlayerState::Changes changes = m_state.update(read(*services().media));
    if (!changes.properties.empty()) {
        QVariantMap changed;
        for (const std::string& name : changes.properties)
            changed.insert(QString::fromStdString(name), propertyValue(*this, name));
        QDBusMessage signal = QDBusMessage::createSignal(
            ObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("PropertiesChanged"));
        signal << PlayerInterface << changed << QStringList();
        m_bus.send(signal);
    }
    if (seeked || changes.seeked)
        emit seekedTo(m_state.positionUs());
}

void MprisService::trigger(MprisCommand command)
{
    if (!m_commands.action)
        return;
    if (QAction* action = m_commands.action(command))
        action->trigger();
    refresh();
}

void MprisService::run(Transport transport)
{
    switch (transport) {
    case Transport::Play:
        trigger(MprisCommand::Play);
        break;
    case Transport::Pause:
        trigger(MprisCommand::Pause);
        break;
    case Transport::Resume:
        // The program's Play moves on to the next entry; resuming has no command of its own.
        services().media->play();
        refresh();
        break;
    case Transport::None:
        break;
    }
}

void MprisService::raise()
{
    if (m_commands.raise)
        m_commands.raise();
}

void MprisService::quit()
{
    // Ending the program ends the process at once, also from inside a nested loop: the
    // answer must be out first. It goes when this returns; a call to the bus itself comes
    // back only after the bus has taken everything sent before it.
    QTimer::singleShot(0, this, [this] {
        m_bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                  QStringLiteral("/org/freedesktop/DBus"),
                                                  QStringLiteral("org.freedesktop.DBus.Peer"),
                                                  QStringLiteral("Ping")),
                   QDBus::Block, 1000);
        if (m_commands.quit)
            m_commands.quit();
    });
}

QStringList MprisService::supportedUriSchemes()
{
    return {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https"),
            QStringLiteral("mms"),  QStringLiteral("mmsh"), QStringLiteral("rtsp")};
}

QStringList MprisService::supportedMimeTypes()
{
    return {QStringLiteral("audio/mpeg"),
            QStringLiteral("audio/x-wav"),
            QStringLiteral("application/vnd.ms-asf"),
            QStringLiteral("audio/x-ms-asx"),
            QStringLiteral("audio/vnd.rn-realaudio"),
            QStringLiteral("application/ram"),
            QStringLiteral("application/vnd.rn-realmedia"),
            QStringLiteral("audio/midi"),
            QStringLiteral("audio/basic")};
}

void MprisService::play()
{
    run(playActionFor(services().media->playState()));
}

void MprisService::pause()
{
    run(pauseActionFor(services().media->playState()));
}

void MprisService::playPause()
{
    run(playPauseActionFor(services().media->playState()));
}

void MprisService::stop()
{
    trigger(MprisCommand::Stop);
}

void MprisService::next()
{
    trigger(MprisCommand::Next);
}

void MprisService::previous()
{
    trigger(MprisCommand::Previous);
}

void MprisService::seek(qlonglong offsetUs)
{
    MediaPlayer* media = services().media;
    refresh();
    if (!m_state.properties().canSeek)
        return;
    const double target = std::max(0.0, media->currentPosition() + offsetUs / 1e6);
    if (target >= media->duration()) {
        next();
        return;
    }
    media->setCurrentPosition(target);
    refresh(true);
}

void MprisService::setPosition(const QString& trackId, qlonglong positionUs)
{
    MediaPlayer* media = services().media;
    refresh();
    const MprisPlayerProperties& p = m_state.properties();
    if (!p.canSeek || trackId.toStdString() != p.metadata.trackId || positionUs < 0 ||
        positionUs > p.metadata.lengthUs)
        return;
    media->setCurrentPosition(positionUs / 1e6);
    refresh(true);
}

void MprisService::openUri(const QString& uri)
{
    // Escapes decode to the file's own bytes: a name that is not UTF-8 is still found.
    const std::string text = uri.toStdString();
    std::string name;
    if (auto file = localFileOfUri(text))
        name = *file;
    else if (isStreamAddress(text) || uri.startsWith(QLatin1Char('/')))
        name = text;
    if (name.empty() || !m_commands.open)
        return;
    m_commands.open({name});
    refresh();
}

void MprisService::setVolume(double linear)
{
    services().media->setVolume(volumeFromLinear(linear));
    refresh();
}

QString MprisService::playbackStatus() const
{
    return QString::fromStdString(m_state.properties().playbackStatus);
}

QVariantMap MprisService::metadata() const
{
    const TrackMetadata& m = m_state.properties().metadata;
    QVariantMap map;
    map.insert(QStringLiteral("mpris:trackid"),
               QVariant::fromValue(QDBusObjectPath(QString::fromStdString(m.trackId))));
    if (m.lengthUs > 0)
        map.insert(QStringLiteral("mpris:length"), qlonglong{m.lengthUs});
    auto text = [&map](const char* key, const std::string& value) {
        if (!value.empty())
            map.insert(QString::fromLatin1(key), QString::fromStdString(value));
    };
    text("xesam:url", m.url);
    text("xesam:title", m.title);
    text("xesam:album", m.album);
    text("xesam:contentCreated", m.year);
    if (!m.artist.empty())
        map.insert(QStringLiteral("xesam:artist"), QStringList{QString::fromStdString(m.artist)});
    return map;
}

double MprisService::volume() const
{
    return m_state.properties().volume;
}

qlonglong MprisService::position()
{
    refresh();
    return m_state.positionUs();
}

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_service(service)
{
}

QString MprisRootAdaptor::identity() const
{
    return QString::fromUtf8(ProgramTitle);
}

void MprisRootAdaptor::Raise()
{
    m_service->raise();
}

void MprisRootAdaptor::Quit()
{
    m_service->quit();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_service(service)
{
    connect(service, &MprisService::seekedTo, this, &MprisPlayerAdaptor::Seeked);
}

} // namespace quavix
