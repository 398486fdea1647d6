#include "FollowerWindowSystem.h"

#include <QCoreApplication>
#include <QDBusConnection>
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

FollowerWindowSystem::FollowerWindowSystem(Host host)
    : m_host(host), m_scriptName(QStringLiteral("quavix-follow-") +
                                 QString::number(QCoreApplication::applicationPid()))
{
}

FollowerWindowSystem::~FollowerWindowSystem()
{
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
    changed();
    if (!m_answer)
        return false;
    stripX = m_answer->first;
    stripY = m_answer->second;
    return true;
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

bool FollowerWindowSystem::placeStrip(Handle, int left, int top)
{
    m_answer = std::make_pair(left, top);
    return true;
}

void FollowerWindowSystem::makeTopmost(Handle, bool)
{
    // The script keeps the strip above whenever it places it.
}

} // namespace quavix
