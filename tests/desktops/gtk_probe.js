// A GTK 3 window titled "Probe <file name>", the application the desktops tests open files with.
imports.gi.versions.Gtk = '3.0';
const Gtk = imports.gi.Gtk;
Gtk.init(null);
const w = new Gtk.Window({title: 'Probe ' + (ARGV[0] || '').split('/').pop()});
w.set_default_size(300, 200);
w.connect('destroy', () => Gtk.main_quit());
w.show_all();
Gtk.main();
