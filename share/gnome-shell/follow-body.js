// Quavix's GNOME Shell extension, the part both builds share (legacy imports for GNOME
// 43/44, ES modules for 45 on): while Quavix runs (it owns org.quavix.Follower on the
// session bus), it tells Quavix the frame of the focused window on every focus change, move
// and resize, and puts Quavix's strip where Quavix answers, above the other windows. It keeps
// a question out to Quavix (NextSpot), answered when the strip is to go somewhere new without
// a change here (it grew, or Quavix turned following on). It also answers what it sees
// (org.quavix.FollowShell on /org/quavix/FollowShell).
const ShellInterface =
    '<node><interface name="org.quavix.FollowShell">' +
    '<method name="GetFocused"><arg type="s" direction="out"/><arg type="i" direction="out"/>' +
    '<arg type="i" direction="out"/><arg type="i" direction="out"/><arg type="i" direction="out"/>' +
    '</method><method name="GetStrip"><arg type="i" direction="out"/><arg type="i" direction="out"/>' +
    '<arg type="i" direction="out"/><arg type="i" direction="out"/><arg type="b" direction="out"/>' +
    '</method></interface></node>';

class QuavixFollow {
    enable() {
        this._quavixPid = 0;
        this._tracked = null;
        this._trackedIds = [];
        this._asking = false;
        this._cancellable = new Gio.Cancellable();
        this._exported = Gio.DBusExportedObject.wrapJSObject(ShellInterface, this);
        this._exported.export(Gio.DBus.session, '/org/quavix/FollowShell');
        this._focusId = global.display.connect('notify::focus-window', () => this._onFocus());
        this._watchId = Gio.bus_watch_name(Gio.BusType.SESSION, 'org.quavix.Follower',
            Gio.BusNameWatcherFlags.NONE, (connection, name, owner) => this._appeared(owner),
            () => { this._quavixPid = 0; });
        this._onFocus();
    }

    disable() {
        this._cancellable.cancel();
        Gio.bus_unwatch_name(this._watchId);
        global.display.disconnect(this._focusId);
        this._untrack();
        this._exported.unexport();
        this._exported = null;
    }

    GetFocused() {
        const w = global.display.focus_window;
        if (!w)
            return ['', 0, 0, 0, 0];
        const r = w.get_frame_rect();
        return [w.get_title() || '', r.x, r.y, r.width, r.height];
    }

    GetStrip() {
        const s = this._strip();
        if (!s)
            return [0, 0, 0, 0, false];
        const r = s.get_frame_rect();
        return [r.x, r.y, r.width, r.height, s.is_above()];
    }

    // Quavix's windows are those of the process that owns its bus name.
    _appeared(owner) {
        Gio.DBus.session.call('org.freedesktop.DBus', '/org/freedesktop/DBus',
            'org.freedesktop.DBus', 'GetConnectionUnixProcessID', new GLib.Variant('(s)', [owner]),
            null, Gio.DBusCallFlags.NONE, 1000, null, (connection, result) => {
                try {
                    this._quavixPid = connection.call_finish(result).deepUnpack()[0];
                } catch (e) {
                    return;
                }
                this._report();
            });
    }

    // Quavix answers within 15 s, with nothing when nothing changed; a failed question (Quavix
    // went away, or this was disabled) is asked again at the next report. Only the answer to
    // the last question asks again: an older one was ended by a newer one.
    _ask() {
        if (this._asking || this._quavixPid === 0)
            return;
        this._asking = true;
        const mine = this._asked = (this._asked || 0) + 1;
        Gio.DBus.session.call('org.quavix.Follower', '/org/quavix/Follower', 'org.quavix.Follower',
            'NextSpot', new GLib.Variant('(s)', [String(this._quavixPid)]),
            new GLib.VariantType('(biiiib)'), Gio.DBusCallFlags.NO_AUTO_START, -1, this._cancellable,
            (connection, result) => {
                if (mine !== this._asked)
                    return;
                this._asking = false;
                let place, x, y, above;
                try {
                    [place, x, y, , , above] = connection.call_finish(result).deepUnpack();
                } catch (e) {
                    return;
                }
                this._place(place, x, y, above);
                this._ask();
            });
    }

    // The strip's size is its own here: mutter keeps its top left when it grows. Kept above
    // once Quavix says so (it rides a window then), never undone here: an always-on-top
    // window keeps new windows it covers from the focus.
    _place(place, x, y, above) {
        const s = this._strip();
        if (!place || !s)
            return;
        s.move_frame(true, x, y);
        if (above && !s.is_above())
            s.make_above();
        if (!s.is_on_all_workspaces())
            s.stick();
    }

    _isQuavix(w) {
        return !!w && this._quavixPid !== 0 && w.get_pid() === this._quavixPid;
    }

    _strip() {
        return global.get_window_actors().map(a => a.meta_window).find(w =>
            this._isQuavix(w) && w.get_title() === 'Quavix' &&
            w.get_window_type() !== Meta.WindowType.DIALOG &&
            w.get_window_type() !== Meta.WindowType.MODAL_DIALOG);
    }

    _untrack() {
        for (const id of this._trackedIds)
            this._tracked.disconnect(id);
        this._tracked = null;
        this._trackedIds = [];
    }

    _onFocus() {
        const w = global.display.focus_window;
        if (!w || this._isQuavix(w))
            return; // the strip and Quavix's dialogs are never the window to ride on
        this._untrack();
        this._tracked = w;
        this._trackedIds = [w.connect('position-changed', () => this._report()),
            w.connect('size-changed', () => this._report()),
            w.connect('unmanaged', () => this._untrack())];
        this._report();
    }

    _report() {
        this._ask();
        const w = this._tracked;
        if (!w || this._quavixPid === 0)
            return;
        const r = w.get_frame_rect();
        Gio.DBus.session.call('org.quavix.Follower', '/org/quavix/Follower', 'org.quavix.Follower',
            'Report', new GLib.Variant('(ss)', [w.get_title() || '',
                [w.get_pid(), r.x, r.y, r.width, r.height].join(' ')]),
            new GLib.VariantType('(biiiib)'), Gio.DBusCallFlags.NO_AUTO_START, 1000, null,
            (connection, result) => {
                let place, x, y, above;
                try {
                    [place, x, y, , , above] = connection.call_finish(result).deepUnpack();
                } catch (e) {
                    return; // Quavix went away meanwhile
                }
                this._place(place, x, y, above);
            });
    }
}
