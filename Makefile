# Entry points. `make run` sets up, builds Quado alone and starts it; `make
# check` runs the quick suite (no kernel boot, no package build); `make test`
# runs everything (the whole suite, the fuzzers briefly, the ThreadSanitizer
# stress run) and is what CI runs.
BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: deps test-deps configure configure-tests build run test check suite fuzz tsan bench demo clean arm64 arm64-deps

# What building and running Quado need; test-deps adds what the tests need.
deps:
	@bash tools/install-deps.sh

test-deps:
	@bash tools/install-deps.sh --tests

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/build.ninja

# Configured again, quickly, so that test packages installed after the
# first configure (make run, then make test) are found.
configure-tests: test-deps $(BUILD)/build.ninja
	@cmake -S . -B $(BUILD) >/dev/null

build: configure-tests
	cmake --build $(BUILD) -j $(JOBS)

run: configure
	cmake --build $(BUILD) -j $(JOBS) --target quado
	$(BUILD)/app/quado

# Quado with a simulated adapter and a board that plays by itself: no hardware.
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target quado-demo
	$(BUILD)/tools/quado-demo/quado-demo

# The quick suite: everything but the kernel boot, the package build, the
# fuzzers and the ThreadSanitizer run.
check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE 'fuzz|tsan|kernel|package'

# The whole normal suite, kernel boot and package build included.
suite: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE 'fuzz|tsan'

$(FUZZ_BUILD)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUADO_FUZZ=ON

fuzz: test-deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	cd $(FUZZ_BUILD) && ctest --output-on-failure -j $(JOBS) -L fuzz

$(TSAN_BUILD)/build.ninja:
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUADO_SANITIZE=thread -DQUADO_BENCH=OFF

tsan: test-deps $(TSAN_BUILD)/build.ninja
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target quado_tsan_tests
	cd $(TSAN_BUILD) && ctest --output-on-failure -L tsan

test: suite fuzz tsan arm64

# arm64 (the board computers behind exhibit screens): cross-built on this PC,
# its suite run under the qemu user emulator, and its .deb (the suite's
# package test builds it, checks its Architecture and runs lintian on it).
# Left out: the fuzzers and the ThreadSanitizer run (both native-only) and the
# kernel test, whose guest is an x86 kernel. Where this machine cannot start
# arm64 programs (no binfmt_misc, as in an unprivileged container), the
# emulated suite is skipped with one line saying why; the package test, which
# runs no arm64 code, still runs. No debug info: nobody debugs the emulated
# run, and leaving it out makes the cross build markedly quicker.
ARM64_BUILD ?= build-arm64
ARM64_DEBS  := $(ARM64_BUILD)/tests/desktop/deb-check

arm64-deps: test-deps
	@bash tools/install-arm64-deps.sh

$(ARM64_BUILD)/build.ninja:
	cmake -S . -B $(ARM64_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-debian.cmake -DQUADO_BENCH=OFF \
	  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG"

arm64: arm64-deps $(ARM64_BUILD)/build.ninja
	cmake --build $(ARM64_BUILD) -j $(JOBS)
	@if bash tools/arm64-can-run.sh; then \
	  echo "cd $(ARM64_BUILD) && ctest --output-on-failure -j $(JOBS) -LE 'fuzz|tsan|kernel'"; \
	  cd $(ARM64_BUILD) && ctest --output-on-failure -j $(JOBS) -LE 'fuzz|tsan|kernel'; \
	else \
	  cd $(ARM64_BUILD) && ctest --output-on-failure -L package; \
	fi
	mkdir -p $(ARM64_BUILD)/packages && cp $(ARM64_DEBS)/quado_*_arm64.deb $(ARM64_BUILD)/packages/
	dpkg-deb -f $(ARM64_BUILD)/packages/quado_*_arm64.deb Architecture

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target quado_benches
	@# Every bench runs even when one fails, and make fails if any did (a
	@# plain pipeline would end with tee's status).
	@bash -o pipefail -c '{ failed=0; for b in $(BUILD)/bench/*/bench_*; do \
	  if [ -f "$$b" ] && [ -x "$$b" ]; then "$$b" || { echo "FAILED: $$b" >&2; failed=1; }; fi; \
	done; exit $$failed; } | tee $(BUILD)/bench.log'; status=$$?; \
	echo "--- summary ---"; grep -E '^FIGURE [A-Za-z0-9_]+ [-0-9.]+$$' $(BUILD)/bench.log; exit $$status

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(TSAN_BUILD) $(ARM64_BUILD)
