# The README's commands. Every target sets up missing packages first, so a
# fresh Debian machine needs nothing but make.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: all setup configure build run check test asan tsan bench fuzz format clean deb

all: build

setup:
	@bash scripts/setup

configure: setup
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -x $(BUILD)/bin/kv ]; then $(BUILD)/bin/kv; \
	else echo "kv is not built yet: only the pixkit library exists so far."; fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The pixkit tests once more, under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: setup
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	    -DVM_SANITIZE=ON -DVM_BUILD_APP=OFF -DVM_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=allocator_may_return_null=1 ctest --output-on-failure -j $(JOBS) -L pixkit

# Work split over threads (pixkit's bands), under ThreadSanitizer.
tsan: setup
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DVM_SANITIZE_THREAD=ON -DVM_BUILD_APP=OFF -DVM_BUILD_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target test_threads
	$(TSAN_BUILD)/tests/test_threads

check: test asan tsan fuzz

bench: build
	bash bench/run_all.sh $(BUILD)

# A short smoke run of every fuzz target (clang, libFuzzer, ASan+UBSan).
fuzz: setup
	cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DVM_FUZZ=ON -DVM_BUILD_APP=OFF -DVM_BUILD_BENCH=OFF -DVM_BUILD_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	bash fuzz/smoke.sh $(FUZZ_BUILD) $${FUZZ_SECONDS:-20}

# The Debian package vellumatic_<version>_<arch>.deb in the build folder,
# checked with dpkg-deb and lintian. Install with apt install ./build/vellumatic_*.deb;
# a plain cmake --install is undone with xargs rm < build/install_manifest.txt.
deb: build
	rm -f $(BUILD)/vellumatic_*.deb
	cd $(BUILD) && cpack -G DEB
	bash packaging/deb_check.sh $$(ls $(BUILD)/vellumatic_*.deb)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
