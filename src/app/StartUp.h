#pragma once
// What quavix-gui does before its toolkit starts, the strip and the station alike, in the only
// order that works. Each step takes what the step before it returns, so that the compiler
// keeps the order, not the order of the lines:
//
//   settleBuses   every message bus that will be asked answers within a second or is given
//                 up (its address made unreachable): the toolkit's own questions wait 25 s
//                 each and cannot be given up, so this comes before anything asks a bus.
//   Platform      the platform the toolkit will use (QT_QPA_PLATFORM, read once as it starts):
//                 for the strip, with its window mechanism, which may ask the session bus;
//                 for the station, one that shows nothing.
//   Toolkit       the application object, with the toolkit's messages going where each
//                 program wants them.
//
// The strip's early thread (platform/linux/EarlyStart.h) runs beside these steps; it reads
// no environment variable, so they may write the environment.
#include "platform/linux/BusProbe.h"
#include "platform/linux/WindowMechanism.h"

#include <QApplication>
#include <memory>
#include <string>
#include <vector>

namespace quavix {

class BusesSettled {
    BusesSettled() = default;
    friend BusesSettled settleBuses(bus::Buses buses);
};
// Says on standard error which bus it gave up, if any.
BusesSettled settleBuses(bus::Buses buses);

class Platform {
public:
    bool station = false;
    // The strip's window mechanism; what does not work is said on standard error.
    MechanismChoice mechanism;

private:
    Platform() = default;
    friend Platform stripPlatform(const BusesSettled&);
    friend Platform stationPlatform(const BusesSettled&);
};
Platform stripPlatform(const BusesSettled&);
Platform stationPlatform(const BusesSettled&);

class Toolkit {
public:
    // The strip without a display ends here, with a message a user can act on (status 1).
    Toolkit(int& argc, char** argv, const Platform& platform);
    QApplication& application() { return *m_application; }

private:
    std::unique_ptr<QApplication> m_application;
};

// The two programs of quavix-gui, after their command line was read.
int stripMain(const std::vector<std::string>& arguments, int& argc, char** argv);
// quavix --station [PROFILE]: the engine as a service, with no display at all.
int stationMain(const std::vector<std::string>& arguments, int& argc, char** argv);

} // namespace quavix
