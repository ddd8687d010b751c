# The two everyday commands: `make run` and `make test`.
PRESET ?= default

.PHONY: all run test build deps clean

all: build

deps:
	@scripts/setup.sh

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

test: build
	@ctest --preset $(PRESET)

run: build
	@scripts/run.sh build/$(PRESET)

clean:
	rm -rf build
