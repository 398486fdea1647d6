#include "SwayWindowSystem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quavix {

namespace {

constexpr char Magic[] = "i3-ipc";
constexpr std::size_t MagicSize = 6, HeaderSize = MagicSize + 8;
constexpr std::uint32_t GetTree = 4;
// The strip asks once a second on its only thread: the whole exchange gets a fraction of
// that, and a tree of thousands of windows is still far below the cap.
constexpr auto Deadline = std::chrono::milliseconds(150);
constexpr std::uint32_t MaxTree = 8u << 20;
// After an answer that missed them, that many ticks pass unasked, doubling up to a minute.
constexpr int MaxRest = 64;

using Clock = std::chrono::steady_clock;

const QJsonObject* findFocused(const QJsonObject& node, std::vector<QJsonObject>& keep)
{
    const QString type = node.value(QLatin1String("type")).toString();
    if (node.value(QLatin1String("focused")).toBool() &&
        (type == QLatin1String("con") || type == QLatin1String("floating_con"))) {
        keep.push_back(node);
        return &keep.back();
    }
    for (const char* list : {"nodes", "floating_nodes"})
        for (const QJsonValue child : node.value(QLatin1String(list)).toArray())
            if (const QJsonObject* found = findFocused(child.toObject(), keep))
                return found;
    return nullptr;
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool readAll(int fd, char* data, std::size_t size, Clock::time_point deadline)
{
    while (size > 0) {
        // Rounded up: a poll that times out has reached the deadline.
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
            return false;
        const ssize_t n = ::read(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::optional<SwayWindow> focusedSwayWindow(const QByteArray& tree, pid_t ownPid)
{
    const QJsonDocument doc = QJsonDocument::fromJson(tree);
    if (!doc.isObject())
        return std::nullopt;
    std::vector<QJsonObject> keep;
    keep.reserve(1);
    const QJsonObject* node = findFocused(doc.object(), keep);
    if (!node || node->value(QLatin1String("pid")).toInteger() == ownPid)
        return std::nullopt;
    const QJsonObject rect = node->value(QLatin1String("rect")).toObject();
    const QJsonObject deco = node->value(QLatin1String("deco_rect")).toObject();
    auto at = [](const QJsonObject& o, const char* key) {
        return o.value(QLatin1String(key)).toInt();
    };
    SwayWindow w;
    w.id = static_cast<WindowHandle>(node->value(QLatin1String("id")).toInteger());
    w.outer.left = at(rect, "x");
    w.outer.right = at(rect, "x") + at(rect, "width");
    w.outer.top = at(rect, "y") - at(deco, "height");
    w.outer.bottom = at(rect, "y") + at(rect, "height");
    w.visible = node->value(QLatin1String("visible")).toBool(true);
    if (w.id == 0)
        return std::nullopt;
    return w;
}

SwayWindowSystem::SwayWindowSystem(std::string socketPath) : m_path(std::move(socketPath)) {}

SwayWindowSystem::~SwayWindowSystem()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray SwayWindowSystem::tree()
{
    if (m_rest > 0) {
        --m_rest;
        return {};
    }
    QByteArray body = ask();
    if (m_missed) {
        m_pause = std::min(m_pause == 0 ? 1 : m_pause * 2, MaxRest);
        m_rest = m_pause;
    } else {
        m_pause = 0;
    }
    return body;
}

QByteArray SwayWindowSystem::ask()
{
    const auto deadline = Clock::now() + Deadline;
    m_missed = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_fd < 0) {
            sockaddr_un a{};
            if (m_path.size() >= sizeof a.sun_path)
                return {};
            a.sun_family = AF_UNIX;
            std::memcpy(a.sun_path, m_path.c_str(), m_path.size() + 1);
            m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (m_fd < 0 || ::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                if (m_fd >= 0)
                    ::close(m_fd);
                m_fd = -1;
                return {};
            }
        }
        // "i3-ipc", the payload's length (none) and the message type, in native order.
        const std::uint32_t fields[2] = {0, GetTree};
        std::string header(Magic, MagicSize);
        header.append(reinterpret_cast<const char*>(fields), sizeof fields);
        char reply[HeaderSize];
        std::uint32_t size = 0;
        if (writeAll(m_fd, header.data(), header.size()) &&
            readAll(m_fd, reply, sizeof reply, deadline) &&
            std::memcmp(reply, Magic, MagicSize) == 0) {
            std::memcpy(&size, reply + MagicSize, 4);
            if (size > MaxTree) {
                m_missed = true;
            } else {
                QByteArray body(static_cast<qsizetype>(size), Qt::Uninitialized);
                if (readAll(m_fd, body.data(), size, deadline))
                    return body;
            }
        }
        if (Clock::now() >= deadline)
            m_missed = true;
        // A compositor that restarted, or an answer out of step: start afresh.
        ::close(m_fd);
        m_fd = -1;
        if (m_missed)
            break;
    }
    return {};
}

WindowSystem::Handle SwayWindowSystem::foregroundWindow()
{
    m_last = focusedSwayWindow(tree(), ::getpid());
    return m_last ? m_last->id : 0;
}

bool SwayWindowSystem::isVisible(Handle window)
{
    if (m_last && m_last->id == window)
        return m_last->visible;
    return QtWindowSystem::isVisible(window);
}

std::optional<PixelRect> SwayWindowSystem::windowRect(Handle window)
{
    if (m_last && m_last->id == window)
        return m_last->outer;
    return QtWindowSystem::windowRect(window);
}

} // namespace quavix
