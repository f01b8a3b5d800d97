# Vorlith: one entry point for setting up, building, running and testing.
#   make run       build, start the stand-in web service and open the program against it
#   make standin   build and start the stand-in alone (STANDIN_PORT, default 8080; 0 picks one)
#   make test      install what is missing, build, run every test (offscreen)
#   make sanitize  the same tests under AddressSanitizer + UndefinedBehaviorSanitizer
#   make package   the Debian package build/vorlith_1.04_amd64.deb

BUILD_DIR    ?= build
SANITIZE_DIR ?= build-asan
BUILD_TYPE   ?= RelWithDebInfo
JOBS         ?= $(shell nproc)
STANDIN_PORT ?= 8080
STANDIN_ARGS ?=

# Debian 12 packages the build, the tests and the tools need (xdotool drives the window for the
# README's screenshots).
PACKAGES := build-essential cmake ninja-build pkg-config ccache python3 \
            qt6-base-dev qt6-base-dev-tools qcoro-qt6-dev \
            libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev \
            zlib1g-dev clang libclang-rt-14-dev \
            libwmf-dev fonts-urw-base35 libemf2svg-dev qt6-svg-dev libseccomp-dev \
            libicu-dev python3-pandas imagemagick \
            xvfb xauth fonts-dejavu-core xdotool \
            dpkg-dev desktop-file-utils appstream man-db librsvg2-bin lintian \
            libxlsxwriter-dev python3-openpyxl

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build run standin test package sanitize bench fuzz format clean

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

# What the demo runs, and nothing more: a first window does not wait for the test suite.
RUN_TARGETS := vorlith vorlith-cli vorlith-metafile vorlith-standin

run: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS) --target $(RUN_TARGETS)
	BUILD_DIR='$(BUILD_DIR)' STANDIN_ARGS='$(STANDIN_ARGS)' tools/run-demo.sh

standin: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS) --target vorlith-standin
	./$(BUILD_DIR)/vorlith-standin --port $(STANDIN_PORT) $(STANDIN_ARGS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

package: build
	cmake --build $(BUILD_DIR) --target package

sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVORLITH_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORLITH_BENCH=ON -DVORLITH_TESTS=OFF
	cmake --build build-bench -j $(JOBS)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLITH_FUZZ=ON -DVORLITH_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) build-bench build-fuzz
