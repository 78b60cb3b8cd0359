#!/usr/bin/python3
"""What the shipped programs are made of, read from their link maps, for a bank's software intake:

  inventory.py notices VERSION MAP_DIR OUT
      the third-party notices: for each program, the run-time libraries it contains, and the notice
      texts their licences ask a binary copy to carry, taken from the Debian packages' own
      copyright files on this machine
  inventory.py sbom MSI BUILDINFO VERSION MAP_DIR PROGRAM_DIR OUT
      a CycloneDX 1.6 bill of materials of the package MSI: the package, the programs inside it
      (their bytes in PROGRAM_DIR) and the libraries each contains, their dependencies, and the
      build tools of BUILDINFO; reproducible, its time SOURCE_DATE_EPOCH's, its serial number the
      package's hash's
  inventory.py check SBOM NOTICES MSI PROGRAM_DIR MAP_DIR
      whether SBOM and NOTICES (when the file exists) describe MSI and the programs in PROGRAM_DIR,
      as the maps and this machine's packages have them: one line for each difference

Each archive or object a program took members from maps to its Debian package (dpkg -S) and to a
library below; one the table does not know stops with its name. Windows' own DLLs, which the
programs import, are no part of them and are left out.
"""

import hashlib
import json
import os
import re
import subprocess
import sys
import uuid
from datetime import datetime, timezone

from debian.copyright import Copyright

# The programs, by the map their link wrote (cmake/win32.cmake), and what each is.
PROGRAMS = {
    "monitor": ("KeslWebATMMonitor.exe", "application", "the monitor"),
    "handover": ("KeslMonitorHandover.dll", "library", "the install's hand-over, which the package runs"),
    "acceptance": ("KeslAcceptance.exe", "application", "the acceptance kit's program"),
    "agent_standin": ("KeslWebATMAgent.exe", "application", "the acceptance kit's stand-in agent"),
    "terminate_standin": ("KeslTerminateService.exe", "application", "the acceptance kit's stand-in terminate program"),
}
PACKAGED = ("monitor", "handover")

IMPORT_LIBRARIES = ["lib%s.a" % dll for dll in
                    ("advapi32", "crypt32", "gdi32", "kernel32", "msi", "msvcrt", "shell32", "user32", "version", "wintrust")]
# Each archive or object file a program may take from the toolchain, as the library it is part of.
LIBRARY_OF = {
    **dict.fromkeys(["crt2.o", "crt2u.o", "dllcrt2.o", "libmingw32.a", "libmingwex.a"] + IMPORT_LIBRARIES, "mingw-w64-crt"),
    "libpthread.a": "winpthreads",
    **dict.fromkeys(["libgcc.a", "libgcc_eh.a", "crtbegin.o", "crtend.o"], "libgcc"),
    "libssp.a": "libssp",
    "libstdc++.a": "libstdc++",
}
GCC_EXCEPTION = {"expression": "GPL-3.0-or-later WITH GCC-exception-3.1",
                 "between": [("The following runtime libraries are licensed", "The libbacktrace library"),
                             ("GCC RUNTIME LIBRARY EXCEPTION", "libquadmath/*.[hc]:")]}
# What each library is, and which parts of its package's copyright file cover it: DEP-5 paragraphs
# whose Files patterns begin with one of "files" (save those under "except"), or for a copyright
# file in free form, the passages "between" the lines given, with its SPDX expression.
LIBRARIES = {
    "mingw-w64-crt": {"what": "the MinGW-w64 run-time: start-up code, C library additions and import libraries",
                      "files": ("*", "mingw-w64-crt/"), "except": ("mingw-w64-crt/profile/",)},
    "winpthreads": {"what": "the MinGW-w64 POSIX threads library",
                    "files": ("mingw-w64-libraries/winpthreads/",), "except": ("mingw-w64-libraries/winpthreads/tests",)},
    "libgcc": {"what": "GCC's low-level run-time library", **GCC_EXCEPTION},
    "libssp": {"what": "GCC's stack protector", **GCC_EXCEPTION},
    "libstdc++": {"what": "GCC's C++ standard library", **GCC_EXCEPTION},
}
# DEP-5 short names as SPDX identifiers; any other becomes a LicenseRef- of its own name.
SPDX = {"ZPL-2.1": "ZPL-2.1", "expat": "MIT", "BSD-3-clause": "BSD-3-Clause", "BSD-3-clause-Lockless": "BSD-3-Clause",
        "ISC": "ISC", "BSD-2-clause-NetBSD": "BSD-2-Clause-NetBSD"}


def fail(message):
    sys.exit("inventory.py: " + message)


def linked_files(map_path):
    """The archives and objects outside the build that the link took members from, as real paths."""
    taken, members = set(), False
    for line in open(map_path, encoding="utf-8", errors="replace"):
        if line.startswith("Archive member included"):
            members = True
        elif line.startswith(("Discarded input sections", "Memory Configuration", "Allocating common")):
            members = False
        elif members and line.startswith("/"):
            taken.add(os.path.realpath(line.split("(")[0]))
        elif line.startswith("LOAD /") and line.rstrip().endswith(".o"):
            taken.add(os.path.realpath(line[5:].strip()))
    return taken


