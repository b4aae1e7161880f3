# Entry points: `make demo` and `make test` do all the set-up on a fresh Debian machine.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
CMAKE_NATIVE := cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo
CMAKE_ASAN   := cmake -S . -B build/native-asan -DCMAKE_BUILD_TYPE=Debug -DTOVALO_SANITIZE=ON
# The sites whose pages may use the control (docs/deploying.md): empty, the default, admits only
# pages of the local machine; "*" every site. Given on every configuration, so that a package
# built for a site list does not leave that list behind for the next build.
TOVALO_ALLOWED_SITES ?=
CMAKE_WIN    := cmake --no-warn-unused-cli -S . -B build/win -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
                -DTOVALO_ALLOWED_SITES="$(TOVALO_ALLOWED_SITES)"
# The same sources for 64-bit hosts (a 64-bit browser tab or container): build/win64.
CMAKE_WIN64  := cmake --no-warn-unused-cli -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
                -DTOVALO_ALLOWED_SITES="$(TOVALO_ALLOWED_SITES)"
CMAKE_FUZZ   := cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVALO_FUZZ=ON \
                -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

.PHONY: all build demo test bench fuzz deps native native-asan win win64 fuzz-build format clean package

all: build

# Checked once per top-level command: the makes that its recipes start (scripts/test's builds, two
# at once; scripts/fuzz's; scripts/demo's) see MAKELEVEL above 0 and leave it to the first.
deps:
	@[ $(MAKELEVEL) -gt 0 ] || scripts/install-deps

native: deps
	@$(CMAKE_NATIVE) >/dev/null && cmake --build build/native -j$(JOBS)

native-asan: deps
	@$(CMAKE_ASAN) >/dev/null && cmake --build build/native-asan -j$(JOBS)

# WIN_TARGETS, WIN64_TARGETS: only these targets (make test builds what its tests run).
win: deps
	@$(CMAKE_WIN) >/dev/null && cmake --build build/win -j$(JOBS) $(if $(WIN_TARGETS),--target $(WIN_TARGETS))

# WIN64_TARGETS: only these targets (make test builds what its tests of the 64-bit control run).
win64: deps
	@$(CMAKE_WIN64) >/dev/null && cmake --build build/win64 -j$(JOBS) $(if $(WIN64_TARGETS),--target $(WIN64_TARGETS))

fuzz-build: deps
	@$(CMAKE_FUZZ) >/dev/null && cmake --build build/fuzz -j$(JOBS)

build: native win win64

# build/win/Tovalo.cab and build/win64/Tovalo64.cab: each build's OCX and its INF for a page's
# codebase, signed when TOVALO_SIGN_PKCS12 and TOVALO_SIGN_PASSWORD_FILE name a code-signing
# certificate and its password (packaging/pack, docs/deploying.md). Made anew each time, so that the
# signing settings of the moment apply.
export TOVALO_SIGN_PKCS12 TOVALO_SIGN_PASSWORD_FILE TOVALO_SIGN_TIMESTAMP_URL TOVALO_SIGN_URL TOVALO_SIGN_CAFILE
package: win win64
	@for cab in build/win/Tovalo.cab build/win64/Tovalo64.cab; do \
	  rm -f $$cab; \
	  out=$$(cmake --build $$(dirname $$cab) --target tovalo_cab 2>&1) || { echo "$$out"; exit 1; }; \
	  echo "$$cab ($$(stat -c %s $$cab) bytes):"; gcab -t $$cab; \
	  grep '^signature: ' <<<"$$out" || true; \
	done; \
	  sites=$$(sed -n 's/^TOVALO_ALLOWED_SITES:STRING=//p' build/win/CMakeCache.txt); \
	  case "$$sites" in \
	    "") echo "site policy: pages of this machine only (file:, http(s)://localhost, 127.0.0.1, [::1])" ;; \
	    "*") echo "site policy: EVERY SITE (TOVALO_ALLOWED_SITES='*'): any web page may use the control" ;; \
	    *) echo "site policy: the pages of $$sites" ;; \
	  esac

demo:
	@scripts/demo

test: deps
	@scripts/test

bench: native
	@scripts/bench

fuzz: deps
	@scripts/fuzz --seconds $(or $(FUZZ_SECONDS),60)

# The house style (.clang-format) applied to every tracked C/C++ file; `make test` checks it.
format: deps
	@scripts/format

clean:
	rm -rf build
