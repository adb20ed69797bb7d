#!/usr/bin/env python3
"""Fails when a test of the suite has no time limit or one above the given
number of seconds: ctest --show-only=json-v1 lists every test with its
properties.

    check_test_timeouts.py CTEST BUILD_DIR LIMIT
"""
import json
import subprocess
import sys


def main():
    ctest, build_dir, limit = sys.argv[1], sys.argv[2], float(sys.argv[3])
    listing = subprocess.run([ctest, "--test-dir", build_dir, "--show-only=json-v1"], capture_output=True,
                             text=True, check=True).stdout
    tests = json.loads(listing)["tests"]
    bad = []
    for test in tests:
        timeout = None
        for prop in test.get("properties", []):
            if prop["name"] == "TIMEOUT":
                timeout = float(prop["value"])
        if timeout is None or timeout <= 0 or timeout > limit:
            bad.append("%s: %s" % (test["name"], "no limit" if timeout is None else "%g s" % timeout))
    for line in bad:
        print(line)
    print("%d tests, %d without a limit of at most %g s" % (len(tests), len(bad), limit))
    return 1 if bad or not tests else 0


if __name__ == "__main__":
    sys.exit(main())
