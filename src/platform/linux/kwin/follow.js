// Quavix's KWin script: tells Quavix the frame of the active window whenever it changes or
// moves, and puts Quavix's strip where Quavix answers, above the other windows. It also keeps
// a question out to Quavix (NextSpot), answered when the strip is to go somewhere new without
// a change here (it grew, or Quavix turned following on).
// Loaded and unloaded by Quavix over D-Bus; @PID@ (Quavix's process) is filled in then.
// Works with the Plasma 5 names (client...) and the Plasma 6 ones (window...).
var service = "org.quavix.Follower", path = "/org/quavix/Follower", iface = "org.quavix.Follower";
var ownPid = @PID@;
var tracked = null;
var asked = 0, askedAt = 0; // the number of the last question, and when it went out (or 0)

function windows() {
    return workspace.windowList ? workspace.windowList() : workspace.clientList();
}
function activeWindow() {
    return workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient;
}
function isStrip(w) {
    return w && w.pid == ownPid && String(w.caption) == "Quavix" && !w.dialog && !w.modal;
}
function strip() {
    var list = windows();
    for (var i = 0; i < list.length; ++i)
        if (isStrip(list[i]))
            return list[i];
    return null;
}
// The size is Quavix's: a strip that just grew may not have shown KWin its new size yet.
// Kept above once Quavix says so (it rides a window then), never undone here.
function place(ok, x, y, width, height, above) {
    var s = strip();
    if (!ok || !s)
        return;
    var g = s.frameGeometry;
    if (g.x != x || g.y != y || g.width != width || g.height != height)
        s.frameGeometry = {x: x, y: y, width: width, height: height};
    if (above)
        s.keepAbove = true;
    s.skipTaskbar = true;
    s.skipSwitcher = true;
    s.skipPager = true;
    s.onAllDesktops = true;
}
// Quavix answers within 15 s, with nothing when nothing changed. KWin drops a failed call
// without calling back, so a question out for longer than that is taken as lost; asked
// again, Quavix ends the lost one with nothing, which is then no reason to ask once more.
function ask() {
    if (askedAt && Date.now() - askedAt < 30000)
        return;
    var mine = ++asked;
    askedAt = Date.now();
    callDBus(service, path, iface, "NextSpot", String(ownPid), function (ok, x, y, w, h, above) {
        if (mine != asked)
            return;
        askedAt = 0;
        place(ok, x, y, w, h, above);
        ask();
    });
}
function report() {
    ask();
    var w = tracked;
    if (!w)
        return;
    var g = w.frameGeometry;
    callDBus(service, path, iface, "Report", String(w.caption),
             [w.pid, g.x, g.y, g.width, g.height].join(" "), place);
}
function activated(w) {
    if (!w || w.pid == ownPid)
        return; // the strip and Quavix's dialogs are never the window to ride on
    if (tracked)
        tracked.frameGeometryChanged.disconnect(report);
    tracked = w;
    w.frameGeometryChanged.connect(report);
    report();
}
(workspace.windowActivated || workspace.clientActivated).connect(activated);
(workspace.windowAdded || workspace.clientAdded).connect(function (w) {
    if (isStrip(w))
        report();
});
activated(activeWindow());
ask();
