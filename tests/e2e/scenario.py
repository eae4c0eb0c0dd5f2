"""Runs one end-to-end scenario inside the X and D-Bus session that e2e_run.py
made: sets up the namespaces, the accessibility bus and a workspace, hands the
scenario a context, and on any failure leaves a screenshot, the status line's
text and the program's output in the scenario's output folder. Everything it
started is ended and every namespace removed, whatever happens."""

import argparse
import importlib
import os
import signal
import sys
import traceback

import atspi_driver as ui
from netns import Topology
from session import (AccessibilityBus, Program, Workspace, save_failure_artifacts, settings_file, settings_for,
                     write_settings)
from waits import wait_until

STATUS_GROUP = "Errors and warnings"
COUNTER_GROUP = "Relations"


class ScenarioDeadline(Exception):
    pass


class Context:
    def __init__(self, name, options):
        self.name = name
        self.options = options
        self.out = options.out
        self.workspace = Workspace(name)
        self.topology = None
        self.bus = None
        self.program = None
        self.app = None
        self.starts = 0

    # --- Set-up ---

    def open(self, tag):
        self.bus = AccessibilityBus(self.workspace.root)
        self.topology = Topology(tag)
        return self.topology

    def open_returning_user(self, tag, **pair):
        """One veth pair with its link up, and the settings of a user who ran
        the program on it before; returns the topology and the program side's
        interface. `pair` goes to Topology.add_pair."""
        topology = self.open(tag)
        interface = topology.add_pair(**pair)
        topology.wait_link_up()
        write_settings(self.workspace.config_home, settings_for(interface, "192.168.79.1"))
        return topology, interface

    def start_program(self, arguments=()):
        self.starts += 1
        log = self.workspace.path("program.log")
        self.program = Program(self.topology, self.options.corvessa, self.workspace.config_home, log,
                               arguments)
        self.app = ui.application(self.program.pid)
        return self.program

    def expect_exit(self, deadline_s=15):
        """Until the program has ended; returns its exit code. A program that
        stays names the windows it still shows (a question nobody expected)."""
        try:
            return self.program.wait_exit(deadline_s)
        except AssertionError:
            raise AssertionError("the program did not end; it shows {!r}".format(
                ui.shown_message_texts(self.app)))

    def settings_path(self):
        return settings_file(self.workspace.config_home)

    # --- The main window ---

    def main_window(self, deadline_s=ui.WAIT_S):
        """The shown main window; its caption is "Corvessa", or "Corvessa - "
        and the file's path."""
        def lookup():
            for w in ui.top_windows(self.app):
                title = ui.name(w)
                if ui.is_showing(w) and (title == "Corvessa" or title.startswith("Corvessa - ")):
                    return w
            return None
        return wait_until(lookup, deadline_s, "the main window")

    def _group_label(self, group):
        main = self.main_window()
        panel = ui.wait_find(main, "panel", group)
        return ui.wait_find(panel, "label", what="the label in the group {!r}".format(group))

    def status_text(self):
        return ui.name(self._group_label(STATUS_GROUP))

    def counter_text(self):
        return ui.name(self._group_label(COUNTER_GROUP))

    def wait_status(self, expected, deadline_s=ui.WAIT_S):
        label = self._group_label(STATUS_GROUP)
        try:
            wait_until(lambda: ui.name(label) == expected, deadline_s, "the status line")
        except AssertionError:
            raise AssertionError("status line reads {!r}, expected {!r}".format(ui.name(label), expected))

    def history(self):
        return ui.list_view(self.main_window(), "Discovery History")

    def relations(self):
        return ui.list_view(self.main_window(), "Entered Relations")

    # --- Clean-up ---

    def status_for_report(self):
        try:
            if self.app is not None and self.program is not None and self.program.exit_code() is None:
                return self.status_text()
        except Exception:  # noqa: BLE001 - a report of what could be read
            pass
        return None

    def close(self, failed):
        if failed:
            status = self.status_for_report()
            boxes, tree = [], ""
            try:
                if self.app is not None:
                    boxes = ui.shown_message_texts(self.app)
                    tree = ui.dump_tree(self.app)
            except Exception:  # noqa: BLE001
                pass
            extra = [self.workspace.path("program.log"), self.settings_path()]
            save_failure_artifacts(self.out, status, extra)
            with open(os.path.join(self.out, "message-boxes.txt"), "w", encoding="utf-8") as out:
                out.write("\n---\n".join(boxes) + "\n")
            with open(os.path.join(self.out, "accessibility-tree.txt"), "w", encoding="utf-8") as out:
                out.write(tree)
        if self.program is not None:
            self.program.stop()
        if self.topology is not None:
            self.topology.close()
        if self.bus is not None:
            self.bus.close()
        self.workspace.close()


def _on_deadline(signum, frame):
    raise ScenarioDeadline("the scenario ran past its own deadline")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario")
    parser.add_argument("--corvessa", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--deadline", type=int, default=100)
    options = parser.parse_args()

    module = importlib.import_module("scenario_" + options.scenario)
    # Ends a hung scenario from inside, so that its clean-up still runs
    # before ctest's own time-out would kill the process tree.
    signal.signal(signal.SIGALRM, _on_deadline)
    signal.signal(signal.SIGTERM, _on_deadline)
    signal.alarm(options.deadline)

    context = Context(options.scenario, options)
    failed = True
    try:
        module.run(context)
        failed = False
    except BaseException:  # noqa: BLE001 - reported and cleaned up below
        traceback.print_exc()
    finally:
        signal.alarm(0)
        try:
            context.close(failed)
        except Exception:  # noqa: BLE001
            traceback.print_exc()
    if failed:
        print("scenario {} FAILED; screenshot and status line in {}".format(options.scenario, options.out))
        return 1
    print("scenario {} passed".format(options.scenario))
    return 0


if __name__ == "__main__":
    sys.exit(main())
