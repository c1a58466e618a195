# "Velmora One, The Trailer": one-command build, run, install and test.
#   make                  install what the build needs (Debian/Ubuntu), configure and build in build/
#   make run              ... and start the show; without a display, export it to build/velmora-trailer.mp4
#   make install          ... and install it under PREFIX (default /usr/local)
#   make deb              ... and build the Debian package build/velmora-trailer_VERSION_ARCH.deb
#   make web              ... and the page in build/web: the show compiled to WebAssembly
#   make serve            serve build/web on http://127.0.0.1:PORT/ (default 8000)
#   make test             ... also install the test tools, run the whole suite headless, then once more
#                         under AddressSanitizer and UndefinedBehaviorSanitizer, then the audio
#                         layer's tests under ThreadSanitizer, then the fuzzers
# cmake and ctest by hand keep working: cmake -S . -B build && cmake --build build.

BUILD_PACKAGES := build-essential cmake pkg-config \
	libsdl2-dev libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri \
	libmpg123-dev libmp3lame-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core libpng-dev libgles-dev \
	libavformat-dev libavcodec-dev libswscale-dev libavutil-dev libpulse-dev libsystemd-dev \
	dpkg-dev file
# The page (make web): emscripten compiles the show, its optimiser needs
# node's acorn; Python serves the page (make serve).
WEB_PACKAGES := emscripten node-acorn python3
TEST_PACKAGES := libgtest-dev libbenchmark-dev chromium \
	xvfb xauth xdotool x11-utils openbox imagemagick weston pulseaudio pulseaudio-utils ffmpeg \
	pipewire wireplumber pipewire-pulse dbus playerctl python3 \
	clang libclang-rt-14-dev assimp-utils \
	lintian desktop-file-utils appstream man-db groff-base

BUILD      := build
WEB_BUILD  := $(BUILD)/web-build
PORT       ?= 8000
ASAN_BUILD := build-asan
TSAN_BUILD := build-tsan
FUZZ_BUILD := build-fuzz
PREFIX     ?= /usr/local
JOBS       := $(shell nproc 2>/dev/null || echo 2)
SUDO       := $(shell [ "$$(id -u 2>/dev/null)" = 0 ] || echo sudo)

.PHONY: all deps test-deps web-deps build run install deb web serve test test-asan test-tsan fuzz clean

all: build

# Installs the missing ones of $(1) on Debian and Ubuntu; elsewhere lists them
# and goes on with what is there.
define install_packages
	@if ! command -v dpkg-query >/dev/null 2>&1; then \
	  echo "No dpkg-query here (not Debian or Ubuntu): install these or your system's equivalents yourself:"; \
	  echo "  $(1)"; \
	  echo "Going on with what is installed."; \
	else \
	  missing=$$(for p in $(1); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	  if [ -n "$$missing" ]; then \
	    echo "Installing missing packages:" $$missing; \
	    $(SUDO) apt-get update && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y $$missing; \
	  fi; \
	fi
endef

deps:
	$(call install_packages,$(BUILD_PACKAGES))

test-deps: deps web-deps
	$(call install_packages,$(TEST_PACKAGES))

web-deps:
	$(call install_packages,$(WEB_PACKAGES))

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  cd $(BUILD) && ./velmora-trailer; \
	else \
	  echo "make run: no display (DISPLAY and WAYLAND_DISPLAY are unset): exporting the show to a video instead."; \
	  $(BUILD)/velmora-trailer-tool video $(BUILD)/velmora-trailer.mp4 && \
	  echo "The show is in $(CURDIR)/$(BUILD)/velmora-trailer.mp4"; \
	fi

# The installed show finds its data in PREFIX/share/velmora-trailer from any folder.
install: build
	$(if $(filter-out $(HOME)/% /tmp/%,$(PREFIX)),$(SUDO)) cmake --install $(BUILD) --prefix $(PREFIX)

# The package, with the metainfo's screenshot beside it (build/screenshot.png).
deb: build
	cmake --build $(BUILD) --target screenshot
	cd $(BUILD) && cpack -G DEB

# The page in build/web: the show compiled to WebAssembly with the web
# platform layer, the page, and the data package the native build makes.
# Debian's node is not always the node on PATH: its acorn is found either way.
EMSCRIPTEN_ENV := NODE_PATH=/usr/share/nodejs$${NODE_PATH:+:$$NODE_PATH}
web: build web-deps
	cmake --build $(BUILD) --target pagepack baked_glyphs
	$(EMSCRIPTEN_ENV) emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release \
	  -DTRAILER_NATIVE_BUILD=$(CURDIR)/$(BUILD) -DTRAILER_WEB_OUT=$(CURDIR)/$(BUILD)/web
	$(EMSCRIPTEN_ENV) cmake --build $(WEB_BUILD) -j $(JOBS)

serve:
	@[ -f $(BUILD)/web/index.html ] || { echo "make serve: no page in $(BUILD)/web yet: run make web first"; exit 1; }
	@echo "The show is at http://127.0.0.1:$(PORT)/ (Ctrl-C stops the server)"
	@cd $(BUILD)/web && python3 -m http.server $(PORT) --bind 127.0.0.1

test: test-deps build web
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
