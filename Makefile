# One-word entries for the README's commands. Every target installs what it
# needs first (Debian packages, PCRE builds), so each works on a fresh machine.
JOBS ?= 2
CTEST = ctest --output-on-failure -j $(JOBS)

.PHONY: all run test dll deps native i386 win32 fuzz test-native test-i386 test-win32 \
        test-fuzz format clean

all: native

deps:
	bash scripts/install-deps.sh

build/%/CMakeCache.txt: | deps
	cmake --preset $* >/dev/null

native i386 win32 fuzz: %: deps build/%/CMakeCache.txt
	cmake --build build/$@ -j $(JOBS)

# The main job: the host simulator on its embedded default rules, showing the
# plug-in's log and each rule that fires.
RUN_MESSAGES ?= "Wogóle nie wiem czy sie uda , moze jutro" "Dzieki  za wszystko , narazie!"
run: native
	build/native/quillmax-host --log correct --trace $(RUN_MESSAGES)

dll: win32
	@echo "built build/win32/Quillmax.dll"

test-native: native
	cd build/native && $(CTEST)

test-i386: i386
	cd build/i386 && $(CTEST)

test-win32: win32
	cd build/win32 && $(CTEST)

# A short, fixed fuzzing run of each target under AddressSanitizer; a hang
# guard of a few seconds an input.
FUZZ_RUNS ?= 20000
FUZZ_FLAGS = -runs=$(FUZZ_RUNS) -timeout=30 -artifact_prefix=build/fuzz/
test-fuzz: fuzz
	mkdir -p build/fuzz/corpus/fuzz_substitute build/fuzz/corpus/fuzz_message
	build/fuzz/fuzz/fuzz_substitute $(FUZZ_FLAGS) -max_len=4096 -dict=fuzz/substitute.dict \
	  build/fuzz/corpus/fuzz_substitute fuzz/corpus/fuzz_substitute
	build/fuzz/fuzz/fuzz_message $(FUZZ_FLAGS) -max_len=2048 -dict=fuzz/substitute.dict \
	  build/fuzz/corpus/fuzz_message fuzz/corpus/fuzz_message
	cd build/fuzz && $(CTEST)

test: test-win32 test-i386 test-fuzz test-native

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build/native build/i386 build/win32 build/fuzz
