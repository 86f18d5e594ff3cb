#!/usr/bin/env python3
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""Checks messages a debug adapter sent against the protocol's JSON schema.

usage: validate_messages.py SCHEMA MESSAGES
MESSAGES holds one JSON message a line. Each response is checked against
<Command>Response (ErrorResponse when it failed), each event against
<Event>Event; a message with no such definition is an error too. Prints one
line per fault and exits 1 if there was any."""
import json
import sys

import jsonschema


def definition(message):
    kind = message.get("type")
    if kind == "response":
        if message.get("success") is False:
            return "ErrorResponse"
        name = message.get("command", "")
        return name[:1].upper() + name[1:] + "Response"
    if kind == "event":
        name = message.get("event", "")
        return name[:1].upper() + name[1:] + "Event"
    return "ProtocolMessage"


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    faults = 0
    with open(sys.argv[2], encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            message = json.loads(line)
            name = definition(message)
            if name not in schema["definitions"]:
                print(f"message {number}: no definition {name}: {line.strip()}")
                faults += 1
                continue
            checked = dict(schema, **{"$ref": "#/definitions/" + name})
            for error in jsonschema.Draft4Validator(checked).iter_errors(message):
                print(f"message {number} ({name}): {error.message}: {line.strip()[:300]}")
                faults += 1
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
