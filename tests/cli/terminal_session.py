"""A command run on a pseudo-terminal, as a person at a terminal runs it."""
import os
import pty
import signal
import time


def on_terminal(argv, cwd=None, reply_when=None, reply=b"", give_up_after=60):
    """Runs argv on a pseudo-terminal and, once what it said holds
    `reply_when`, types `reply` once (b"\\x03" is Ctrl+C, which the terminal
    turns into SIGINT, as for a person). A Ctrl+C still untyped after
    `give_up_after` seconds is sent as SIGINT. Returns the exit status,
    everything said (bytes) and whether the reply was typed."""
    pid, fd = pty.fork()
    if pid == 0:
        if cwd:
            os.chdir(cwd)
        os.execv(argv[0], argv)
    said = b""
    typed = False
    started = time.monotonic()
    while True:
        try:
            chunk = os.read(fd, 4096)
        except OSError:
            break
        if not chunk:
            break
        said += chunk
        if not typed and reply_when is not None and reply_when in said:
            os.write(fd, reply)
            typed = True
        if not typed and reply == b"\x03" and time.monotonic() - started > give_up_after:
            os.kill(pid, signal.SIGINT)
            typed = True
    _, status = os.waitpid(pid, 0)
    return os.waitstatus_to_exitcode(status), said, typed