def debian_package(path, cache={}):
    if path not in cache:
        found = subprocess.run(["dpkg", "-S", path], capture_output=True, text=True)
        if found.returncode != 0:
            fail(f"{path}: no Debian package holds it")
        cache[path] = found.stdout.split(":")[0].split(",")[0].strip()
    return cache[path]


def package_version(name, cache={}):
    if name not in cache:
        cache[name] = subprocess.run(["dpkg-query", "-W", "-f=${Version}", name], capture_output=True, text=True,
                                     check=True).stdout
    return cache[name]


def contents(map_dir, programs):
    """For each program: {library: (Debian package, [archive file names])}."""
    result = {}
    for program in programs:
        libraries = {}
        for path in sorted(linked_files(os.path.join(map_dir, program + ".map"))):
            name = os.path.basename(path)
            if name not in LIBRARY_OF:
                fail(f"{PROGRAMS[program][0]} contains {path}, which no library here is known to hold")
            package, archives = libraries.setdefault(LIBRARY_OF[name], (debian_package(path), []))
            archives.append(name)
        result[program] = libraries
    return result


def copyright_of(package):
    return open(f"/usr/share/doc/{package}/copyright", encoding="utf-8").read()


def covered(pattern, library):
    parts = LIBRARIES[library]
    return pattern.startswith(parts["files"]) and not pattern.startswith(parts.get("except", ()))


def notice_and_licences(library, package):
    """The notice texts for library from package's copyright file, and their SPDX expression."""
    text, parts = copyright_of(package), LIBRARIES[library]
    if "between" in parts:
        passages = []
        for start, end in parts["between"]:
            if start not in text or end not in text:
                fail(f"{package}'s copyright file no longer holds the passage from {start!r} to {end!r}")
            passages.append(text[text.index(start):text.index(end)].rstrip())
        return "\n\n".join(passages), parts["expression"]
    parsed = Copyright(text.splitlines(True), strict=False)
    standalone = {p.license.synopsis: p.license.text for p in parsed.all_license_paragraphs()}
    parts, names = [], []
    for paragraph in parsed.all_files_paragraphs():
        patterns = [p for p in paragraph.files if covered(p, library)]
        if not patterns:
            continue
        licence = paragraph.license
        each = re.split(r"\s+(?:and|or)\s+", licence.synopsis)
        text = licence.text or "\n\n".join(standalone.get(name, "") for name in each)
        parts.append(f"Files: {' '.join(patterns)}\nCopyright: {paragraph.copyright}\nLicense: {licence.synopsis}\n{text}")
        for name in each:
            spdx = SPDX.get(name, "LicenseRef-" + re.sub(r"[^A-Za-z0-9.-]", "-", name))
            if spdx not in names:
                names.append(spdx)
    if not parts:
        fail(f"{package}'s copyright file has no paragraph for {library}")
    return "\n\n".join(parts), " AND ".join(names)


def write_notices(version, map_dir, out):
    # The package's programs, and the kit's where this build made them.
    programs = [p for p in PROGRAMS if p in PACKAGED or os.path.exists(os.path.join(map_dir, p + ".map"))]
    found = contents(map_dir, programs)
    lines = [f"KeslWebATMMonitor {version}: third-party notices", "",
             "The programs below are the bank's own code (see LICENSE), linked statically with the run-time",
             "libraries each one lists. Their licences ask a binary copy to carry the notices that follow,",
             "taken unchanged from the copyright files of the Debian packages the programs were built with.",
             "Windows' own DLLs, which the programs import, are not part of them.", ""]
    for program in programs:
        name, _, what = PROGRAMS[program]
        lines.append(f"{name} ({what}) contains:")
        for library, (package, archives) in sorted(found[program].items()):
            lines.append(f"  {library}: {LIBRARIES[library]['what']}, from {package} {package_version(package)}"
                         f" ({', '.join(archives)})")
        lines.append("")
    done, given = set(), {}  # the libraries written, and who has each notice text already
    for program in programs:
        for library, (package, _) in sorted(found[program].items()):
            if library in done:
                continue
            done.add(library)
            notice, expression = notice_and_licences(library, package)
            said = f"The same notice as {given[notice]}'s, above." if notice in given else notice
            given.setdefault(notice, library)
            lines += ["=" * 78, f"{library} ({package}), {expression}", "=" * 78, "", said, ""]
    with open(out, "w", encoding="utf-8", newline="\r\n") as file:
        file.write("\n".join(lines))


def hashes(path):
    data = open(path, "rb").read()
    return [{"alg": "SHA-256", "content": hashlib.sha256(data).hexdigest()},
            {"alg": "SHA-512", "content": hashlib.sha512(data).hexdigest()}]


def purl(package):
    arch = subprocess.run(["dpkg-query", "-W", "-f=${Architecture}", package], capture_output=True, text=True,
                          check=True).stdout
    return f"pkg:deb/debian/{package}@{package_version(package).replace('+', '%2B')}?arch={arch}"


