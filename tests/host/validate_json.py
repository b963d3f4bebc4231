#!/usr/bin/env python3
"""Validates JSON files against a JSON Schema: validate_json.py SCHEMA FILE...

Each file must be UTF-8 without a byte-order mark and valid against the
schema. Prints each problem with its file; exit status 0 when all are
valid, 1 when one is not, 2 when the validator cannot run.
"""
import json
import sys

try:
    import jsonschema
except ImportError:
    print("validate_json.py: python3-jsonschema is not installed (scripts/install-deps.sh host)", file=sys.stderr)
    sys.exit(2)


def main(arguments):
    if len(arguments) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    with open(arguments[0], encoding="utf-8") as file:
        schema = json.load(file)
    validator_class = jsonschema.validators.validator_for(schema)
    validator_class.check_schema(schema)
    validator = validator_class(schema)
    failed = False
    for name in arguments[1:]:
        with open(name, "rb") as file:
            data = file.read()
        if data.startswith(b"\xef\xbb\xbf"):
            print(f"{name}: begins with a byte-order mark", file=sys.stderr)
            failed = True
            continue
        try:
            document = json.loads(data.decode("utf-8"))
        except (UnicodeDecodeError, ValueError) as problem:
            print(f"{name}: not UTF-8 JSON: {problem}", file=sys.stderr)
            failed = True
            continue
        for error in validator.iter_errors(document):
            print(f"{name}: {'/'.join(str(p) for p in error.absolute_path)}: {error.message}", file=sys.stderr)
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
