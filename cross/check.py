"""Cross builds for the platforms this machine is not: the module compiled with warnings as errors
and linked for Windows, macOS and musl Linux, on x86-64 and ARM64, by Zig's clang, against each
platform's own CPython headers (with the pyconfig.h that platform's build writes) and OpenSSL
headers (with the configuration.h of OpenSSL configured for that target); each module must export
its init function and nothing else. With --windows-tests, the C++ tests of the cryptographic core
are built for x86-64 Windows against a libcrypto cross-built by MinGW-w64, and run under Wine.

Third-party material is prepared once per machine under CACHE, keyed by its version: the upstream
sources of Debian's python3.13 and openssl packages, each target's headers and link libraries, the
Windows libcrypto and GoogleTest.

Usage: check.py --cache DIR --build DIR [--windows-tests] [TARGET...]
"""

import argparse
import concurrent.futures
import os
import pathlib
import re
import shutil
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[1]
LLVM = pathlib.Path("/usr/lib/llvm-19/bin")
CPYTHON = ("python3.13", ["forky"])
OPENSSL = ("openssl", ["bookworm", "bookworm-security"])
GTEST_SOURCE = pathlib.Path("/usr/src/googletest")
# A CPython of the headers' version, which configure asks for when it cross-compiles.
BUILD_PYTHON = None


def macos_deployment_targets():
    """The deployment target of each macOS wheel, as pyproject.toml's overrides set it."""
    text = (ROOT / "pyproject.toml").read_text()
    found = re.findall(r'select = "\*-macosx_(\w+)"\s*\nenvironment = \{ MACOSX_DEPLOYMENT_TARGET = '
                       r'"([0-9.]+)"', text)
    return {("aarch64" if arch == "arm64" else arch): version for arch, version in found}


class Target:
    def __init__(self, name, system, arch, zig, openssl, soabi):
        self.name, self.system, self.arch = name, system, arch
        self.zig, self.openssl, self.soabi = zig, openssl, soabi


def targets():
    mac = macos_deployment_targets()
    return [
        Target("x86_64-windows", "Windows", "x86_64", "x86_64-windows-gnu", "mingw64",
               "cp313-win_amd64"),
        Target("aarch64-windows", "Windows", "aarch64", "aarch64-windows-gnu", "mingwarm64",
               "cp313-win_arm64"),
        Target("x86_64-macos", "Darwin", "x86_64", f"x86_64-macos.{mac['x86_64']}",
               "darwin64-x86_64-cc", "cpython-313-darwin"),
        Target("aarch64-macos", "Darwin", "aarch64", f"aarch64-macos.{mac['aarch64']}",
               "darwin64-arm64-cc", "cpython-313-darwin"),
        Target("x86_64-musl", "Linux", "x86_64", "x86_64-linux-musl", "linux-x86_64",
               "cpython-313-x86_64-linux-musl"),
        Target("aarch64-musl", "Linux", "aarch64", "aarch64-linux-musl", "linux-aarch64",
               "cpython-313-aarch64-linux-musl"),
    ]


def run(command, **kwargs):
    kwargs.setdefault("check", True)
    return subprocess.run([str(c) for c in command], **kwargs)


def zig_version():
    return run([sys.executable, "-m", "ziglang", "version"], capture_output=True,
               text=True).stdout.strip()


def wrappers(folder, target):
    """Scripts that run Zig's compilers for the target (CMake wants one program per language)."""
    folder.mkdir(parents=True, exist_ok=True)
    made = {}
    for tool in ("cc", "c++"):
        path = folder / f"zig-{tool}-{target.name}"
        path.write_text(f'#!/bin/sh\nexec "{sys.executable}" -m ziglang {tool} '
                        f'-target {target.zig} "$@"\n')
        path.chmod(0o755)
        made[tool] = path
    if target.system == "Darwin":
        arch = "arm64" if target.arch == "aarch64" else target.arch
        path = folder / f"ld-{target.name}"
        path.write_text(f'#!/bin/sh\nexec {LLVM}/clang --target={arch}-apple-macos'
                        f'{target.zig.partition(".")[2]} -fuse-ld=lld -nostdlib++ '
                        f'-L"{folder}" -Wno-unused-command-line-argument "$@"\n')
        path.chmod(0o755)
        made["ld"] = path
        # Zig's libSystem stubs, less the architecture names that LLVM 19 does not know.
        stubs = pathlib.Path(run([sys.executable, "-c", "import ziglang, os; print(os.path."
                                  "dirname(ziglang.__file__))"], capture_output=True,
                                 text=True).stdout.strip()) / "lib/libc/darwin/libSystem.tbd"
        text = re.sub(r",? *arm64e\.x1-(macos|maccatalyst)", "", stubs.read_text())
        (folder / "libSystem.tbd").write_text(text)
    return made


