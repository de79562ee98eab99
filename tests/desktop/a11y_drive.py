#!/usr/bin/python3
"""Drives the real program from outside through the accessibility bus, as a screen
reader would, under an X server (Xvfb) or a Wayland compositor (headless weston).

    dbus-run-session -- a11y_drive.py x11|wayland PROGRAM

Every control must announce its role and a name of its own; "Convert" is pressed
through the action interface, the output read through the text interface; the About
window's links are links with their target; "Exit" ends the program with status 0
and nothing on its standard error."""
import os, subprocess, sys, tempfile, time
import pyatspi

INPUT = "<p>Hi</p>"
OUTPUT = 'Response.Write ("<p>Hi</p>" & vbNewLine)'
# role, name: each must be present (hidden panels included) under the main window.
CONTROLS = [("text", "Input text (html)"), ("text", "Output text (asp)"),
            ("text", "QueryString variable name (found in the GET or POST data)"),
            ("text", "New variable name"), ("text", "If QueryString var is empty, insert this value"),
            ("text", "QueryString Request output text"),
            ("panel", "Convert to"), ("panel", "Options"), ("panel", "Language"), ("panel", "Length check"),
            ("panel", "Empty test"), ("panel", "Request collection"), ("panel", "Superglobal"),
            ("radio button", "PHP (ECHO)"), ("check box", "Single statement"), ("check box", "Dim new Var"),
            ("push button", "Convert"), ("push button", "Clear output box"), ("menu item", "Exit")]
LINKS = [("quillvane@example.org", "mailto:quillvane@example.org"),
         ("https://quillvane.example.org", "https://quillvane.example.org")]
NAMED_ROLES = {"text", "panel", "radio button", "check box", "push button", "menu item", "label", "link"}


def wait_for(what, probe, timeout=120):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            found = probe()
        except Exception:  # the tree changes under the walk while a window builds
            found = None
        if found:
            return found
        time.sleep(0.05)
    sys.exit(f"FAIL: timed out waiting for {what}")


def start_display(kind, scratch):
    if kind == "x11":
        read, write = os.pipe()
        server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp", "-screen", "0",
                                   "1280x1024x24"], pass_fds=[write], stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as pipe:
            return server, {"DISPLAY": ":" + pipe.readline().strip(), "QT_QPA_PLATFORM": "xcb"}
    socket = f"quillvane-{os.getpid()}"
    server = subprocess.Popen(["weston", "--backend=headless-backend.so", "--idle-time=0", "--socket=" + socket],
                              env=dict(os.environ, XDG_RUNTIME_DIR=scratch), stderr=subprocess.DEVNULL)
    wait_for("the compositor", lambda: os.path.exists(os.path.join(scratch, socket + ".lock")))
    return server, {"WAYLAND_DISPLAY": socket, "QT_QPA_PLATFORM": "wayland"}


def tree(node):
    yield node
    for child in node:
        if child is not None:
            yield from tree(child)


def find(root, role, name=None):
    return next((n for n in tree(root) if n.getRoleName() == role and name in (None, n.name)), None)


def press(node, action="Press"):
    actions = node.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    assert action in names, f"{node.name}: actions {names}"
    actions.doAction(names.index(action))


def check_controls(window):
    nodes = [n for n in tree(window) if n.getRoleName() in NAMED_ROLES]
    unnamed = [n.getRoleName() for n in nodes if not n.name]
    assert not unnamed, f"controls without a name: {unnamed}"
    for role in ("text", "panel"):
        names = [n.name for n in nodes if n.getRoleName() == role]
        assert len(names) == len(set(names)), f"{role} names repeat: {sorted(names)}"
    missing = [c for c in CONTROLS if not find(window, *c)]
    assert not missing, f"missing: {missing}"


def drive(app):
    window = wait_for("the main window", lambda: find(app, "frame"))
    check_controls(window)
    find(window, "text", "Input text (html)").queryEditableText().setTextContents(INPUT)
    press(find(window, "push button", "Convert"))
    output = find(window, "text", "Output text (asp)").queryText()
    wait_for("the output", lambda: OUTPUT in output.getText(0, -1), timeout=5)
    press(find(window, "menu item", "About"))
    about = wait_for("the About window", lambda: find(app, "dialog", "About Quillvane - by the Quillvane developers"))
    for name, target in LINKS:
        link = find(about, "link", name)
        assert link and link.description == target, f"link {name}: {link and link.description}"
    press(find(window, "menu item", "Exit"))


def main(kind, program):
    with tempfile.TemporaryDirectory() as scratch:
        os.chmod(scratch, 0o700)
        server, display = start_display(kind, scratch)
        # A sanitized build lists the suppressed library leaks on stderr unless told not to.
        lsan = os.environ.get("LSAN_OPTIONS", "") + ":print_suppressions=0"
        # The GL driver that Wayland's EGL loads is gone by the leak check: only the
        # slow unwinder reaches past its frames to the library that suppresses it.
        if kind == "wayland":
            lsan += ":fast_unwind_on_malloc=0"
        env = dict(os.environ, XDG_RUNTIME_DIR=scratch, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LSAN_OPTIONS=lsan,
                   **display)
        errors = open(os.path.join(scratch, "stderr"), "w+")
        # The bus and its registry come up on first use; a program that starts before
        # they answer may never register, so wake them first.
        wait_for("the accessibility registry", lambda: pyatspi.Registry.getDesktop(0) is not None)
        child = subprocess.Popen([program], env=env, stderr=errors)
        try:
            # A sanitized build on a busy machine can take a while to come up.
            app = wait_for("the program on the bus", lambda: child.poll() is not None or next(
                (a for a in pyatspi.Registry.getDesktop(0) if a and a.get_process_id() == child.pid), None), 90)
            if child.poll() is None:
                drive(app)
                status = child.wait(timeout=60)
            else:
                status = f"{child.returncode}, before it showed up"
        finally:
            child.kill() if child.poll() is None else None
            server.terminate()
            server.wait()
        errors.seek(0)
        stderr = errors.read()
    assert status == 0 and not stderr, f"exit status {status}, stderr:\n{stderr}"
    print(f"PASS ({kind})")


if __name__ == "__main__":
    main(*sys.argv[1:])
