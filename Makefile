# Thin wrapper over the CMake presets. `make run` starts the service,
# `make test` runs every test (debug build, then AddressSanitizer/UBSan build).
.PHONY: run test deps build-release build-dev build-asan fuzz clean

deps:
	@scripts/deps.sh

build-release: deps
	cmake --preset release
	cmake --build --preset release --target dosebridge

build-dev: deps
	cmake --preset dev
	cmake --build --preset dev

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan

run: build-release
	./build/release/app/dosebridge

test: export DOSEBRIDGE_WERROR := ON
test: build-dev build-asan
	ctest --preset dev
	ctest --preset asan
	scripts/fuzz.sh 60

# Fuzz each target for FUZZ_SECONDS (default 60).
fuzz: deps
	scripts/fuzz.sh $(or $(FUZZ_SECONDS),60)

clean:
	rm -rf build
