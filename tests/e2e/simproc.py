"""vantrix-sim as a process for the end-to-end tests."""
import json
import os
import subprocess


class Sim:
    """Starts vantrix-sim with the given options; the state file is written when it stops."""

    def __init__(self, exe, state_dir, *options, state=None):
        self.state_path = os.path.join(state_dir, "sim-state.json")
        if state is not None:
            with open(self.state_path, "w", encoding="utf-8") as f:
                json.dump(state, f)
        elif os.path.exists(self.state_path):
            os.remove(self.state_path)
        self.proc = subprocess.Popen([exe, "--state", self.state_path, *options],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.port = self.proc.stdout.readline().decode().strip()
        if not self.port.startswith("/"):
            raise RuntimeError("vantrix-sim did not start")

    def stop(self):
        """Ends the simulator and returns its saved state."""
        self.proc.stdin.close()
        self.proc.wait(timeout=10)
        with open(self.state_path, encoding="utf-8") as f:
            return json.load(f)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def check(cond, what):
    if not cond:
        raise AssertionError(what)
