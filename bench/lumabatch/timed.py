"""Runs a command and writes its wall time, its CPU time (user and system, of it and of every
process it waited for) in seconds, and its largest process's peak memory in kilobytes:

    timed.py REPORT CGROUP COMMAND...

CGROUP, when not empty, is a cgroup folder the command is moved into before it starts."""
import os
import resource
import subprocess
import sys
import time

report, cgroup, command = sys.argv[1], sys.argv[2], sys.argv[3:]


def join_cgroup():
    if cgroup:
        with open(os.path.join(cgroup, "cgroup.procs"), "w") as procs:
            procs.write(str(os.getpid()))


# What this interpreter's launcher waited for before (a version manager's shim) is no part of
# the command's time.
before = resource.getrusage(resource.RUSAGE_CHILDREN)
start = time.monotonic()
status = subprocess.call(command, stdin=subprocess.DEVNULL, preexec_fn=join_cgroup)
wall = time.monotonic() - start
after = resource.getrusage(resource.RUSAGE_CHILDREN)
with open(report, "w") as out:
    out.write(f"{wall:.4f} {after.ru_utime - before.ru_utime:.4f} "
              f"{after.ru_stime - before.ru_stime:.4f} {after.ru_maxrss}\n")
sys.exit(status)
