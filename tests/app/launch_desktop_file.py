#!/usr/bin/python3
# KVR516_UPDATE, GPL-3.0-or-later.
#
# Starts a desktop launcher file as GLib-based desktops and file managers do
# (GDesktopAppInfo from the file's path: field codes such as %k expanded as
# they expand them), then waits for the started program and exits with its
# exit code (128 + the signal's number when a signal ended it).
#
# Usage: launch_desktop_file.py FILE.desktop
import os
import sys

import gi

gi.require_version("Gio", "2.0")
gi.require_version("GLib", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

info = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])
if info is None:
    sys.exit("not a launcher: " + sys.argv[1])

started = []
info.launch_uris_as_manager(
    [], None, GLib.SpawnFlags.SEARCH_PATH | GLib.SpawnFlags.DO_NOT_REAP_CHILD,
    None, None, lambda _info, pid, *_: started.append(pid), None)
if not started:
    sys.exit("the launcher started nothing")

_, status = os.waitpid(started[0], 0)
sys.exit(os.waitstatus_to_exitcode(status) if os.WIFEXITED(status) else 128 + os.WTERMSIG(status))
