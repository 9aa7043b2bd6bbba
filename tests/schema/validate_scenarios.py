#!/usr/bin/python3
"""Checks examples/scenario.schema.json: every scenario named on the command line must validate, and
files the player refuses for their shape must fail validation too, so that the schema an editor
checks with does not drift from the player.

    validate_scenarios.py SCHEMA FILE...        (Debian: python3-jsonschema)
"""
import json
import sys

import jsonschema

# Shapes the player refuses, each with the reason; the schema must refuse them as well.
CONTROLS = [{"name": "Tolvane1", "kind": "Tolvane"}]
REFUSED = [
    ("no form", {"steps": []}),
    ("no steps", {"form": {"controls": CONTROLS}}),
    ("an unknown top-level field", {"form": {"controls": CONTROLS}, "steps": [], "color": 1}),
    ("a control without a name", {"form": {"controls": [{"kind": "Tolvane"}]}, "steps": []}),
    ("a name with a space", {"form": {"controls": [{"name": "Text 1"}]}, "steps": []}),
    ("an unknown member", {"form": {"controls": [{"name": "a", "members": ["Colour"]}]}, "steps": []}),
    ("a window state of 3", {"form": {"windowState": 3, "controls": CONTROLS}, "steps": []}),
    ("a step of two kinds", {"form": {"controls": CONTROLS}, "steps": [{"load": {}, "minimize": {}}]}),
    ("an unknown step", {"form": {"controls": CONTROLS}, "steps": [{"jump": {}}]}),
    ("a resize without a height", {"form": {"controls": CONTROLS}, "steps": [{"resize": {"width": 1}}]}),
    ("a width as text", {"form": {"controls": CONTROLS}, "steps": [{"resize": {"width": "wide", "height": 1}}]}),
    ("maximize with a width only", {"form": {"controls": CONTROLS}, "steps": [{"maximize": {"width": 1}}]}),
    ("a call of an unknown method", {"form": {"controls": CONTROLS},
                                     "steps": [{"call": {"object": "Tolvane1", "method": "Paint"}}]}),
    ("a failure of an unknown op", {"form": {"controls": CONTROLS},
                                    "steps": [{"fail": {"object": "Tolvane1", "member": "Left", "op": "break"}}]}),
]


def main(schema_path, files):
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    validator_class = jsonschema.validators.validator_for(schema)
    validator_class.check_schema(schema)
    validator = validator_class(schema)
    problems = []
    for path in files:
        with open(path, encoding="utf-8") as f:
            document = json.load(f)
        for error in validator.iter_errors(document):
            where = "/" + "/".join(str(p) for p in error.absolute_path)
            problems.append(f"{path}: at {where}: {error.message}")
    for reason, document in REFUSED:
        if validator.is_valid(document):
            problems.append(f"the schema accepts {reason}, which the player refuses")
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"{len(files)} scenarios valid; {len(REFUSED)} refused shapes refused")
    return 0


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2:]))
