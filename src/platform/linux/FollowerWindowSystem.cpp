#include "FollowerWindowSystem.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusInterface>
#include <QDBusReply>
#include <QFile>
#include <QStandardPaths>
#include <cmath>
#include <unistd.h>

static void initKWinResources()
{
    Q_INIT_RESOURCE(kwin);
}

namespace quavix {

namespace {

QDBusMessage scripting(const char* method, const QVariantList& args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
        QStringLiteral("org.kde.kwin.Scripting"), QString::fromLatin1(method));
    call.setArguments(args);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
}

} // namespace

FollowerWindowSystem::FollowerWindowSystem(Host host, std::chrono::milliseconds hold)
    : m_host(host), m_scriptName(QStringLiteral("quavix-follow-") +
                                 QString::number(QCoreApplication::applicationPid()))
{
    m_hold.setSingleShot(true);
    m_hold.setInterval(hold);
    connect(&m_hold, &QTimer::timeout, this, [this] { answerHeld(std::nullopt); });
}

FollowerWindowSystem::~FollowerWindowSystem()
{
    // Ended with nothing rather than left to fail (KWin logs every failed call).
    answerHeld(std::nullopt);
    if (m_loaded)
        scripting("unloadScript", {m_scriptName});
    if (!m_scriptFile.isEmpty())
        QFile::remove(m_scriptFile);
}

QString FollowerWindowSystem::kwinScript(qint64 pid)
{
    initKWinResources();
    QFile file(QStringLiteral(":/quavix/kwin/follow.js"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QLatin1String("@PID@"), QString::number(pid));
    return text;
}

bool FollowerWindowSystem::start(std::string& problem)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        problem = "there is no session bus";
        return false;
    }
    if (!bus.registerObject(QStringLiteral("/org/quavix/Follower"), this,
                            QDBusConnection::ExportScriptableSlots) ||
        !bus.registerService(QString::fromLatin1(Service))) {
        problem = "the session bus refused our service: " + bus.lastError().message().toStdString();
        return false;
    }
    if (m_host != Host::KWin)
        return true;
    // KWin reads the script from a file; ours is private to this process and user.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    m_scriptFile = folder + QStringLiteral("/") + m_scriptName + QStringLiteral(".js");
    QFile file(m_scriptFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(kwinScript(QCoreApplication::applicationPid()).toUtf8()) < 0) {
        problem = "cannot write " + m_scriptFile.toStdString();
        return false;
    }
    file.close();
    // A script of the same name left by a process that had our number before.
    scripting("unloadScript", {m_scriptName});
    const QDBusReply<int> id = scripting("loadScript", {m_scriptFile, m_scriptName});
    if (!id.isValid() || id.value() < 0) {
        problem = "KWin did not load our script: " +
                  (id.isValid() ? std::string("it answered ") + std::to_string(id.value())
                                : id.error().message().toStdString());
        return false;
    }
    m_loaded = true;
    scripting("start", {});
    return true;
}

bool FollowerWindowSystem::Frame(const QString& caption, const QString& numbers, int& stripX,
                                 int& stripY)
{
    int width = 0, height = 0;
    bool above = false;
    return Report(caption, numbers, stripX, stripY, width, height, above);
}

bool FollowerWindowSystem::Report(const QString& caption, const QString& numbers, int& stripX,
                                  int& stripY, int& stripWidth, int& stripHeight, bool& stripAbove)
{
    const QStringList fields = numbers.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fields.size() != 5)
        return false;
    double value[5];
    for (int i = 0; i < 5; ++i) {
        bool ok = false;
        value[i] = fields[i].toDouble(&ok);
        if (!ok || !std::isfinite(value[i]) || std::abs(value[i]) > 1e7)
            return false;
    }
    const auto pid = static_cast<qint64>(value[0]);
    const double x = value[1], y = value[2], width = value[3], height = value[4];
    if (pid == QCoreApplication::applicationPid())
        return false;
    // One handle per window as KWin names it; a new caption or process is another window.
    const bool same = m_window != 0 && caption == m_caption && pid == m_pid;
    if (!same) {
        // Far above the small numbers the toolkit gives its own Wayland windows.
        static WindowHandle next = WindowHandle(1) << 48;
        m_window = ++next;
        m_caption = caption;
        m_pid = pid;
    }
    const auto px = [](double v) { return static_cast<int>(std::lround(v)); };
    m_frame = PixelRect{px(x), px(y), px(x + width), px(y + height)};
    m_answer.reset();
    m_reporting = true;
    changed();
    m_reporting = false;
    // Not placed now (Always On Top off), the strip still goes where it was put last and the
    // compositor has not heard of.
    const std::optional<Spot> answer = m_answer ? m_answer : m_pending;
    if (!answer)
        return false;
    m_sent = answer;
    m_pending.reset();
    fill(*answer, stripX, stripY, stripWidth, stripHeight, stripAbove);
    return true;
}

bool FollowerWindowSystem::NextSpot(const QString& pid, const QDBusMessage& question, int& stripX,
                                    int& stripY, int& stripWidth, int& stripHeight,
                                    bool& stripAbove)
{
    if (pid != QString::number(QCoreApplication::applicationPid())) {
        question.setDelayedReply(true);
        send(question.createErrorReply(QDBusError::InvalidArgs,
                                       QStringLiteral("this is not process ") + pid));
        return false;
    }
    answerHeld(std::nullopt);
    if (m_pending) {
        m_sent = m_pending;
        m_pending.reset();
        fill(*m_sent, stripX, stripY, stripWidth, stripHeight, stripAbove);
        return true;
    }
    question.setDelayedReply(true);
    m_held = question;
    m_hold.start();
    return false;
}

void FollowerWindowSystem::answerHeld(const std::optional<Spot>& spot)
{
    if (!m_held)
        return;
    m_hold.stop();
    int x = 0, y = 0, width = 0, height = 0;
    bool above = false;
    if (spot)
        fill(*spot, x, y, width, height, above);
    const QDBusMessage question = *m_held;
    m_held.reset();
    send(question.createReply(QVariantList{spot.has_value(), x, y, width, height, above}));
}

void FollowerWindowSystem::send(const QDBusMessage& reply)
{
    QDBusConnection::sessionBus().send(reply);
}

void FollowerWindowSystem::fill(const Spot& spot, int& x, int& y, int& width, int& height,
                                bool& above)
{
    x = spot.strip.left;
    y = spot.strip.top;
    width = spot.strip.width();
    height = spot.strip.height();
    above = spot.above;
}

WindowSystem::Handle FollowerWindowSystem::foregroundWindow()
{
    return m_window;
}

bool FollowerWindowSystem::isVisible(Handle window)
{
    return (window != 0 && window == m_window) || QtWindowSystem::isVisible(window);
}

std::optional<PixelRect> FollowerWindowSystem::windowRect(Handle window)
{
    if (window != 0 && window == m_window)
        return m_frame;
    return QtWindowSystem::windowRect(window);
}

bool FollowerWindowSystem::placeStrip(Handle, const PixelRect& strip, bool above)
{
    const Spot spot{strip, above};
    if (m_reporting) {
        m_answer = spot;
        return true;
    }
    if (m_sent == spot) {
        m_pending.reset();
        return true;
    }
    m_pending = spot;
    if (m_held) {
        m_sent = m_pending;
        m_pending.reset();
        answerHeld(m_sent);
    }
    return true;
}

void FollowerWindowSystem::makeTopmost(Handle, bool)
{
    // The script keeps the strip above when placeStrip says so.
}

} // namespace quavix