def fetch(cache, package, suites):
    out = run([ROOT / "cross/fetch_source.sh", cache, package, *suites], capture_output=True,
              text=True)
    return pathlib.Path(out.stdout.strip())


def symbols_of_headers(include):
    """What python3XY.dll exports: every PyAPI_FUNC and PyAPI_DATA its headers declare."""
    declared = re.compile(r"PyAPI_(FUNC|DATA)\((?:[^()]|\([^()]*\))*\)\s*(?:\w+\s+)*?\**\s*(\w+)")
    names = {}
    for header in include.rglob("*.h"):
        for kind, name in declared.findall(header.read_text(errors="replace")):
            names[name] = kind
    return names


def import_library(target, dll, symbols, out):
    """A Windows import library for `dll`, from the names it exports."""
    definition = out.with_suffix(".def")
    lines = [f"LIBRARY {dll}", "EXPORTS"]
    lines += [f"    {name}{' DATA' if kind == 'DATA' else ''}" for name, kind in sorted(symbols.items())]
    definition.write_text("\n".join(lines) + "\n")
    machine = "i386:x86-64" if target.arch == "x86_64" else "arm64"
    run([LLVM / "llvm-dlltool", "-m", machine, "-d", definition, "-l", out, "-D", dll])


def libcrypto_symbols(openssl_source):
    """libcrypto's exported functions and data, from OpenSSL's own list of them."""
    names = {}
    for line in (openssl_source / "util/libcrypto.num").read_text().splitlines():
        fields = line.split()
        if len(fields) >= 4 and not fields[0].startswith("#"):
            names[fields[0]] = "DATA" if fields[3].startswith("EXIST::VARIABLE") else "FUNC"
    return names


def pyconfig(target, cpython, tools, out, log):
    """The pyconfig.h of the target's CPython build: Windows keeps its own (PC/pyconfig.h.in);
    elsewhere it is what CPython's configure writes when it runs with the target's compiler.
    configure refuses a macOS host when cross-compiling, so its copy here learns that macOS
    (Darwin 23, the deployment targets' era) is one."""
    if target.system == "Windows":
        shutil.copy(cpython / "PC/pyconfig.h.in", out / "pyconfig.h")
        return
    work = out.parent / "configure"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    script = (cpython / "configure").read_text()
    env = dict(os.environ, CC=str(tools["cc"]))
    host = f"{target.arch}-linux-musl"
    if target.system == "Darwin":
        host = f"{target.arch}-apple-darwin"
        for anchor, added in [
            ("\t*-apple-ios*)\n\t\tac_sys_system=iOS\n\t\t;;\n",
             "\t*-apple-darwin*)\n\t\tac_sys_system=Darwin\n\t\t;;\n"),
            ("\t*-*-cygwin*)\n\t\t_host_ident=\n\t\t;;\n",
             "\t*-apple-darwin*)\n\t\t_host_ident=$host_cpu\n\t\t;;\n"),
        ]:
            assert script.count(anchor) == 1, f"configure changed: {anchor!r}"
            script = script.replace(anchor, anchor + added)
        script = script.replace("\tac_sys_release=\n", "\tac_sys_release=23.0\n", 1)
        env["MACOSX_DEPLOYMENT_TARGET"] = target.zig.split(".", 1)[1]
    configure = cpython / f"configure-{target.name}"
    configure.write_text(script)
    configure.chmod(0o755)
    run([configure, "-q", f"--host={host}", "--build=x86_64-linux-gnu",
         f"--with-build-python={BUILD_PYTHON}", "--without-ensurepip",
         "ac_cv_file__dev_ptmx=no", "ac_cv_file__dev_ptc=no", "ac_cv_buggy_getaddrinfo=no"],
        cwd=work, env=env, stdout=log, stderr=log)
    shutil.copy(work / "pyconfig.h", out / "pyconfig.h")
    shutil.rmtree(work)


