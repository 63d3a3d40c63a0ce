# Set-up, build and checks. Every target installs what is missing first, so a fresh
# Debian machine needs nothing but `make demo` or `make test`.
PYTHON ?= python3
VENV := .venv
PY := $(VENV)/bin/python
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
CPP_BUILD := build/cpp
DEB_PACKAGES := g++ make cmake ninja-build pkg-config libssl-dev libgtest-dev qemu-user
PY_PACKAGES := scikit-build-core pytest hypothesis numpy cryptography
STAMPS := .stamps

# A CPU model without the AES instructions, for running everything on the portable backend.
NOAESNI_CPU := Nehalem
HOST_ARCH := $(shell uname -m)

.PHONY: demo test test-cpp test-python test-noaesni bench bench-tools install deps clean

demo: install bench-tools
	@for example in examples/*.py; do echo "== $$example"; $(PY) $$example || exit 1; done
	$(PY) bench/run.py --quick

test: test-cpp test-python test-noaesni

test-cpp: deps
	cmake -S . -B $(CPP_BUILD) -G Ninja -DDALLOWGATE_TESTS=ON -DPython_EXECUTABLE=$(abspath $(PY))
	cmake --build $(CPP_BUILD)
	ctest --test-dir $(CPP_BUILD) --output-on-failure

test-python: install
	$(PY) -m pytest -q tests/python

# The module's tests on an emulated CPU without AES-NI (x86-64 hosts only): the CPU check,
# the libcrypto backend and everything above it run as on such a machine.
test-noaesni: install test-cpp
ifeq ($(HOST_ARCH),x86_64)
	qemu-x86_64 -cpu $(NOAESNI_CPU) $(CPP_BUILD)/tests/cpp/dallowgate_tests --gtest_brief=1
	qemu-x86_64 -cpu $(NOAESNI_CPU) $(CPP_BUILD)/tests/cpp/software_erasure_test --gtest_brief=1
	qemu-x86_64 -cpu $(NOAESNI_CPU) $(PY) -m pytest -q -p no:cacheprovider tests/python
else
	@echo "test-noaesni: only on x86-64 hosts"
endif

bench: install bench-tools test-cpp
	$(PY) bench/run.py
	build/bench/sha256_interfaces

bench-tools: build/bench/aes_chain build/bench/sha256_interfaces build/bench/getrandom_cost

build/bench/%: bench/%.cpp
	@mkdir -p build/bench
	g++ -std=c++20 -O2 -Wall -Wextra -Werror $< -o $@ -lcrypto

install: deps
	$(PY) -m pip install --no-build-isolation --no-deps -q .

deps: $(STAMPS)/debian $(STAMPS)/python

# Debian packages; Python's headers come with the interpreter or with python3-dev.
$(STAMPS)/debian:
	@missing=""; for p in $(DEB_PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	$(PYTHON) -c 'import sysconfig, os, sys; sys.exit(not os.path.exists(os.path.join(sysconfig.get_paths()["include"], "Python.h")))' \
	  || missing="$$missing python3-dev"; \
	$(PYTHON) -c 'import venv, ensurepip' 2>/dev/null || missing="$$missing python3-venv"; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi
	@mkdir -p $(STAMPS) && touch $@

$(STAMPS)/python: $(STAMPS)/debian
	$(PYTHON) -m venv $(VENV)
	$(PY) -m pip install -q --upgrade pip
	$(PY) -m pip install -q $(PY_PACKAGES)
	@mkdir -p $(STAMPS) && touch $@

clean:
	rm -rf build $(VENV) $(STAMPS)
