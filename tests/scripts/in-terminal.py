#!/usr/bin/env python3
"""Runs a command as a user's shell runs it in a terminal: in a pseudo-terminal
of its own, as the foreground job of the terminal's session. SIGUSR1 to this
process types Ctrl+C into the terminal (the kernel then signals the foreground
process group); SIGUSR2 closes the terminal, whose shell then passes SIGHUP on
to the job, as bash does. What the command writes goes to LOG. Ends with the
command's exit status, 128 + the signal's number when a signal ended it.
Usage: in-terminal.py LOG COMMAND [ARGUMENTS...]"""
import os
import pty
import select
import signal
import sys


def shell(command):
    """The terminal's session leader: starts the job and waits for it."""
    signal.signal(signal.SIGTTOU, signal.SIG_IGN)
    job = os.fork()
    if job == 0:
        os.setpgid(0, 0)
        os.execvp(command[0], command)
    os.setpgid(job, job)
    os.tcsetpgrp(0, job)
    signal.signal(signal.SIGHUP, lambda *_: os.killpg(job, signal.SIGHUP))
    _, status = os.waitpid(job, 0)
    os._exit(os.waitstatus_to_exitcode(status) if os.WIFEXITED(status) else 128 + os.WTERMSIG(status))


def main():
    log_path, command = sys.argv[1], sys.argv[2:]
    pid, terminal = pty.fork()
    if pid == 0:
        shell(command)
    requests = []
    signal.signal(signal.SIGUSR1, lambda *_: requests.append("interrupt"))
    signal.signal(signal.SIGUSR2, lambda *_: requests.append("close"))
    with open(log_path, "ab", buffering=0) as log:
        while terminal is not None:
            while requests:
                if requests.pop(0) == "interrupt":
                    os.write(terminal, b"\x03")
                else:
                    os.close(terminal)
                    terminal = None
                    break
            if terminal is None:
                break
            readable, _, _ = select.select([terminal], [], [], 0.1)
            if readable:
                try:
                    data = os.read(terminal, 4096)
                except OSError:
                    data = b""
                if not data:
                    break
                log.write(data)
    _, status = os.waitpid(pid, 0)
    sys.exit(os.waitstatus_to_exitcode(status) if os.WIFEXITED(status) else 128 + os.WTERMSIG(status))


main()