def openssl_headers(target, source, out, log):
    """OpenSSL's public headers with those generated for the target (configuration.h above
    all). MinGW on ARM64 has no configuration in OpenSSL 3.0: cross/openssl-targets.conf adds
    the one later releases have."""
    work = out.parent / "openssl-configure"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    run(["perl", source / "Configure", f"--config={ROOT / 'cross/openssl-targets.conf'}",
         target.openssl, "no-asm"], cwd=work, stdout=log, stderr=log)
    shutil.copytree(source / "include", out / "include")
    for template in (source / "include/openssl").glob("*.h.in"):
        generated = out / "include/openssl" / template.name.removesuffix(".in")
        with open(generated, "w") as header:
            run(["perl", f"-I{work}", "-Mconfigdata", source / "util/dofile.pl",
                 "-oMakefile", template], cwd=work, stdout=header, stderr=log)
    shutil.rmtree(work)


def link_stub(target, tools, symbols, out):
    """A libcrypto of empty functions with OpenSSL's exported names, to link against."""
    source = out.parent / "libcrypto_stub.c"
    source.write_text("".join(f"void {name}(void) {{}}\n" for name, kind in symbols.items()
                              if kind == "FUNC") +
                      "".join(f"char {name}[8];\n" for name, kind in symbols.items()
                              if kind == "DATA"))
    shared = ["-dynamiclib", "-install_name", "@rpath/libcrypto.3.dylib"] \
        if target.system == "Darwin" else ["-shared", "-Wl,-soname,libcrypto.so.3"]
    run([tools["cc"], "-w", *shared, "-o", out, source])


def prepare(target, cache, cpython, openssl, tools):
    """The target's headers and link libraries, made once per version of everything used."""
    root = cache / "cross" / f"{target.zig}-{cpython.name}-{openssl.name}-zig{zig_version()}"
    if (root / ".done").exists():
        return root
    shutil.rmtree(root, ignore_errors=True)
    (root / "python/include").mkdir(parents=True)
    (root / "openssl/lib").mkdir(parents=True)
    with open(root.parent / f"{root.name}.log", "w") as log:
        shutil.copytree(cpython / "Include", root / "python/include", dirs_exist_ok=True)
        pyconfig(target, cpython, tools, root / "python/include", log)
        openssl_headers(target, openssl, root / "openssl", log)
        crypto = libcrypto_symbols(openssl)
        if target.system == "Windows":
            (root / "python/libs").mkdir()
            import_library(target, "python313.dll", symbols_of_headers(cpython / "Include"),
                           root / "python/libs/python313.lib")
            # CMake's FindPython takes a library for a shared one when its DLL lies beside it.
            (root / "python/libs/python313.dll").touch()
            dll = "libcrypto-3-x64.dll" if target.arch == "x86_64" else "libcrypto-3-arm64.dll"
            import_library(target, dll, crypto, root / "openssl/lib/libcrypto.dll.a")
        elif target.system == "Darwin":
            link_stub(target, tools, crypto, root / "openssl/lib/libcrypto.3.dylib")
            (root / "openssl/lib/libcrypto.dylib").symlink_to("libcrypto.3.dylib")
        else:
            link_stub(target, tools, crypto, root / "openssl/lib/libcrypto.so.3")
            (root / "openssl/lib/libcrypto.so").symlink_to("libcrypto.so.3")
    (root / ".done").touch()
    return root


def cmake_configure(target, build, root, tools, extra=()):
    run(["cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "--toolchain", ROOT / "cross/zig.cmake",
         f"-DDALLOWGATE_ZIG_CXX={tools['c++']}", f"-DDALLOWGATE_ZIG_CC={tools['cc']}",
         f"-DDALLOWGATE_CROSS_SYSTEM={target.system}", f"-DDALLOWGATE_CROSS_ARCH={target.arch}",
         f"-DDALLOWGATE_CROSS_ROOT={root}", f"-DDALLOWGATE_LLVM_BIN={LLVM}",
         *([f"-DDALLOWGATE_CROSS_MACOS={target.zig.partition('.')[2]}",
            f"-DDALLOWGATE_MACOS_LINK={tools['ld']}"] if target.system == "Darwin" else []),
         f"-DPython_SOABI={target.soabi}", "-DDALLOWGATE_WERROR=ON", *extra],
        stdout=subprocess.DEVNULL)


