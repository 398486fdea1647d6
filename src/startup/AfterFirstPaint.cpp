#include "AfterFirstPaint.h"

#include <deque>
#include <utility>

namespace quavix {

namespace {
struct Queue {
    std::deque<std::function<void()>> work;
    bool painted = false;
};
Queue& queue()
{
    static Queue q;
    return q;
}
} // namespace

void afterFirstPaint(std::function<void()> work)
{
    if (!work)
        return;
    if (queue().painted)
        work();
    else
        queue().work.push_back(std::move(work));
}

void firstPaintDone()
{
    Queue& q = queue();
    if (q.painted)
        return;
    q.painted = true;
    // One at a time: a piece of work may queue more, or let events run.
    while (!q.work.empty()) {
        auto work = std::move(q.work.front());
        q.work.pop_front();
        work();
    }
}

bool firstPaintSeen()
{
    return queue().painted;
}

void resetFirstPaint()
{
    queue().work.clear();
    queue().painted = false;
}

} // namespace quavix
