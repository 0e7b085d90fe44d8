# Two entry points: `make demo` opens the repair window on a demo install
# folder; `make test` builds and runs every test headless.
SHELL := /bin/bash
BUILD_DIR ?= build
DEMO_ROOT ?= /tmp/VYR10
JOBS ?= 2
WINDOWS_BUILD_DIR ?= build-windows

.PHONY: all deps configure build test demo package bench reliability damage windows windows-test fresh-check clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVYR_WARNINGS_AS_ERRORS=$(if $(CI),ON,OFF) > /dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest -j $(JOBS) --output-on-failure

# Only what the window needs (the program, its engine, the demo database
# maker), not the tests.
demo: configure
	@echo "Building the repair program (the first build takes a few minutes)..."
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target vyr-repair ScriptEngine make_vyr_database
	@scripts/make-demo.sh "$(DEMO_ROOT)" "$(BUILD_DIR)" > /dev/null
	@scripts/run-demo.sh "$(BUILD_DIR)" "$(DEMO_ROOT)"

# The Debian package, in the build folder: vyr-repair_VERSION_amd64.deb.
package: build
	@cd $(BUILD_DIR) && cpack -G DEB

bench: build
	@cmake --build $(BUILD_DIR) --target benchmarks -j $(JOBS)
	@for b in $(BUILD_DIR)/bench/bench_*; do echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b; done

# The kill campaign: the repair's process group killed at 60+ points of a
# 20,000-row repair, each followed by reruns; then the two-run campaign: a
# second repair started at each of those points of a first (every third
# first run killed after the refusal, then repaired again). Prints figures.
reliability: build
	@VYR_KILL_CAMPAIGN=1 $(BUILD_DIR)/tests/kill_tests --gtest_filter='KillTest.Campaign:TwoRuns.Campaign'

# Seeded physical damage, each case repaired by the repair and by an expert's
# procedure with the same tools; prints both and the totals (about 15 minutes).
damage: build
	@scripts/damage-campaign.sh $(BUILD_DIR)

# The core cross-compiled for 64-bit Windows (mingw-w64), and its tests run
# under wine.
windows:
	@scripts/install-deps.sh windows
	@cmake -S . -B $(WINDOWS_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DVYR_WARNINGS_AS_ERRORS=$(if $(CI),ON,OFF) > /dev/null
	@cmake --build $(WINDOWS_BUILD_DIR) -j $(JOBS)

windows-test: windows
	@scripts/windows-test.sh $(WINDOWS_BUILD_DIR)

# The README's two commands in a fresh minbase Debian 12 root (debootstrap,
# cached in /var/cache/vyr-fresh-check), from a clean clone of the committed
# work, as root with no locale: prints each command's time and exit status.
fresh-check:
	@scripts/fresh-check.sh

clean:
	@rm -rf $(BUILD_DIR) $(WINDOWS_BUILD_DIR)
