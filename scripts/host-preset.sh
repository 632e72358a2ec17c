#!/usr/bin/env bash
# The build the host simulator and the demo run on: the 32-bit product where this machine can execute
# 32-bit code, the 64-bit build of the same sources elsewhere (some virtual machines run 64-bit code only).
if "$(dirname "$0")/can-run-32bit.sh"; then echo win32; else echo win64; fi