def exported(module, system):
    """The names the module exports."""
    if system == "Windows":
        text = run([LLVM / "llvm-readobj", "--coff-exports", module], capture_output=True,
                   text=True).stdout
        return re.findall(r"Name: (\S+)", text)
    flags = ["--extern-only", "--defined-only"] + (["-D"] if system == "Linux" else [])
    text = run([LLVM / "llvm-nm", *flags, module], capture_output=True, text=True).stdout
    return [line.split()[-1] for line in text.splitlines() if line.strip()]


# What a module may import: the interpreter, libcrypto and the system's own libraries. On macOS
# the C++ library's names, like the interpreter's, are bound at load time.
WINDOWS_DLLS = re.compile(r"python313\.dll|libcrypto-3-(x64|arm64)\.dll|KERNEL32\.dll|bcrypt\.dll|"
                          r"ADVAPI32\.dll|api-ms-win-crt-[a-z]+-l1-1-0\.dll", re.I)
ELF_NEEDED = {"libc.so", "libcrypto.so.3"}
CXX_RUNTIME = re.compile(r"__Z|___cxa_|___gxx_personality|__Unwind_|___dso_handle")


def unexpected_imports(module, system, python_api):
    """The libraries or names the module takes from elsewhere than it should."""
    if system == "Windows":
        text = run([LLVM / "llvm-objdump", "-p", module], capture_output=True, text=True).stdout
        return [d for d in re.findall(r"DLL Name: (\S+)", text) if not WINDOWS_DLLS.fullmatch(d)]
    if system == "Linux":
        text = run([LLVM / "llvm-readelf", "-d", module], capture_output=True, text=True).stdout
        return sorted(set(re.findall(r"Shared library: \[(\S+)\]", text)) - ELF_NEEDED)
    text = run([LLVM / "llvm-nm", "-m", "-u", module], capture_output=True, text=True).stdout
    looked_up = re.findall(r"external (\S+) \(dynamically looked up\)", text)
    return [n for n in looked_up if not CXX_RUNTIME.match(n) and n[1:] not in python_api]


def build_module(target, cache, build, cpython, openssl):
    tools = wrappers(build / "tools", target)
    root = prepare(target, cache, cpython, openssl, tools)
    folder = build / target.name
    cmake_configure(target, folder, root, tools)
    log = run(["cmake", "--build", folder, "--target", "dallowgate"], capture_output=True,
              text=True, check=False)
    if log.returncode:
        return target, None, log.stdout[-6000:] + log.stderr[-2000:]
    module = next(p for p in folder.iterdir() if p.name.startswith("dallowgate.")
                  and p.suffix in (".pyd", ".so"))
    compiled = len(list(folder.glob("CMakeFiles/*.dir/src/**/*.o*")))
    return target, module, compiled


def windows_tests(cache, build, cpython, openssl):
    """The core's C++ tests for x86-64 Windows, run under Wine (the x64 calling convention,
    BCryptGenRandom and the CPU-feature record on Windows)."""
    target = targets()[0]
    tools = wrappers(build / "tools", target)
    root = prepare(target, cache, cpython, openssl, tools)
    libcrypto = pathlib.Path(run([ROOT / "cross/openssl_mingw.sh", cache, openssl],
                                 capture_output=True, text=True).stdout.strip())
    gtest = googletest(cache, build, target, tools)
    folder = build / "windows-tests"
    wine = WinePrefix(build / "wine", libcrypto / "bin")
    cmake_configure(target, folder, root, tools, [
        "-DDALLOWGATE_TESTS=ON", "-DDALLOWGATE_PYTHON=OFF", f"-DGTest_DIR={gtest}/lib/cmake/GTest",
        f"-DOPENSSL_ROOT_DIR={libcrypto}", f"-DDALLOWGATE_CROSS_EXTRA_ROOTS={libcrypto};{gtest}",
        f"-DCMAKE_CROSSCOMPILING_EMULATOR={';'.join(wine.command)}"])
    run(["cmake", "--build", folder], env=wine.env)  # the tests are listed by running them
    return run(["ctest", "--test-dir", folder, "--output-on-failure", "-j2"], env=wine.env,
               check=False).returncode


