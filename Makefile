# Two commands for a fresh machine: `make run` and `make test`.
BUILD_DIR := build/cmake
WERROR ?= OFF
CMAKE_FLAGS := -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
               -DTESSEL_WERROR=$(WERROR)

.PHONY: setup configure build run test fuzz screenshots bench pictures clean dist

setup:
	@scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -- -j2

run: build
	@scripts/run.sh

# Every test program, four at a time in lanes of their own, with Wine checking the heap.
test: build
	@scripts/test.sh -LE fuzz

# The long tests in full (all generated markup texts, the largest texts, every message box) with
# Wine checking the heap: markup_tests and msgbox_tests with TESSEL_FUZZ_FULL=1.
fuzz: build
	@scripts/test.sh -L fuzz

screenshots: build
	@scripts/screenshots.sh
	@scripts/screenshots-gallery.sh build/tests/effect_gallery.exe effects:15-effects images:16-image-effects
	@scripts/screenshots-gallery.sh build/tests/markup_gallery.exe sample:17-markup
	@scripts/screenshots-gallery.sh build/tests/markup_gallery.exe tables:18-markup-tables
	@scripts/screenshots-gallery.sh build/tests/msgbox_gallery.exe notice:19-message-more question:20-message-question showcase:21-message-box-showcase
	@scripts/screenshots-gallery.sh build/tests/drop_gallery.exe drop:22-drop report:23-report

# Figures, not tests: the batch run against plain copies of the same files, and the drawing
# effects against a plain fill and copy of the same size.
bench: build
	@cd build/bin && TESSEL_TEST_PREFIX=1 ../../scripts/wine-run.sh ../bench/repair_bench.exe
	@cd build/bin && TESSEL_TEST_PREFIX=1 ../../scripts/wine-run.sh ../bench/window_run_bench.exe
	@cd build/bin && TESSEL_TEST_PREFIX=1 ../../scripts/wine-run.sh ../bench/effect_bench.exe
	@cd build/bin && TESSEL_TEST_PREFIX=1 ../../scripts/wine-run.sh ../bench/header_rebuild_bench.exe
	@cd build/bin && TESSEL_TEST_PREFIX=1 ../../scripts/wine-run.sh ../bench/markup_bench.exe
	@cd build/bin && TESSEL_TEST_PREFIX=1 ../../scripts/wine-run.sh ../bench/message_box_bench.exe

# Redraws the pictures in res/pictures (they are committed; the build does not need this).
pictures: setup
	@/usr/bin/python3 scripts/make_pictures.py

clean:
	rm -rf build

# What users get, in build/dist/: the portable zip and the installer, both named with the version.
dist: build
	@scripts/make_dist.sh
