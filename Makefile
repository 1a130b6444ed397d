# The project's front door. `make run` and `make test` work on a fresh Debian 12 machine:
# both install whatever is missing first.
PRESET ?= default
ifeq ($(CI),true)
PRESET := ci
endif
BUILD_DIR := build
JOBS ?= $(shell nproc)
SOURCES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)

.PHONY: all deps build run test test-core test-asan check-format bench fuzz stress lint format clean install \
	uninstall package

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja:
	cmake --preset $(PRESET)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	scripts/run

# Installs Pindle under PREFIX (default /usr/local; DESTDIR stages it elsewhere): the program, the
# menu and autostart entries, the icons, the AppStream metainfo and the manual page.
# `make uninstall` removes what the last `make install` wrote. Its list is a copy of CMake's
# install manifest, which every later install and package build overwrites.
PREFIX ?= /usr/local
INSTALLED_LIST := $(BUILD_DIR)/installed-files.txt
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"
	cp $(BUILD_DIR)/install_manifest.txt $(INSTALLED_LIST)

uninstall:
	@test -f $(INSTALLED_LIST) || { echo "uninstall: nothing was installed with make install" >&2; exit 1; }
	xargs -d '\n' rm -fv -- < $(INSTALLED_LIST)
	rm -f $(INSTALLED_LIST)

# The Debian package, from a release build: build-release/pindle_<version>_<architecture>.deb.
package: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	cd build-release && cpack -G DEB

test: build check-format
	ctest --preset $(PRESET) -j $(JOBS)
	$(MAKE) --no-print-directory lint test-core test-asan

# The notes core on its own, configured without Qt: proves it neither includes nor links it.
test-core: deps
	cmake --preset core >/dev/null
	cmake --build --preset core -j $(JOBS)
	ctest --preset core -j $(JOBS)

# The unit and widget suites again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

check-format: deps
	@clang-format --dry-run -Werror $(SOURCES) && echo "format: clean"

format: deps
	clang-format -i $(SOURCES)

# Every benchmark suite, printed as one table (scripts/bench says what is measured and how).
bench: build
	scripts/bench $(BUILD_DIR)

# The long abuse runs: 500 kills while typing, every ending 50 times, 100 double launches.
stress: build
	/usr/bin/python3 tests/stress/stress.py $(BUILD_DIR)/pindle kill-loop --cycles 500
	/usr/bin/python3 tests/stress/stress.py $(BUILD_DIR)/pindle endings --rounds 50
	/usr/bin/python3 tests/stress/stress.py $(BUILD_DIR)/pindle two-instances --rounds 100

# Fuzzes the document loader for FUZZ_SECONDS (default 600), starting from the seed corpus.
# New inputs collect in build-fuzz/corpus; findings are written to build-fuzz/.
FUZZ_SECONDS ?= 600
fuzz: deps
	@command -v clang++-14 >/dev/null || scripts/install-deps --fuzz
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz
	mkdir -p build-fuzz/corpus
	cd build-fuzz && ./fuzz/notes_file_fuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -max_len=65536 -timeout=10 -rss_limit_mb=4096 corpus ../fuzz/corpus

# clang-tidy with the checks of .clang-tidy over the program's C++ files in git (so never a
# generated moc file), as the build compiles them; any finding fails, and is shown with the lines
# after it (the whole run in build/lint.log). Part of `make test`: about 14 CPU minutes.
lint: build
	run-clang-tidy -p $(BUILD_DIR) -j $(JOBS) -quiet $(addprefix $(CURDIR)/,$(filter src/%.cpp,$(SOURCES))) \
	    > $(BUILD_DIR)/lint.log 2>&1 || \
	    { sed 's/\x1b\[[0-9;]*m//g' $(BUILD_DIR)/lint.log | grep -A4 -E '(warning|error): ' >&2; exit 1; }
	@echo "lint: clean"

clean:
	rm -rf build build-asan build-core build-release build-fuzz
