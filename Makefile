# The two commands of the README: `make run` starts the meter, `make test`
# runs every test. Both install what they need first (Debian 12, as root).
BUILD_TYPE ?= RelWithDebInfo
CMAKE_GEN  := -G Ninja
JOBS       ?= 2

# Where `make run` puts the program; its settings, database and dump files
# live beside it, so they survive rebuilds and `make clean`.
PREFIX     ?= $(HOME)/.local/opt/corvina
SUDO       := $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: deps configure build test test-release test-asan test-tsan test-fuzz run clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B build/release $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCORVINA_WERROR=ON >/dev/null

build: configure
	@cmake --build build/release -j $(JOBS)

test: deps test-release test-asan test-tsan test-fuzz

# Everything, integration tests in network namespaces included.
test-release: build
	@ctest --test-dir build/release --output-on-failure -j $(JOBS)

# Address and undefined-behaviour sanitizers over every test but the real-capture ones.
test-asan: deps
	@cmake -S . -B build/asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DCORVINA_WERROR=ON \
	  -DCORVINA_SANITIZE=address,undefined >/dev/null
	@cmake --build build/asan -j $(JOBS)
	@ctest --test-dir build/asan --output-on-failure -j $(JOBS) -LE integration

# Thread sanitizer over the threading tests, the Qt event-loop hand-over included.
test-tsan: deps
	@cmake -S . -B build/tsan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DCORVINA_WERROR=ON \
	  -DCORVINA_SANITIZE=thread >/dev/null
	@cmake --build build/tsan -j $(JOBS) --target corvina_threads_tests
	@ctest --test-dir build/tsan --output-on-failure -j $(JOBS) -L threads

# libFuzzer targets (clang) under the address and undefined-behaviour
# sanitizers, FUZZ_SECONDS each, two at a time.
FUZZ_SECONDS ?= 60
test-fuzz: deps
	@cmake -S . -B build/fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVINA_WERROR=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCORVINA_BUILD_UI=OFF \
	  -DCORVINA_SANITIZE=address,undefined -DCORVINA_FUZZ=ON -DCORVINA_FUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	@cmake --build build/fuzz -j $(JOBS) --target corvina_fuzz
	@ctest --test-dir build/fuzz --output-on-failure -j $(JOBS) -L fuzz

# Installs the meter and its capture helper, gives the helper alone the one
# capability capture needs (the program loads code its environment names,
# so it must hold none) and starts the meter.
run: configure
	@cmake --build build/release -j $(JOBS) --target corvina corvina-capture
	@mkdir -p "$(PREFIX)"
	@install -m 0755 build/release/ui/corvina "$(PREFIX)/corvina"
	@install -m 0755 build/release/ui/corvina-capture "$(PREFIX)/corvina-capture"
	@$(SUDO) setcap cap_net_raw+ep "$(PREFIX)/corvina-capture"
	@"$(PREFIX)/corvina"

clean:
	rm -rf build
