#!/usr/bin/python3
# KVR516_UPDATE, GPL-3.0-or-later.
"""Checks a run's report against docs/report.schema.json and prints it for a
shell test: "exit_code N", then a line per mixer:
"ADDRESS OUTCOME CODE BYTES_SENT TRY" (CODE "-" for null).
Usage: report_check.py SCHEMA REPORT; exits 1 with the reason when it does not hold."""
import json
import sys

import jsonschema

try:
    with open(sys.argv[2], encoding="utf-8") as f:
        report = json.load(f)
    with open(sys.argv[1], encoding="utf-8") as f:
        jsonschema.validate(report, json.load(f))
except (OSError, ValueError, jsonschema.ValidationError) as e:
    sys.exit(f"the report does not hold: {e}")
print("exit_code", report["exit_code"])
for m in report["mixers"]:
    print(m["address"], m["outcome"].replace(" ", "_"), m["code"] or "-", m["bytes_sent"], m["try"])
