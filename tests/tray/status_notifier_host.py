"""A small stand-in for a desktop panel on a private session bus: the
org.kde.StatusNotifierWatcher that items register with, a notification
server that records tray messages, and a log of every item's NewIcon
signals. It runs on its own thread and connection, so it answers while the
test makes blocking calls."""
import threading
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

# Only what Qt uses: it reads IsStatusNotifierHostRegistered through
# introspection, registers its item, and sends tray messages as Notify.
WATCHER_XML = """<node><interface name="org.kde.StatusNotifierWatcher">
 <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
 <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
</interface></node>"""
NOTIFICATIONS_XML = """<node><interface name="org.freedesktop.Notifications">
 <method name="Notify"><arg type="s" direction="in"/><arg type="u" direction="in"/>
  <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="s" direction="in"/>
  <arg type="as" direction="in"/><arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
  <arg type="u" direction="out"/></method>
</interface></node>"""


class StatusNotifierHost:
    def __init__(self, watcher=True, notifications=True):
        """Without the watcher: a desktop with no tray."""
        self.watcher, self.notifications = watcher, notifications
        self.items = []        # (bus name, object path) of registered items
        self.messages = []     # (summary, body) of tray messages
        self.new_icons = []    # monotonic times of NewIcon signals
        self.lock = threading.Lock()
        self._ready = threading.Event()
        threading.Thread(target=self._run, daemon=True).start()
        if not self._ready.wait(10):
            raise RuntimeError("the stand-in panel did not get its bus names")

    def _run(self):
        context = GLib.MainContext()
        context.push_thread_default()
        address = Gio.dbus_address_get_for_bus_sync(Gio.BusType.SESSION, None)
        self.bus = Gio.DBusConnection.new_for_address_sync(
            address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
            Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
        services = [(NOTIFICATIONS_XML, "/org/freedesktop/Notifications", "org.freedesktop.Notifications")] * \
            self.notifications + [(WATCHER_XML, "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher")] * self.watcher
        for xml, path, _ in services:
            interface = Gio.DBusNodeInfo.new_for_xml(xml).interfaces[0]
            self.bus.register_object(path, interface, self._call, self._get, None)
        self.bus.signal_subscribe(None, "org.kde.StatusNotifierItem", "NewIcon", None, None,
                                  Gio.DBusSignalFlags.NONE, self._new_icon)
        for _, _, name in services:
            self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                               "RequestName", GLib.Variant("(su)", (name, 4)), None,
                               Gio.DBusCallFlags.NONE, -1, None)
        self._ready.set()
        GLib.MainLoop(context).run()

    def _new_icon(self, *_):
        with self.lock:
            self.new_icons.append(time.monotonic())

    def _call(self, bus, sender, path, interface, method, args, invocation):
        values = args.unpack()
        with self.lock:
            if method == "Notify":
                self.messages.append((values[3], values[4]))
            else:  # an item gives its bus name, or its object path on the sender's
                service = values[0]
                self.items.append((sender, service) if service.startswith("/") else (service, "/StatusNotifierItem"))
        invocation.return_value(GLib.Variant("(u)", (len(self.messages),)) if method == "Notify" else None)

    def _get(self, *_):
        return GLib.Variant("b", True)

    def new_icons_since(self, t):
        with self.lock:
            return [x for x in self.new_icons if x >= t]
