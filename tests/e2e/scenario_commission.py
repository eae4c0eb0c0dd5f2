"""Commissioning a listed device over EtherNet/IP: Disable BOOTP/DHCP makes
the device keep its stored configuration (Configuration Control 0), Enable
BOOTP/DHCP makes it ask by DHCP (2), a device that refuses connections
brings the "Communication Error" box with the reason in it, and a device
that never answers shows the progress window, whose Cancel ends the
command at once.

The device is the simulator in the client namespace behind a relay on the
address the device obtained from the program, port 44818."""

import atspi_driver as ui
from clients import helper_argv, read_report, spawn_ready, stop_and_wait, udhcpc, write_udhcpc_script
from waits import wait_until

DEVICE_MAC = "02:00:00:e2:e0:03"
DEVICE_MAC_TEXT = "02:00:00:E2:E0:03"
DEVICE_IP = "192.168.79.70"
ENIP_PORT = 44818
COMMUNICATION_ERROR = ("Failed to complete the requested operation.\n\n"
                       "See status bar for further information then press OK when ready to continue.")


def start_device(ctx, initial_control, record_name, *extra):
    """The simulator on the namespace's loopback, as a device whose
    Configuration Control starts at `initial_control`."""
    record = ctx.workspace.path(record_name)
    process, _ = spawn_ready(ctx.topology, [ctx.options.sim, "--port", ENIP_PORT, "--seconds", 60,
                                            "--config-control", initial_control, "--record", record] + list(extra),
                             "port")
    return process, record


def start_relay(topology):
    relay, _ = spawn_ready(topology, helper_argv("tcp_forward.py", "--listen", "{}:{}".format(DEVICE_IP, ENIP_PORT),
                                                 "--to", "127.0.0.1:{}".format(ENIP_PORT), "--seconds", 60),
                           "ready")
    return relay


def written_configuration_control(process, record):
    assert stop_and_wait(process) == 0, "the simulator failed"
    for line in (read_report(record) or "").splitlines():
        if line.startswith("configuration-control "):
            return int(line.split()[1])
    return None


def select_relation(ctx):
    relations = ctx.relations()
    ui.click(ui.table_cell(relations, ui.wait_row(relations, DEVICE_MAC_TEXT), 0))
    return relations


def run(ctx):
    topology, _ = ctx.open_returning_user("cm", client_mac=DEVICE_MAC)
    csv_path = ctx.workspace.path("device.csv")
    with open(csv_path, "w") as out:
        out.write("MAC,IP,Hostname,Description\n{},{},enip-dev,Drive 7\n".format(DEVICE_MAC_TEXT, DEVICE_IP))
    ctx.start_program([csv_path])
    ctx.wait_status("Load file complete")

    # The device takes its address by DHCP, so the relation's type is DHCP.
    script, report = write_udhcpc_script(ctx.workspace, "udhcpc", configure=True)
    lease = udhcpc(topology, script, tries=3)
    assert lease.returncode == 0 and read_report(report) == DEVICE_IP, "no lease: {}".format(lease.stderr[-300:])
    ctx.wait_status("Sent {} to Ethernet address {}".format(DEVICE_IP, DEVICE_MAC_TEXT))

    relay = start_relay(topology)

    device, record = start_device(ctx, 2, "disable.record")
    select_relation(ctx)
    ui.press(ctx.main_window(), "Disable BOOTP/DHCP")
    ctx.wait_status("[Disable DHCP] Command successful", deadline_s=30)
    control = written_configuration_control(device, record)
    assert control == 0, "Disable wrote Configuration Control {!r}".format(control)

    device, record = start_device(ctx, 0, "enable.record")
    select_relation(ctx)
    ui.press(ctx.main_window(), "Enable BOOTP/DHCP")
    ctx.wait_status("[Enable DHCP] Command successful", deadline_s=30)
    control = written_configuration_control(device, record)
    assert control == 2, "Enable wrote Configuration Control {!r}".format(control)

    # Nothing listens on the device's port any more: connections are refused.
    stop_and_wait(relay)
    select_relation(ctx)
    ui.press(ctx.main_window(), "Disable BOOTP/DHCP")
    box = ui.message_box(ctx.app, COMMUNICATION_ERROR, deadline_s=30)
    assert ui.name(box) == "Communication Error", "caption {!r}".format(ui.name(box))
    reason = "Socket connect failed for {}. (Connection refused)".format(DEVICE_MAC_TEXT)
    labels = [ui.name(c) for c in ui.children(box) if ui.role(c) == "label"]
    assert reason in labels, "the box does not carry the reason: {!r}".format(labels)
    ui.press(box, "OK")
    wait_until(lambda: not ui.is_showing(box), ui.WAIT_S, "the box to close")
    status = ctx.status_text()
    assert "Command successful" not in status, "status line {!r} after a refused connection".format(status)

    # A device that accepts the connection and never answers: the progress
    # window names it and its step, every control by its own name, and
    # Cancel ends the command at once, long before its 8 s reply deadline.
    relay = start_relay(topology)
    device, _ = start_device(ctx, 0, "silent.record", "--mode", "silent")
    select_relation(ctx)
    ui.press(ctx.main_window(), "Enable BOOTP/DHCP")
    progress = ui.window(ctx.app, "Enable BOOTP/DHCP", deadline_s=10)
    devices = ui.list_view(progress, "Devices")
    row = ui.wait_row(devices, DEVICE_MAC_TEXT)
    ui.wait_cell(devices, row, ui.column_index(devices, "Step"), "Instance discovery")
    ui.wait_cell(devices, row, ui.column_index(devices, "Status"),
                 "Waiting for response to [Register Session] from [{}]...".format(DEVICE_MAC_TEXT))
    controls = ui.snapshot(progress)
    for wanted in (("push button", "Cancel"), ("progress bar", "Progress")):
        assert wanted in controls, "no {} named {!r} in the progress window: {!r}".format(
            wanted[0], wanted[1], controls)
    ui.press(progress, "Cancel")
    ctx.wait_status("Command cancelled for {}.".format(DEVICE_MAC_TEXT), deadline_s=3)
    ui.wait_until_gone(ctx.app, "Enable BOOTP/DHCP")
    stop_and_wait(device)
    stop_and_wait(relay)