class WinePrefix:
    """Debian's Wine with a prefix of its own, made on first use."""

    def __init__(self, folder, dlls):
        self.env = dict(os.environ, WINEPREFIX=str(folder), WINEDEBUG="-all", WINEARCH="win64",
                        WINEPATH=str(dlls))
        wine = shutil.which("wine64") or "/usr/lib/wine/wine64"
        self.command = [wine]
        if not (folder / "system.reg").exists():
            folder.mkdir(parents=True, exist_ok=True)
            run([wine, "wineboot", "--init"], env=self.env, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL)


def googletest(cache, build, target, tools):
    """GoogleTest from Debian's source package (googletest), built for the target once."""
    version = run(["dpkg-query", "-W", "-f=${Version}", "googletest"], capture_output=True,
                  text=True).stdout.strip()
    prefix = cache / "cross" / f"googletest-{version}-{target.name}-zig{zig_version()}"
    if not (prefix / ".done").exists():
        work = build / "googletest"
        run(["cmake", "-S", GTEST_SOURCE, "-B", work, "-G", "Ninja", "--toolchain",
             ROOT / "cross/zig.cmake", f"-DDALLOWGATE_ZIG_CXX={tools['c++']}",
             f"-DDALLOWGATE_ZIG_CC={tools['cc']}", f"-DDALLOWGATE_CROSS_SYSTEM={target.system}",
             f"-DDALLOWGATE_CROSS_ARCH={target.arch}", f"-DDALLOWGATE_CROSS_ROOT={prefix}",
             f"-DDALLOWGATE_LLVM_BIN={LLVM}", "-DBUILD_GMOCK=OFF", "-DCMAKE_BUILD_TYPE=Release",
             f"-DCMAKE_INSTALL_PREFIX={prefix}", "-Wno-dev", "-Wno-deprecated"],
            stdout=subprocess.DEVNULL)
        run(["cmake", "--build", work, "--target", "install"], stdout=subprocess.DEVNULL)
        (prefix / ".done").touch()
    return prefix


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cache", type=pathlib.Path, required=True)
    parser.add_argument("--build", type=pathlib.Path, required=True)
    parser.add_argument("--windows-tests", action="store_true")
    parser.add_argument("--build-python", help="a CPython 3.13, for CPython's configure")
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()
    global BUILD_PYTHON
    BUILD_PYTHON = args.build_python
    cache, build = args.cache.resolve(), args.build.resolve()
    cache.mkdir(parents=True, exist_ok=True)
    # Zig's own builds for each target (its C and C++ libraries) are kept there too.
    os.environ.setdefault("ZIG_GLOBAL_CACHE_DIR", str(cache / "zig"))
    cpython = fetch(cache, *CPYTHON)
    openssl = fetch(cache, *OPENSSL)
    if args.windows_tests:
        return windows_tests(cache, build, cpython, openssl)
    chosen = [t for t in targets() if not args.names or t.name in args.names]
    python_api = symbols_of_headers(cpython / "Include")
    failures = 0
    # Two at a time: configure runs (first use) are serial, compiles parallel within a build.
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        for target, module, result in pool.map(
                lambda t: build_module(t, cache, build, cpython, openssl), chosen):
            if module is None:
                print(f"{target.name}: build failed\n{result}")
                failures += 1
                continue
            names = exported(module, target.system)
            init = "PyInit_dallowgate" if target.system != "Darwin" else "_PyInit_dallowgate"
            stray = unexpected_imports(module, target.system, python_api)
            ok = names == [init] and not stray
            failures += not ok
            print(f"{target.name:16} {module.name:44} {result} files, exports "
                  f"{', '.join(names) or 'nothing'}"
                  f"{'' if names == [init] else '  <- expected ' + init + ' alone'}"
                  f"{'  imports unexpected ' + ', '.join(stray) if stray else ''}")
    print(f"cross: {len(chosen) - failures} of {len(chosen)} targets built and linked, "
          f"each exporting its init function alone" if not failures else
          f"cross: {failures} of {len(chosen)} targets failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
