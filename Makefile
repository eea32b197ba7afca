# The two commands of the README:
#   make run    build, then run a short dmctl session on a scratch store under
#               build/ (make run ARGS=--log also shows each call's log lines)
#   make test   install what is missing, build, and run every test
# and a few more for developers:
#   make asan   the tests under AddressSanitizer + UndefinedBehaviorSanitizer,
#               with the sanitizer options of the asan test preset
#   make fuzz   build the libFuzzer targets (clang) and run each briefly
#               from its seed corpus (FUZZ_SECONDS each)
#   make mingw  cross-compile the Windows DLLs and check their export table
#   make test-windows  the same, then every suite as a Windows program under
#               Wine (scripts/wine-session)
#   make bench  build and run the benchmarks (export overhead, store, profiles,
#               quick launches and shortcuts, KSLog against a buffered logger)
#   make install-check  stage an install and build and run a consumer against it
#   make package        the Debian package, build/default/datamanager_<version>_<arch>.deb

JOBS ?= 2
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)
# CI sets WERROR=ON: a warning in our own code fails the build.
WERROR ?= OFF
CONFIGURE_FLAGS = -DDM_WARNINGS_AS_ERRORS=$(WERROR)
FUZZ_SECONDS ?= 45

.PHONY: run test test-windows deps build asan mingw fuzz bench install-check package clean

deps:
	scripts/install-deps

build: deps
	cmake --preset default $(CONFIGURE_FLAGS)
	cmake --build --preset default -j $(JOBS)

run: build
	scripts/demo $(ARGS)

test: build
	scripts/check-exports linux build/default/lib/libDataManager.so
	ctest --test-dir build/default $(CTEST_FLAGS)

asan: deps
	cmake --preset asan $(CONFIGURE_FLAGS)
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan $(CTEST_FLAGS)

mingw:
	scripts/install-deps --windows
	cmake --preset mingw $(CONFIGURE_FLAGS)
	cmake --build --preset mingw -j $(JOBS)
	scripts/check-exports windows build/mingw/lib/DataManager.dll

fuzz:
	scripts/install-deps --fuzz
	cmake --preset fuzz $(CONFIGURE_FLAGS)
	cmake --build --preset fuzz -j $(JOBS)
	scripts/run-fuzzers build/fuzz $(FUZZ_SECONDS)

test-windows: mingw
	ctest --test-dir build/mingw $(CTEST_FLAGS)

install-check: build
	scripts/check-install build/default

package: build
	cd build/default && cpack -G DEB

bench: build
	build/default/bin/dm_bench
	build/default/bin/store_bench
	build/default/bin/profile_bench
	build/default/bin/launch_bench
	build/default/bin/kslog_bench

clean:
	rm -rf build
