// GNOME Shell 43 and 44 load extensions as scripts with the legacy imports.
const { Gio, GLib, Meta } = imports.gi;
