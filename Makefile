# Entry points for a fresh Debian machine: `make demo` and `make test`, and
# `make installer PUBLISHER=folder` for a publisher's own Setup.exe.
# Everything else here is a step of those.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
# WERROR=ON (CI) turns every compiler warning of our code into an error.
WERROR ?= OFF
# ccache (scripts/install-deps.sh) lets the build trees of a checkout share
# their objects: the publisher's build of `make test` reuses build/win32's.
# Objects with debug information are shared between checkouts too, and the
# cache holds the Linux, Windows and sanitizer trees at once.
export CMAKE_C_COMPILER_LAUNCHER ?= ccache
export CMAKE_CXX_COMPILER_LAUNCHER ?= ccache
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= 1
export CCACHE_MAXSIZE ?= 15G

.PHONY: demo test deps linux win32 win64 windeps test-linux test-win test-installer installer clean

demo: linux
	scripts/demo.sh

test: linux win64
	scripts/include-cycles.py
	$(MAKE) win32 PIN=$$(scripts/test-signing.sh pin build/win32/test-pki)
	$(MAKE) test-linux
	$(MAKE) test-win
	$(MAKE) test-installer

deps:
	scripts/install-deps.sh

# The Linux build is made for tests (the shipped program is Windows').
linux: deps
	cmake -S . -B build/linux -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSETUP_TRUST_SWITCHES=ON -DSETUP_WERROR=$(WERROR) >/dev/null
	cmake --build build/linux -j $(JOBS)

windeps: deps
	scripts/build-win-deps.sh i686-w64-mingw32
	scripts/build-win-deps.sh x86_64-w64-mingw32

# The product, a release: it needs the pin of the publisher who signs the
# packages (make win32 PIN=<hex SHA-256>; see publisher-example/README.md).
# `make test` gives it the pin of build/win32's test publisher.
win32: windeps
	scripts/build-windows.sh i686-w64-mingw32 build/win32 -DSETUP_WERROR=$(WERROR) $(if $(PIN),-DSETUP_PUBLISHER_PIN=$(PIN))

win64: windeps
	scripts/build-windows.sh --tests x86_64-w64-mingw32 build/win64 -DSETUP_WERROR=$(WERROR)

test-linux:
	cd build/linux && ctest --output-on-failure -j $(JOBS)

test-win:
	scripts/test-windows.sh build/win64 build/win32

test-installer:
	scripts/test-installer.sh

# A publisher's signed Setup.exe from their folder (see publisher-example/);
# ARCH=x86_64 builds the same release for x86_64 into build/installer-x86_64.
installer: windeps
	@[ -n "$(PUBLISHER)" ] || { echo "usage: make installer PUBLISHER=path/to/folder [ARCH=x86_64]" >&2; exit 2; }
	scripts/make-installer.sh $(if $(filter x86_64,$(ARCH)),--x86_64) "$(PUBLISHER)"

clean:
	rm -rf build
