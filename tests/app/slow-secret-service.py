#!/usr/bin/python3
# A Secret Service that takes its time: it owns org.freedesktop.secrets on the session bus and
# answers the first request a client makes, OpenSession, with an error only after DELAY
# seconds. Prints "ready" once it owns the name.
#   slow-secret-service.py DELAY
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib


class SlowService(dbus.service.Object):
    def __init__(self, bus, delay):
        super().__init__(bus, "/org/freedesktop/secrets")
        self.delay = delay

    @dbus.service.method("org.freedesktop.Secret.Service", in_signature="sv",
                         out_signature="vo", async_callbacks=("reply", "error"))
    def OpenSession(self, algorithm, value, reply, error):
        def late():
            error(dbus.DBusException("too late", name="org.freedesktop.DBus.Error.Failed"))
            return False

        GLib.timeout_add(int(self.delay * 1000), late)


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
name = dbus.service.BusName("org.freedesktop.secrets", bus)
service = SlowService(bus, float(sys.argv[1]))
print("ready", flush=True)
GLib.MainLoop().run()
