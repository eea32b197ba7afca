# The two commands of the README:
#   make run    build, then run dmctl on the embedded default store
#   make test   install what is missing, build, and run every test
# and a few more for developers:
#   make asan   the tests under AddressSanitizer + UndefinedBehaviorSanitizer
#   make mingw  cross-compile the Windows DLLs and check their export table
#   make test-windows  the same, then every suite as a Windows program under
#               Wine (scripts/wine-session)
#   make bench  build and run the benchmarks (export overhead, store, profiles,
#               quick launches and shortcuts)
#   make install-check  stage an install and build and run a consumer against it
#   make package        the Debian package, build/default/datamanager_<version>_<arch>.deb

JOBS ?= 2
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)

.PHONY: run test test-windows deps build asan mingw bench install-check package clean

deps:
	scripts/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

run: build
	build/default/bin/dmctl --log store info

test: build
	scripts/check-exports linux build/default/lib/libDataManager.so
	ctest --test-dir build/default $(CTEST_FLAGS)

asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --test-dir build/asan $(CTEST_FLAGS)

mingw:
	scripts/install-deps --windows
	cmake --preset mingw
	cmake --build --preset mingw -j $(JOBS)
	scripts/check-exports windows build/mingw/lib/DataManager.dll

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

clean:
	rm -rf build
