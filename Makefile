# make build | make test | make run | make bench | make package | make verify-package | make clean
# Every target first installs what is missing (tools/setup.sh is quiet when all is there).

JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory
NATIVE := build/native
WIN32 := build/win32
# The toolchain file counts only when the folder is first configured: cmake need not say so each time.
WIN32_CONFIGURE := cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  --no-warn-unused-cli

.PHONY: setup build native win32 test run bench package verify-package clean

setup:
	@bash tools/setup.sh

native: setup
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

win32: setup
	@$(WIN32_CONFIGURE) >/dev/null
	@cmake --build $(WIN32) -j $(JOBS)

build: native win32

test: build
	@echo "== native tests (fake platform, ASan + UBSan)"
	@ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)
	@echo "== Windows tests (under Wine)"
	@ctest --test-dir $(WIN32) --output-on-failure

run: build
	@bash tools/run.sh

# The monitor against the smallest possible tray program, under Wine; never part of make test.
bench: setup
	@$(WIN32_CONFIGURE) >/dev/null
	@cmake --build $(WIN32) -j $(JOBS) --target bench_programs
	@bash tools/bench.sh

# The Windows Installer package: build/package/KeslWebATMMonitor-<version>.msi and SHA256SUMS,
# signed when a key is configured (README: Signing and verifying).
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

clean:
	rm -rf build
