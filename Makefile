# Entry points for a fresh Debian machine (run as root, or with the packages
# already installed):
#   make test [SANITIZE=1]   install what is missing, build, run every test
# The sanitizer build lives in its own directory so both can coexist.

SANITIZE ?= 0
ifeq ($(SANITIZE),1)
BUILD := build-sanitize
CMAKE_FLAGS := -DLARK_SANITIZE=ON
else
BUILD := build
CMAKE_FLAGS :=
endif

.PHONY: deps configure build test clean

deps:
	@tools/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure --timeout 120 -j2

clean:
	rm -rf build build-sanitize
