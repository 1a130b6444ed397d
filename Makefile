# The project's front door. `make run` and `make test` work on a fresh Debian 12 machine:
# both install whatever is missing first.
PRESET ?= default
ifeq ($(CI),true)
PRESET := ci
endif
BUILD_DIR := build
JOBS ?= $(shell nproc)
SOURCES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)

.PHONY: all deps build run test test-unit test-asan check-format bench lint format clean

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja:
	cmake --preset $(PRESET)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	scripts/run

test: build check-format
	ctest --preset $(PRESET) -j $(JOBS)
	$(MAKE) --no-print-directory test-asan

# The unit and widget suites again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

check-format: deps
	@clang-format --dry-run -Werror $(SOURCES) && echo "format: clean"

format: deps
	clang-format -i $(SOURCES)

bench: build
	scripts/bench

lint: build
	clang-tidy -p $(BUILD_DIR) --quiet $(filter %.cpp,$(SOURCES))

clean:
	rm -rf build build-asan build-core build-release
