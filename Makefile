# One-word entries for the README's commands. Every target installs what it
# needs first (Debian packages and deb-src entries), and each build makes
# PCRE as a build step (into build/pcre/, shared by the builds of a clone),
# so each works on a fresh machine.
JOBS ?= 2
CTEST = ctest --output-on-failure -j $(JOBS)

.PHONY: all run test dll release deps native i386 win32 fuzz bench test-native test-i386 \
        test-win32 test-fuzz test-valgrind test-reproducible install format clean

all: native

deps:
	bash scripts/install-deps.sh

build/%/CMakeCache.txt: | deps
	cmake --preset $* >/dev/null

native i386 win32 fuzz: %: deps build/%/CMakeCache.txt
	cmake --build build/$@ -j $(JOBS)

# The main job: the host simulator on its embedded default rules, showing the
# plug-in's log and each rule that fires. Builds only what it runs: the
# program, the plug-in and its Win32 stand-in, in the native build, where
# make test finds them built.
RUN_MESSAGES ?= "Wogóle nie wiem czy sie uda , moze jutro" "Dzieki  za wszystko , narazie!"
run: deps build/native/CMakeCache.txt
	cmake --build build/native -j $(JOBS) --target quillmax-host
	build/native/quillmax-host --log correct --trace $(RUN_MESSAGES)

# The DLL and its SHA-256: the same commit gives the same sum from any clone.
dll: win32
	@echo "built build/win32/Quillmax.dll"
	@sha256sum build/win32/Quillmax.dll

# dist/Quillmax-<version>-win32.zip: the DLL, its notes for the user, the
# licence notices of what it links and SHA256SUMS (built with the DLL).
release: win32
	rm -rf dist && mkdir -p dist
	cp build/win32/release/Quillmax-*-win32.zip dist/
	@sha256sum build/win32/Quillmax.dll dist/Quillmax-*-win32.zip

# The DLL and the archive built again from a fresh clone of this commit, at
# a path holding a space, and compared byte for byte with build/win32's.
test-reproducible: win32
	JOBS=$(JOBS) bash scripts/check-reproducible.sh

# The protocol and PE loader tests run the win32 build's DLL.
test-native: native win32
	cd build/native && $(CTEST)

test-i386: i386
	cd build/i386 && $(CTEST)

test-win32: win32
	cd build/win32 && $(CTEST)

# A short, fixed fuzzing run of each target under AddressSanitizer; a hang
# guard of a few seconds an input. The step-cost target runs a rule over
# 64 KB to 1 MB for each input, a few inputs a second: its runs take about
# two minutes here; raise FUZZ_STEP_COST_RUNS for a long hunt. A rule needs
# only a few pieces, so its inputs are short from the start; its hang guard
# lies past the minute after which it reports a substitution itself.
FUZZ_RUNS ?= 20000
FUZZ_STEP_COST_RUNS ?= 300
FUZZ_SEED ?= 1
FUZZ_FLAGS = -runs=$(FUZZ_RUNS) -seed=$(FUZZ_SEED) -timeout=30 -artifact_prefix=build/fuzz/
test-fuzz: fuzz
	mkdir -p build/fuzz/corpus/fuzz_substitute build/fuzz/corpus/fuzz_message \
	  build/fuzz/corpus/fuzz_step_cost
	build/fuzz/fuzz/fuzz_substitute $(FUZZ_FLAGS) -max_len=4096 -dict=fuzz/substitute.dict \
	  build/fuzz/corpus/fuzz_substitute fuzz/corpus/fuzz_substitute
	build/fuzz/fuzz/fuzz_message $(FUZZ_FLAGS) -max_len=2048 -dict=fuzz/substitute.dict \
	  build/fuzz/corpus/fuzz_message fuzz/corpus/fuzz_message
	build/fuzz/fuzz/fuzz_step_cost -runs=$(FUZZ_STEP_COST_RUNS) -seed=$(FUZZ_SEED) -timeout=200 \
	  -artifact_prefix=build/fuzz/ -max_len=48 -len_control=0 -dict=fuzz/step_cost.dict \
	  build/fuzz/corpus/fuzz_step_cost fuzz/corpus/fuzz_step_cost
	cd build/fuzz && $(CTEST)

