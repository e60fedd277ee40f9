#!/usr/bin/env python3
"""Writes a .reg file as the registry editor saves it: UTF-16 LE with a byte
order mark and CR LF line ends. An importer reads the hex(2) and hex(7) data of
an 8-bit file as ANSI bytes, so multi-string values need this form.

Usage: reg-to-utf16.py SOURCE TARGET
"""
import sys

text = open(sys.argv[1], encoding="utf-8").read().replace("\r\n", "\n").replace("\n", "\r\n")
with open(sys.argv[2], "wb") as target:
    target.write(b"\xff\xfe" + text.encode("utf-16-le"))
