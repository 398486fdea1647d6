#include "LineWriter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace quavix {

LineWriter::LineWriter(int fd, std::size_t maxQueuedBytes)
    : m_fd(fd), m_maxQueuedBytes(maxQueuedBytes)
{
}

LineWriter::~LineWriter()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

std::string LineWriter::droppedLine(std::uint64_t count)
{
    return "quavix: " + std::to_string(count) + (count == 1 ? " line" : " lines") +
           " not written (standard error was not read in time)";
}

void LineWriter::write(const std::string& line)
{
    std::string text = line + "\n";
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stop)
            return;
        if (!m_thread.joinable()) {
            // Every signal stays with the program's other threads: SIGPIPE from a reader
            // that went away becomes EPIPE here, and SIGTERM's handler never runs on a
            // thread that may sit in write() for good.
            sigset_t all, previous;
            sigfillset(&all);
            ::pthread_sigmask(SIG_SETMASK, &all, &previous);
            m_thread = std::thread([this] { run(); });
            ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        }
        // A line longer than the whole queue still goes out when nothing else waits.
        if (m_queuedBytes > 0 && m_queuedBytes + text.size() > m_maxQueuedBytes) {
            if (!m_queue.empty() && m_queue.back().dropped > 0)
                ++m_queue.back().dropped;
            else
                m_queue.push_back({std::string(), 1});
            return;
        }
        m_queuedBytes += text.size();
        m_queue.push_back({std::move(text), 0});
    }
    m_wake.notify_one();
}

bool LineWriter::drain(int milliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(std::max(0, milliseconds)), [this] {
        return (m_queue.empty() && !m_busy) || m_stop;
    }) && !m_stop;
}

void LineWriter::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop)
            break;
        // What waits goes out in few writes: a burst of lines must not outrun the writer
        // while the reader keeps up. A count of dropped lines goes on its own, in its place.
        std::string batch;
        while (!m_queue.empty() && batch.size() < BatchBytes) {
            Entry& entry = m_queue.front();
            if (entry.dropped > 0) {
                if (batch.empty()) {
                    batch = droppedLine(entry.dropped) + "\n";
                    m_queue.pop_front();
                }
                break;
            }
            m_queuedBytes -= entry.text.size();
            batch += entry.text;
            m_queue.pop_front();
        }
        m_busy = true;
        lock.unlock();
        writeOut(batch);
        lock.lock();
        m_busy = false;
        if (m_queue.empty())
            m_idle.notify_all();
    }
    m_idle.notify_all();
}

void LineWriter::writeOut(const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        // Waiting in poll() rather than in write() lets the destructor stop the thread.
        pollfd p{m_fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, 100);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop)
                return;
        }
        if (ready < 0 && errno != EINTR)
            return;
        if (ready <= 0)
            continue;
        if (p.revents & (POLLERR | POLLNVAL))
            return; // nobody reads any more: this line is lost
        // A pipe with room for anything has room for PIPE_BUF bytes, so this does not block.
        const std::size_t chunk = std::min<std::size_t>(text.size() - done, PIPE_BUF);
        const ssize_t n = ::write(m_fd, text.data() + done, chunk);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

namespace {

std::atomic<LineWriter*> g_standardError{nullptr};

} // namespace

LineWriter& standardError()
{
    static LineWriter* const writer = [] {
        auto* w = new LineWriter(STDERR_FILENO);
        g_standardError.store(w);
        std::atexit([] { drainStandardError(500); });
        return w;
    }();
    return *writer;
}

void drainStandardError(int milliseconds)
{
    if (LineWriter* w = g_standardError.load())
        w->drain(milliseconds);
}

} // namespace quavix
