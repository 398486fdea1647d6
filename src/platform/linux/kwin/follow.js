// Quavix's KWin script: tells Quavix the frame of the active window whenever it changes or
// moves, and puts Quavix's strip where Quavix answers, above the other windows.
// Loaded and unloaded by Quavix over D-Bus; @PID@ (Quavix's process) is filled in then.
// Works with the Plasma 5 names (client...) and the Plasma 6 ones (window...).
var service = "org.quavix.Follower", path = "/org/quavix/Follower", iface = "org.quavix.Follower";
var ownPid = @PID@;
var tracked = null;

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
function report() {
    var w = tracked;
    if (!w)
        return;
    var g = w.frameGeometry;
    callDBus(service, path, iface, "Frame", String(w.caption),
             [w.pid, g.x, g.y, g.width, g.height].join(" "), function (place, x, y) {
                 var s = strip();
                 if (!place || !s)
                     return;
                 var sg = s.frameGeometry;
                 if (sg.x != x || sg.y != y)
                     s.frameGeometry = {x: x, y: y, width: sg.width, height: sg.height};
                 s.keepAbove = true;
                 s.skipTaskbar = true;
                 s.skipSwitcher = true;
                 s.skipPager = true;
                 s.onAllDesktops = true;
             });
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
