#pragma once
// The unattended play engine: song after song from the song folders while the profile
// allows it, a fresh song list and log every calendar day.
#include <set>
#include <string>

namespace quavix {

class clsCreateFileList;

class clsMainPerformLoop {
public:
    // Runs the engine. Does not return while it runs: it returns only when a stop arrives
    // while it hands events through before a song (the engine then stays off for this run),
    // and ends the program when it finds itself stopped while the main window is closing.
    // A stop asked for by the profile, the user or a bad song name idles it, polling every
    // 100 ms until something clears gStopPlay.
    //
    // Songs that will not play are never retried at once for ever: each is said once on
    // standard error (until it plays again) and the engine waits 100 ms before the next;
    // when as many songs in a row have failed as the list holds, or the list has come out
    // empty, it says once that nothing can be played, waits RelistMs (events go on) and
    // lists the song folders again. A folder that gives no song is said once per problem.
    //
    // Nothing to play at the first list of the program's run is a setup fault: a station
    // (gStation) says why on standard error and ends with StationConfigError; the strip
    // says why in a box, and the end of the list follows.
    //
    // One object may run the engine again after it returned: what it said is not said
    // twice.
    void fPerformPlaySongs();

    // True while some fPerformPlaySongs runs: its activity log is the one every song that
    // is played goes in (the play-list player's too).
    static bool fRunning();

    static constexpr int FailedSongPauseMs = 100;
    static constexpr int RelistMs = 5000;

private:
    void fSongFailed();
    void fSongPlayed();
    // Says once (until something plays) that nothing can be played, waits RelistMs unless
    // stopped, and asks for a new list.
    void fBackOff(const std::string& line);
    void fSayFolderProblems(const clsCreateFileList& list);
    // The first list of the run is empty: see above.
    void fNothingToPlayAtStart(const clsCreateFileList& list);
    // Lets events run for ms milliseconds in 100 ms steps; false when a stop came meanwhile.
    bool fWaitUnlessStopped(int milliseconds);

    std::set<std::string> mUnplayableSaid;
    std::set<std::string> mFolderProblemsSaid;
    int mFailedInRow = 0;
    bool mNothingSaid = false;
    bool mListed = false;
    bool mRelist = false;
};

} // namespace quavix
