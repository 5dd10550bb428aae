"""What the program tests share: a check that prints and keeps its failure.
A script ends with `sys.exit(1 if failures else 0)`."""

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)
