# The two everyday commands: `make run` and `make test`; `make package` builds
# the Debian package. For development also `make fuzz` and `make lint` (see the
# README's Development section).
PRESET ?= default
# make fuzz: seconds per target, targets run at once, which targets (all when
# empty: frame link cfg_file ...), and where the growing work corpus lives.
FUZZ_SECONDS ?= 60
FUZZ_JOBS ?= 1
FUZZ_TARGETS ?=
FUZZ_WORK ?= build/fuzz/work
FUZZ_ALL := $(patsubst tests/fuzz/fuzz_%.cpp,%,$(wildcard tests/fuzz/fuzz_*.cpp))

.PHONY: all run test build deps clean fuzz lint package windows

all: build

deps:
	@scripts/setup.sh

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

# asan, tsan, fuzz and default: build and CTest each, then a summary.
test: deps
	@scripts/ci.sh

# vantrixctl.exe and melodyloader.exe for Windows (build/windows).
windows: deps
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows

# Only what it starts: the desktop program and the simulator.
run: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET) --target VantrixCtrlPnl vantrix-sim
	@scripts/run.sh build/$(PRESET)

# The Debian package build/default/vantrix-control-panel_<version>_amd64.deb.
package: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default --target package

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@python3 tests/fuzz/run_fuzz.py --seconds $(FUZZ_SECONDS) --jobs $(FUZZ_JOBS) \
		--work-root $(FUZZ_WORK) --artifacts build/fuzz/artifacts \
		$(addprefix build/fuzz/tests/fuzz/fuzz_,$(or $(FUZZ_TARGETS),$(FUZZ_ALL)))

# clang-format and clang-tidy over the sources, with the default build's
# compile_commands.json.
lint: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default >build/default/lint-build.log 2>&1 || { tail -n 40 build/default/lint-build.log; false; }
	@scripts/lint.sh build/default

clean:
	rm -rf build
