# "Velmora One, The Trailer": one-command build, run and test.
#   make        install what is missing (Debian/Ubuntu), configure and build in build/
#   make run    ... and start the show
#   make test   ... and run the whole suite headless, then once more under
#               AddressSanitizer and UndefinedBehaviorSanitizer, then the audio
#               layer's tests under ThreadSanitizer, then the fuzzers
# cmake and ctest by hand keep working: cmake -S . -B build && cmake --build build.

PACKAGES := build-essential cmake pkg-config \
	libsdl2-dev libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri \
	libmpg123-dev libmp3lame-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core libpng-dev \
	libgtest-dev libbenchmark-dev \
	libpulse-dev pulseaudio pulseaudio-utils \
	xvfb xauth xdotool x11-utils openbox \
	clang libclang-rt-14-dev assimp-utils

BUILD      := build
ASAN_BUILD := build-asan
TSAN_BUILD := build-tsan
FUZZ_BUILD := build-fuzz
JOBS       := $(shell nproc 2>/dev/null || echo 2)
SUDO       := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: all deps build run test test-asan test-tsan fuzz clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:" $$missing; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: no display (DISPLAY and WAYLAND_DISPLAY are unset), so the show has nowhere to play." >&2; \
	  echo "Run it from a desktop session, or look at frames with build/trailer-tool frame." >&2; \
	  exit 1; \
	fi
	cd $(BUILD) && ./trailer

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory test-asan
	$(MAKE) --no-print-directory test-tsan
	$(MAKE) --no-print-directory fuzz

test-asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTRAILER_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The audio layer's tests under ThreadSanitizer, with live audio threads.
test-tsan:
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRAILER_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target trailer_audio_tests
	ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -R '^(LiveAudio\.|FileRates/|Bass\.)'

fuzz:
	@if [ -f tests/fuzz/run.sh ]; then bash tests/fuzz/run.sh $(FUZZ_BUILD) $(JOBS); fi

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