# The benchmarks, then a long run of messages for the resident size; the
# summary after the table sets each figure against its target. A few minutes.
BENCH_FLAGS ?=
MEMORY_FLAGS ?=
bench: deps build/bench/CMakeCache.txt
	cmake --build build/bench -j $(JOBS) --target quillmax_bench quillmax_memory
	build/bench/bench/quillmax_bench $(BENCH_FLAGS)
	build/bench/bench/quillmax_memory $(MEMORY_FLAGS)

# The simulator's end-to-end tests that take what sanitizers cannot see,
# with every quillmax-host they start, under memcheck: uninitialised bytes
# crossing the plug-in boundary (messages, the log, the settings page, the
# editor's records, a plug-in that gives no result) and the store's file
# handling (saving, locking, unreadable stores). The other host tests run
# under AddressSanitizer and UndefinedBehaviorSanitizer in the native build
# and under qemu in the i386 build; VALGRIND_TESTS=* runs them all here too.
# Any error, or a definite leak, in any of the processes fails, whether or
# not the test looks at that program's exit status (each process reports
# into a log file of its own). Built without sanitizers, which valgrind
# cannot run. One suppression: Debian 12's ld.so compares the RUNPATH
# "$ORIGIN" eight bytes at a time, past the end of its copy, when it loads
# Quillmax.so; memcheck cannot see that this is safe.
VALGRIND_TESTS ?= $(subst $(space),:,$(addprefix QuillmaxHost.,\
  corrects_out_of_the_box_with_the_embedded_rules raw_passes_windows_1250_bytes_both_ways \
  incoming_messages_follow_the_stored_option run_only_rules_apply_but_never_reach_the_store \
  log_shows_the_plugin_lines_in_utf8 \
  store_round_trip_through_the_plugins_editor page_lists_columns_then_elements_in_groups \
  unreadable_store_is_an_error_and_left_untouched saving_keeps_the_files_set_up_and_fails_whole \
  read_only_commands_never_write_the_store_or_beside_it overlapping_writers_lose_no_rule \
  plugin_failures_and_lost_output_are_errors))
space := $(subst ,, )
VALGRIND_LOGS = build/bench/valgrind
VALGRIND = valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
           --trace-children=yes --suppressions=build/bench/ld-so.supp \
           --log-file=$(VALGRIND_LOGS)/%p.log
test-valgrind: deps build/bench/CMakeCache.txt
	cmake --build build/bench -j $(JOBS) --target host_test quillmax-host Quillmax
	printf '%s\n' '{' '   ld.so: strncmp over the RUNPATH $$ORIGIN' '   Memcheck:Addr8' \
	  '   fun:strncmp' '   fun:is_dst' '   ...' '}' >build/bench/ld-so.supp
	rm -rf $(VALGRIND_LOGS) && mkdir -p $(VALGRIND_LOGS)
	status=0; $(VALGRIND) build/bench/tests/host_test --gtest_brief=1 \
	  --gtest_filter='$(VALGRIND_TESTS)' || status=$$?; \
	if [ -n "$$(find $(VALGRIND_LOGS) -type f -size +0)" ]; then \
	  cat $(VALGRIND_LOGS)/*.log; echo "test-valgrind: memcheck found errors" >&2; status=1; \
	fi; exit $$status

# Every check. The steps run two at a time, each build with $(JOBS) jobs:
# while one step is in a single-threaded stretch (PCRE's build, a
# fuzzing run, memcheck, the longest test program) the other keeps the
# second core busy. Each step's output is printed whole when it ends.
TEST_STEPS = test-fuzz test-valgrind test-i386 test-win32 test-native test-reproducible
test: deps
	$(MAKE) --no-print-directory -j 2 --output-sync=target $(TEST_STEPS)

# quillmax-host in PREFIX/bin, Quillmax.so with the Win32 stand-in it loads
# in PREFIX/lib/quillmax, the manual page and the bash completion, from the
# optimised build without sanitizers (INSTALL_BUILD names another). DESTDIR
# stages the whole tree under a directory, as a package build does.
PREFIX ?= /usr/local
INSTALL_BUILD ?= bench
install: deps build/$(INSTALL_BUILD)/CMakeCache.txt
	cmake --build build/$(INSTALL_BUILD) -j $(JOBS) --target quillmax-host Quillmax
	DESTDIR="$(DESTDIR)" cmake --install build/$(INSTALL_BUILD) --prefix "$(PREFIX)" \
	  --component quillmax-host --strip

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# build/deps: where PCRE was built before each build made its own.
clean:
	rm -rf build/native build/i386 build/win32 build/fuzz build/bench build/pcre build/deps \
	  build/reproducible dist
