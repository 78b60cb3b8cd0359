#!/usr/bin/python3
"""Makes a package's summary information reproducible: stamp_msi.py MSI EPOCH.

wixl writes the build's time as the package's creation and save times and a random package code.
Here the times become EPOCH (the commit's time) and the package code follows from the package's
own bytes, so that one commit always gives one package, and different packages different codes.
"""
import hashlib
import sys
import uuid

import gi

gi.require_version("Libmsi", "1.0")
from gi.repository import Libmsi  # noqa: E402

SECONDS_FROM_1601_TO_1970 = 11644473600
UNSET_PACKAGE_CODE = "{00000000-0000-0000-0000-000000000000}"


def stamp(path, package_code, filetime):
    database = Libmsi.Database.new(path, Libmsi.DbFlags.TRANSACT, None)
    summary = Libmsi.SummaryInfo.new(database, 3)
    summary.set_string(Libmsi.Property.UUID, package_code)
    summary.set_filetime(Libmsi.Property.CREATED_TM, filetime)
    summary.set_filetime(Libmsi.Property.LASTSAVED_TM, filetime)
    summary.persist()
    database.commit()


def main(path, epoch):
    filetime = (int(epoch) + SECONDS_FROM_1601_TO_1970) * 10**7  # 100 ns ticks since 1601
    stamp(path, UNSET_PACKAGE_CODE, filetime)
    with open(path, "rb") as package:
        digest = hashlib.sha256(package.read()).digest()
    stamp(path, "{%s}" % str(uuid.UUID(bytes=digest[:16], version=4)).upper(), filetime)


if __name__ == "__main__":
    main(*sys.argv[1:])
