#pragma once
// Lines for standard error that never hold up the thread that says them.
//
// Standard error may be a pipe that nobody reads (`quavix --station P 2>&1 | less`, left
// alone) or a journal that stalls: a plain write blocks once the pipe's 64 kB are full, and
// with it the thread that plays and answers signals. So every line of the program goes
// through one LineWriter: write() only queues the line; a thread of the writer's own writes
// the queue out, waiting for the reader as long as that takes. While the queue is full, new
// lines are dropped and counted, and in their place the reader gets, once it catches up,
// "quavix: N lines not written (standard error was not read in time)". The descriptor is
// never made non-blocking: it is shared with the terminal and with whoever started us.
//
// - write(line): queues `line` and a line end. Thread-safe; never waits for the reader.
// - drain(ms): waits until every queued line is written, at most ms milliseconds; true when
//   all are. For the end of the program, so that its last lines reach the journal.
// - A reader that has gone (EPIPE) costs each line one failed write; the writer's thread
//   blocks every signal, so SIGPIPE does not end the program.
// - The thread starts with the first line. The destructor stops it (within 100 ms, and
//   without writing what is left).
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace quavix {

class LineWriter {
public:
    static constexpr std::size_t DefaultQueueBytes = std::size_t(1) << 20;

    // Writes to descriptor fd (not owned); at most maxQueuedBytes of text wait to be written.
    explicit LineWriter(int fd, std::size_t maxQueuedBytes = DefaultQueueBytes);
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    void write(const std::string& line);
    bool drain(int milliseconds);

    // The line that stands for `count` dropped lines, without its line end.
    static std::string droppedLine(std::uint64_t count);

private:
    // A line to write, or (dropped > 0) the place of that many dropped lines.
    struct Entry {
        std::string text;
        std::uint64_t dropped = 0;
    };
    static constexpr std::size_t BatchBytes = std::size_t(64) << 10;
    void run();
    void writeOut(const std::string& text);

    const int m_fd;
    const std::size_t m_maxQueuedBytes;
    std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    std::deque<Entry> m_queue;
    std::size_t m_queuedBytes = 0;
    bool m_busy = false, m_stop = false;
    std::thread m_thread;
};

// The program's one writer to standard error (descriptor 2); made on first use and never
// destroyed (its thread may be waiting for a reader when the program ends). At exit() it
// gets half a second to write what is queued.
LineWriter& standardError();
inline void errorLine(const std::string& line)
{
    standardError().write(line);
}
// Waits for standard error's queued lines, at most ms milliseconds; nothing to do when no
// line was ever written. Called by whatever ends the process with _exit.
void drainStandardError(int milliseconds);

} // namespace quavix
