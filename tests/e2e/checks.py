"""Counted checks: every failure is collected and reported at the end."""
import os
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def wine_run(machine, *args, stdin=b""):
    """Runs a program on the sample machine; answers its exit code, output and error output."""
    done = subprocess.run([os.path.join(ROOT, "cmake", "wine-run.sh"), machine, *args], input=stdin,
                          capture_output=True, timeout=600)
    return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace")


class Checks:
    def __init__(self):
        self.failures = []
        self.count = 0

    def expect(self, condition, text):
        self.count += 1
        if not condition:
            self.failures.append(text)

    def report(self):
        for failure in self.failures:
            print("FAILED: " + failure)
        print("%d checks, %d failed" % (self.count, len(self.failures)))
        return 1 if self.failures else 0