def write_sbom(msi, buildinfo, version, map_dir, program_dir, out):
    found = contents(map_dir, PACKAGED)
    supplier = {"name": "Kesl銀行"}
    package_hashes = hashes(msi)
    components, dependencies, libraries = [], [], {}
    for program in PACKAGED:
        name, kind, what = PROGRAMS[program]
        needs = []
        for library, (package, archives) in sorted(found[program].items()):
            ref = f"{library}@{package_version(package)}"
            needs.append(ref)
            if ref not in libraries:
                _, expression = notice_and_licences(library, package)
                libraries[ref] = {"type": "library", "bom-ref": ref, "name": library, "version": package_version(package),
                                  "description": LIBRARIES[library]["what"], "purl": purl(package),
                                  "licenses": [{"expression": expression}]}
        contained = " ".join(a for _, (_, archives) in sorted(found[program].items()) for a in archives)
        components.append({"type": kind, "bom-ref": name, "supplier": supplier, "name": name, "version": version,
                           "description": what, "hashes": hashes(os.path.join(program_dir, name)),
                           "licenses": [{"license": {"name": "Proprietary: all rights reserved (LICENSE)"}}],
                           "properties": [{"name": "linked archives", "value": contained}]})
        dependencies.append({"ref": name, "dependsOn": needs})
    components += [libraries[ref] for ref in sorted(libraries)]
    dependencies += [{"ref": ref} for ref in sorted(libraries)]
    dependencies.insert(0, {"ref": "package", "dependsOn": [PROGRAMS[p][0] for p in PACKAGED]})
    tools = [{"type": "application", "name": m.group(1), "version": m.group(2), "purl": purl(m.group(1))}
             for m in re.finditer(r"^ (\S+) \(= ([^)]+)\)", open(buildinfo, encoding="utf-8").read(), re.M)]
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    bom = {
        "bomFormat": "CycloneDX", "specVersion": "1.6",
        "serialNumber": "urn:uuid:" + str(uuid.uuid5(uuid.NAMESPACE_URL, "sha256:" + package_hashes[0]["content"])),
        "version": 1,
        "metadata": {
            "timestamp": datetime.fromtimestamp(epoch, timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ"),
            "tools": {"components": tools},
            "component": {"type": "application", "bom-ref": "package", "supplier": supplier,
                          "name": "KeslWebATMMonitor", "version": version,
                          "description": f"the Windows Installer package KeslWebATMMonitor-{version}.msi",
                          "hashes": package_hashes},
            "supplier": supplier,
            "properties": [{"name": "left out", "value": "the Windows system DLLs the programs import"}],
        },
        "components": components,
        "dependencies": dependencies,
    }
    with open(out, "w", encoding="utf-8") as file:
        json.dump(bom, file, ensure_ascii=False, indent=2)
        file.write("\n")


def check(sbom_path, notices_path, msi, program_dir, map_dir):
    """Whether the bill of materials and the notices describe these bytes, as built here; each
    difference is a line, and the exit status 1."""
    bom = json.load(open(sbom_path, encoding="utf-8"))
    notices = open(notices_path, encoding="utf-8").read() if os.path.exists(notices_path) else None
    wrong = []
    if bom["metadata"]["component"].get("hashes") != hashes(msi):
        wrong.append("the package's hashes are not those of " + os.path.basename(msi))
    by_ref = {c["bom-ref"]: c for c in bom.get("components", [])}
    needs = {d["ref"]: d.get("dependsOn", []) for d in bom.get("dependencies", [])}
    for program, libraries in contents(map_dir, PACKAGED).items():
        name = PROGRAMS[program][0]
        if name not in by_ref:
            wrong.append(f"{name} is not a component")
            continue
        if by_ref[name].get("hashes") != hashes(os.path.join(program_dir, name)):
            wrong.append(f"{name}'s hashes are not those of its bytes")
        for library, (package, _) in sorted(libraries.items()):
            ref = f"{library}@{package_version(package)}"
            if ref not in needs.get(name, []) or ref not in by_ref:
                wrong.append(f"{name} contains {library} {package_version(package)} ({package}), which the bill of "
                             "materials does not name")
    for ref, component in sorted(by_ref.items()):
        if "purl" not in component:  # a program of the package's own
            continue
        package = component.get("purl", "").split("/")[-1].split("@")[0]
        if component.get("version") != package_version(package):
            wrong.append(f"{ref}: {package} is {package_version(package)} here")
        expression = component.get("licenses", [{}])[0].get("expression", "")
        if notices is not None and f"{component['name']} ({package}), {expression}\n" not in notices:
            wrong.append(f"{ref}: no notice for {expression} in {os.path.basename(notices_path)}")
    for line in wrong:
        print(f"{os.path.basename(sbom_path)}: {line}")
    sys.exit(1 if wrong else 0)


if __name__ == "__main__":
    command, arguments = (sys.argv[1], sys.argv[2:]) if len(sys.argv) > 1 else ("", [])
    if command == "notices" and len(arguments) == 3:
        write_notices(*arguments)
    elif command == "sbom" and len(arguments) == 6:
        write_sbom(*arguments)
    elif command == "check" and len(arguments) == 5:
        check(*arguments)
    else:
        sys.exit(__doc__)
