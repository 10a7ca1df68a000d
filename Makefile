# Entry points for a fresh Debian machine (run as root, or with the packages
# already installed):
#   make demo                install what is missing, build, stage and run the
#                            staged lark once on the simulated runtime
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

# The demo's own home, so that a trial touches nothing of the user's. An
# optional scenario file for the simulated runtime: make demo SCENARIO=file
DEMO_HOME := $(CURDIR)/$(BUILD)/demo-home
DEMO_TRANSCRIPT := $(CURDIR)/$(BUILD)/demo-transcript.jsonl
SCENARIO ?=

.PHONY: deps configure build test demo clean

deps:
	@tools/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure --timeout 120 -j2

demo: configure
	cmake --build $(BUILD) --target lark heron
	rm -rf $(DEMO_HOME) $(DEMO_TRANSCRIPT)
	mkdir -p $(DEMO_HOME)/.config $(DEMO_HOME)/.local/share $(DEMO_HOME)/.local/state \
	         $(DEMO_HOME)/.cache $(DEMO_HOME)/run
	chmod 700 $(DEMO_HOME)/run
	@status=0; \
	env -i PATH="$$PATH" HOME=$(DEMO_HOME) \
	    XDG_CONFIG_HOME=$(DEMO_HOME)/.config XDG_DATA_HOME=$(DEMO_HOME)/.local/share \
	    XDG_STATE_HOME=$(DEMO_HOME)/.local/state XDG_CACHE_HOME=$(DEMO_HOME)/.cache \
	    XDG_RUNTIME_DIR=$(DEMO_HOME)/run \
	    TANDEM_SIM_TRANSCRIPT=$(DEMO_TRANSCRIPT) \
	    $(if $(SCENARIO),TANDEM_SIM_SCENARIO=$(abspath $(SCENARIO))) \
	    $(BUILD)/runtime/bin/linux64/lark || status=$$?; \
	echo "--- what lark asked of the simulated runtime:"; \
	cat $(DEMO_TRANSCRIPT) 2>/dev/null; \
	echo "--- lark exit status: $$status"; \
	echo "--- transcript: $(DEMO_TRANSCRIPT)"; \
	echo "--- demo home:  $(DEMO_HOME)"

clean:
	rm -rf build build-sanitize
