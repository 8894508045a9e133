# The two commands of the README:
#   make run   installs what the workstation needs, builds it, starts it
#   make test  also installs the test and reference tools, builds with the sanitizers,
#              runs every test
# Both run no apt at all once everything is installed.
.PHONY: run test deps-run deps-test build-release build-test

JOBS ?= $(shell nproc)
RELEASE_DIR := build/release
TEST_DIR := build/test

deps-run:
	@bash scripts/install-deps.sh run

deps-test:
	@bash scripts/install-deps.sh test

# The workstation alone: no tests, so none of the test tools is required (the benchmarks
# are configured when their library happens to be installed).
build-release: deps-run
	@cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DKESTROVA_TESTS=OFF >/dev/null
	@cmake --build $(RELEASE_DIR) -j $(JOBS) --target kestrova

# The program keeps its database and patient folders beside itself, so it runs from
# its own folder outside build/ (wiping a build never touches patient data).
PROGRAM_DIR := workstation

run: build-release
	@mkdir -p $(PROGRAM_DIR)
	@cp -f $(RELEASE_DIR)/bin/kestrova $(PROGRAM_DIR)/kestrova
	cd $(PROGRAM_DIR) && ./kestrova

build-test: deps-test
	@cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTROVA_SANITIZE=ON -DKESTROVA_TESTS=ON -DKESTROVA_BENCH=ON >/dev/null
	@cmake --build $(TEST_DIR) -j $(JOBS)

test: build-test
	@cd $(TEST_DIR) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  xvfb-run -a -s "-screen 0 1600x1000x24" \
	  ctest --output-on-failure -j $(JOBS)
