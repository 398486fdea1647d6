// A kill by the session, a task manager or the terminal: the signal reaches the event loop,
// the main window closes without the exit question, saves its options and the program ends.
#include "mainwindow/MainWindowLoader.h"
#include "platform/linux/TerminationSignals.h"
#include "support/FormRig.h"

#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

using namespace quavix;

TEST(Termination, EachSignalClosesLikeASessionEndAndSavesTheOptions)
{
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        quavix::testing::FormRig h;
        quavix::testing::Rig& rig = h.rig;
        rig.process.endThrows = false;
        installMainWindow();
        auto* form = dynamic_cast<Form1*>(mainWindow());
        ASSERT_NE(form, nullptr);
        form->show();
        form->mnuShowSlider->trigger();

        TerminationSignals termination([](int) { closeMainWindowWithoutAsking(); });
        ASSERT_TRUE(termination.installed());
        ASSERT_EQ(::raise(signal), 0);
        EXPECT_FALSE(form->isUnloaded()) << "nothing happens inside the signal handler";
        EXPECT_TRUE(QTest::qWaitFor([&] { return rig.process.ended; }, 2000)) << signal;
        EXPECT_TRUE(form->isUnloaded());
        EXPECT_TRUE(rig.dialogs.boxes.empty()) << "no exit question";
        EXPECT_EQ(rig.options.value("Options", "SliderVisible"), "True") << signal;
        delete form;
    }
    // Without a window there is nothing to save: the program ends at once.
    quavix::testing::Rig rig{false};
    rig.process.endThrows = false;
    closeMainWindowWithoutAsking();
    EXPECT_TRUE(rig.process.ended);
}
