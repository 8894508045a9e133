# The two commands of the README:
#   make run   installs what is missing, builds, starts the workstation
#   make test  installs what is missing, builds with the sanitizers, runs every test
.PHONY: run test deps build-release build-test

JOBS ?= $(shell nproc)
RELEASE_DIR := build/release
TEST_DIR := build/test

deps:
	@bash scripts/install-deps.sh

build-release: deps
	@cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DKESTROVA_TESTS=OFF -DKESTROVA_BENCH=ON >/dev/null
	@cmake --build $(RELEASE_DIR) -j $(JOBS) --target kestrova

# The program keeps its database and patient folders beside itself, so it runs from
# its own folder outside build/ (wiping a build never touches patient data).
PROGRAM_DIR := workstation

run: build-release
	@mkdir -p $(PROGRAM_DIR)
	@cp -f $(RELEASE_DIR)/bin/kestrova $(PROGRAM_DIR)/kestrova
	cd $(PROGRAM_DIR) && ./kestrova

build-test: deps
	@cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTROVA_SANITIZE=ON -DKESTROVA_TESTS=ON -DKESTROVA_BENCH=ON >/dev/null
	@cmake --build $(TEST_DIR) -j $(JOBS)

test: build-test
	@cd $(TEST_DIR) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  xvfb-run -a -s "-screen 0 1600x1000x24" \
	  ctest --output-on-failure -j $(JOBS)
