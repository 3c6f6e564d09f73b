#!/usr/bin/env python3
"""Runs a command as a user's shell runs it in a terminal: in a pseudo-terminal
of its own, as the foreground job of the terminal's session. SIGUSR1 to this
process types Ctrl+C into the terminal, so that the kernel signals the
foreground process group; SIGUSR2 closes the terminal, whose shell passes the
SIGHUP on to the job, as bash does. The terminal's output goes to LOG. Ends
with the command's exit status, 128 + the number of a signal that ended it.
Usage: in-terminal.py LOG COMMAND [ARGUMENTS...]"""
import os
import pty
import select
import signal
import sys


def exit_code(status):
    return os.WEXITSTATUS(status) if os.WIFEXITED(status) else 128 + os.WTERMSIG(status)


def shell(command):
    signal.signal(signal.SIGTTOU, signal.SIG_IGN)
    job = os.fork()
    if job == 0:
        os.setpgid(0, 0)
        os.execvp(command[0], command)
    os.setpgid(job, job)
    os.tcsetpgrp(0, job)
    signal.signal(signal.SIGHUP, lambda *_: os.killpg(job, signal.SIGHUP))
    os._exit(exit_code(os.waitpid(job, 0)[1]))


pid, terminal = pty.fork()
if pid == 0:
    shell(sys.argv[2:])
requests = []
signal.signal(signal.SIGUSR1, lambda *_: requests.append(b"\x03"))
signal.signal(signal.SIGUSR2, lambda *_: requests.append(None))


def serve(log):
    while True:
        while requests:
            request = requests.pop(0)
            if request is None:
                os.close(terminal)
                return
            os.write(terminal, request)
        if select.select([terminal], [], [], 0.1)[0]:
            try:
                data = os.read(terminal, 4096)
            except OSError:
                return
            if not data:
                return
            log.write(data)


with open(sys.argv[1], "ab", buffering=0) as log:
    serve(log)
sys.exit(exit_code(os.waitpid(pid, 0)[1]))
