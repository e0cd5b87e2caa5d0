#!/usr/bin/python3
# KVR516_UPDATE, GPL-3.0-or-later.
"""report_check.py SCHEMA REPORT: checks the report against the schema (exit 1 with the
reason), then prints "exit_code N", "outcome OUTCOME" and per mixer
"ADDRESS OUTCOME CODE BYTES_SENT TRY" (spaces in an outcome as "_")."""
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
print("outcome", report["outcome"].replace(" ", "_"))
for m in report["mixers"]:
    print(m["address"], m["outcome"].replace(" ", "_"), m["code"] or "-", m["bytes_sent"], m["try"])
