#!/usr/bin/env bash
# Succeeds when this machine can start a 32-bit Wine process (some virtual machines run 64-bit code only).
/usr/lib/wine/wine --version >/dev/null 2>&1
