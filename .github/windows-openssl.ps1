# OpenSSL 3 for the Windows wheels (cibuildwheel's before-all): vcpkg's openssl port, from the
# vcpkg tree pinned below (OpenSSL 3.6.0), built for this runner's own architecture (x64 or
# arm64) and copied to C:\dallowgate-openssl (include, lib\libcrypto.lib, bin\libcrypto-3-*.dll),
# where pyproject.toml's OPENSSL_ROOT_DIR and the repair step look for it.
$ErrorActionPreference = 'Stop'
$vcpkgCommit = '012c0ef545e1f0183b751fadf24935eefcc26c26'
$vcpkg = 'C:\dallowgate-vcpkg'
$target = 'C:\dallowgate-openssl'
$triplet = if ($env:PROCESSOR_ARCHITECTURE -eq 'ARM64') { 'arm64-windows' } else { 'x64-windows' }

function Invoke-Checked {
    & $args[0] $args[1..($args.Count - 1)]
    if ($LASTEXITCODE -ne 0) { throw "$($args -join ' ') failed with exit code $LASTEXITCODE" }
}

Invoke-Checked git init --quiet $vcpkg
Invoke-Checked git -C $vcpkg fetch --quiet --depth 1 https://github.com/microsoft/vcpkg $vcpkgCommit
Invoke-Checked git -C $vcpkg checkout --quiet FETCH_HEAD
Invoke-Checked "$vcpkg\bootstrap-vcpkg.bat" -disableMetrics
Invoke-Checked "$vcpkg\vcpkg.exe" install "openssl:$triplet" --clean-after-build
Copy-Item -Recurse -Force "$vcpkg\installed\$triplet" $target
Get-ChildItem "$target\bin\libcrypto-3-*.dll", "$target\lib\libcrypto.lib", "$target\include\openssl\evp.h"
