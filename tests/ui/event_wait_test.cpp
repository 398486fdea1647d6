// The program's waits (the play-list player's 250 ms, the engine's 100 ms) spend their time
// in the event loop: what arrives meanwhile is answered at once, not when the wait ends, and
// the wait still lasts its time.
#include "platform/linux/QtProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>
#include <gtest/gtest.h>
#include <unistd.h>

TEST(EventWait, WhatArrivesDuringAWaitIsAnsweredAtOnce)
{
    quavix::QtProcess process({}, nullptr);
    // What a screen reader's or a panel's question looks like to the program (a queued
    // call), a media event (a descriptor turning readable) and a timer of its own.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    QSocketNotifier media(pipeFds[0], QSocketNotifier::Read);
    QElapsedTimer clock;
    qint64 asked = -1, heard = -1, ticked = -1;
    QObject::connect(&media, &QSocketNotifier::activated, [&] {
        char c;
        if (::read(pipeFds[0], &c, 1) == 1)
            heard = clock.elapsed();
    });
    clock.start();
    QMetaObject::invokeMethod(
        qApp, [&] { asked = clock.elapsed(); }, Qt::QueuedConnection);
    QTimer::singleShot(40, qApp, [&] { ticked = clock.elapsed(); });
    ASSERT_EQ(::write(pipeFds[1], "x", 1), 1);

    process.waitForEvents(250);
    const qint64 waited = clock.elapsed();
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);

    EXPECT_GE(waited, 245) << "the wait keeps its length";
    EXPECT_GE(asked, 0);
    EXPECT_LT(asked, 150) << "the call waited for the end of the wait";
    EXPECT_GE(heard, 0);
    EXPECT_LT(heard, 150) << "the media event waited for the end of the wait";
    EXPECT_GE(ticked, 40);
    EXPECT_LT(ticked, 190) << "the timer waited for the end of the wait";
}
