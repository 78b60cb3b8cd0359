#!/usr/bin/python3
"""The package's _Validation table, as an IDT file on standard output: validation.py MSI RULES.

ICE validation (ICE03) checks every column of every table against _Validation and reports each
column that has no rule there; wixl writes no such table. RULES (package/validation.tsv) holds the
rules, and the rows printed are those of the tables MSI has, with whether a column may be empty
read from MSI's own column types. A column of MSI without a rule, a rule for a column its table
lacks (ICE06 would report it), or a rule that does not fit its column's kind is an error.
"""
import subprocess
import sys

HEADER = ("Table\tColumn\tNullable\tMinValue\tMaxValue\tKeyTable\tKeyColumn\tCategory\tSet\tDescription\n"
          "s32\ts32\ts4\tI4\tI4\tS255\tI2\tS32\tS255\tS255\n"
          "_Validation\tTable\tColumn\n")


def columns(msi):
    """Each table's columns with their types (s72, I2, v0, ...), system tables left out."""
    tables = subprocess.run(["msiinfo", "tables", msi], check=True, capture_output=True, text=True).stdout
    for table in tables.split():
        if not table.startswith("_"):
            export = subprocess.run(["msiinfo", "export", msi, table], check=True, capture_output=True).stdout
            names, types = (line.decode("ascii").split("\t") for line in export.split(b"\r\n")[:2])
            yield table, dict(zip(names, types))


def main(msi, rules_file):
    with open(rules_file, encoding="ascii") as lines:
        rules = {tuple(fields[:2]): fields[2:] for fields in (line.split() for line in lines)
                 if fields and not fields[0].startswith("#")}
    tables = dict(columns(msi))
    wrong = ["%s.%s has no rule in %s" % (t, c, rules_file) for t in tables for c in tables[t] if (t, c) not in rules]
    rows = []
    for (table, column), fields in sorted(rules.items()):
        if table not in tables:
            continue
        kind = tables[table].get(column, "")[:1].lower()
        category = fields[4]
        if not kind:
            wrong.append("%s.%s is not a column of the package" % (table, column))
        elif len(fields) != 6 or (category == "-") != (kind == "i") or (category == "Binary") != (kind == "v"):
            wrong.append("%s.%s: the rule does not fit a column of type %s" % (table, column, tables[table][column]))
        nullable = "Y" if tables[table].get(column, "S")[:1].isupper() else "N"
        rows.append("\t".join([table, column, nullable] + ["" if f == "-" else f for f in fields] + [""]))
    if wrong:
        sys.exit("validation.py: " + "\nvalidation.py: ".join(wrong))
    sys.stdout.write(HEADER + "".join(row + "\n" for row in rows))


if __name__ == "__main__":
    main(*sys.argv[1:])
