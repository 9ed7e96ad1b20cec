# Thin wrapper over the CMake presets. `make run` starts the service,
# `make test` runs every test (debug build, then AddressSanitizer/UBSan build).
.PHONY: run demo test deps build-release build-dev build-asan fuzz windows-zip package format-check clean

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

# The service with a simulated dosimeter holding 180 hourly readings, and the
# history keeper beside it on a database under build/demo (never the user's own).
demo: build-release
	cmake --build --preset release --target dosebridge_sim dosebridge_keeper
	mkdir -p build/demo
	printf 'log 180\n' > build/demo/sim.conf
	@echo
	@echo "dosebridge is running with a simulated dosimeter, and dosebridge-keeper beside it."
	@echo "Open the viewer with the kept history in your browser:"
	@echo "    http://localhost:5001"
	@echo "or the device log alone: file://$(CURDIR)/web/index.html"
	@echo "Stop both with Ctrl-C."
	@echo
	@# A background job of a script ignores Ctrl-C: the trap stops the keeper.
	./build/release/keeper/dosebridge-keeper --db $(CURDIR)/build/demo/readings.sqlite3 --web $(CURDIR)/web & \
	  keeper=$$!; trap 'kill $$keeper 2>/dev/null; wait $$keeper' EXIT; trap 'exit 0' INT TERM; \
	  LD_PRELOAD=$(CURDIR)/build/release/sim/libdosebridge_sim.so DOSEBRIDGE_SIM=$(CURDIR)/build/demo/sim.conf \
	  ./build/release/app/dosebridge

test: export DOSEBRIDGE_WERROR := ON
test: format-check build-dev build-asan
	ctest --preset dev --output-on-failure
	ctest --preset asan --output-on-failure
	build/dev/bench/micro_bench --benchmark_min_time=0.01
	tests/windows/run.sh build/dev/app/dosebridge build/dev/sim/libdosebridge_sim.so
	scripts/windows-zip.sh
	scripts/package.sh
	tests/packaging/package_test.sh build/dosebridge_*.deb
	scripts/fuzz.sh 60

# The Windows release: build/dosebridge-windows-x64.zip (cross-built with mingw-w64).
windows-zip: deps
	scripts/windows-zip.sh

# Fuzz each target for FUZZ_SECONDS (default 60).
fuzz: deps
	scripts/fuzz.sh $(or $(FUZZ_SECONDS),60)

# The Debian package: build/dosebridge_<version>_amd64.deb.
package: deps
	scripts/package.sh

# The sources as .clang-format wants them.
format-check: deps
	git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

clean:
	rm -rf build
