# make build | make test | make run | make bench | make package | make verify-package | make kit | make clean
# Every target first installs what is missing (tools/setup/setup.sh is quiet when all is there).

JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory
NATIVE := build/native
WIN32 := build/win32
# build/win32 (i686, the build that ships) or build/win64 (x86_64, its twin). The toolchain file
# counts only when the folder is first configured: cmake need not say so each time.
configure = cmake -S . -B build/$(1) --no-warn-unused-cli -DCMAKE_BUILD_TYPE=Release \
	-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$(if $(filter win64,$(1)),x86_64,i686).cmake >/dev/null
# The Windows build that make run and make bench drive: win32, or win64 where the host runs no
# 32-bit programs or KESL_TWIN=1 (tools/wine/build.sh). Only set-up's Wine can tell, so only
# recipes, which run after set-up, ask. make test runs both where it can, the twin everywhere.
DRIVEN = $(shell bash tools/wine/build.sh)

.PHONY: setup windows-build build native win32 twin test run bench package verify-package kit clean

setup:
	@bash tools/setup/setup.sh

# One line: which Windows builds run here, and whether the twin's runs can reach the 32-bit loader.
windows-build: setup
	@bash tools/wine/build.sh --say

native: setup
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

win32: setup
	@$(call configure,win32)
	@cmake --build $(WIN32) -j $(JOBS)

# The x86-64 twin: the same sources, for 64-bit Wine.
twin: setup
	@$(call configure,win64)
	@cmake --build build/win64 -j $(JOBS)

build: native win32 twin

# The Wine prefixes, when they are new, are made while the programs build (tools/wine/session.sh
# prepare; the twin's as on a host without 32-bit programs).
test: windows-build
	@if [ "$(DRIVEN)" = win32 ]; then bash tools/wine/session.sh prepare </dev/null >/dev/null 2>&1 & fi
	@KESL_WINDOWS_BUILD=win64 bash tools/wine/session.sh prepare </dev/null >/dev/null 2>&1 &
	@$(MAKE) build
	@echo "== native tests (fake platform, ASan + UBSan)"
	@ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)
	@bash tools/tests/windows.sh

run: windows-build build
	@bash tools/run/run.sh

# The monitor against the smallest possible tray program, under Wine; never part of make test.
bench: windows-build
	@$(call configure,$(DRIVEN))
	@cmake --build build/$(DRIVEN) -j $(JOBS) --target bench_programs
	@bash tools/bench/bench.sh

# The Windows Installer package: build/package/KeslWebATMMonitor-<version>.msi and SHA256SUMS,
# signed when a key is configured (docs/security.md: Signing).
package: win32
	@bash tools/package/package.sh $(WIN32) build/package

# Whether a package holds exactly what this checkout builds, and whom its signatures name:
#   make verify-package MSI=path [CA=file] [CRL=file]
# The paths reach verify.sh as they were given, quoted for the shell and never expanded by make.
quoted = '$(subst ','\'',$(value $1))'
verify-package: setup
	@$(if $(value MSI),,$(error usage: make verify-package MSI=path [CA=file] [CRL=file]))
	@bash tools/package/verify.sh $(if $(value CA),-c $(call quoted,CA)) $(if $(value CRL),-r $(call quoted,CRL)) \
	  $(call quoted,MSI)

# The acceptance kit for a disposable Windows machine: build/kit/KeslWebATMMonitor-<version>-acceptance.zip
# and SHA256SUMS, with the package, an upgrade-check package built one version later in a folder of
# its own (never shipped), the stand-ins and the acceptance program (docs/testing.md: Trying it on real Windows).
kit: package
	@bash tools/kit/upgrade_check.sh $(WIN32) build/upgrade-check >/dev/null
	@bash tools/kit/kit.sh $(WIN32) build/package build/upgrade-check build/kit

clean:
	rm -rf build
