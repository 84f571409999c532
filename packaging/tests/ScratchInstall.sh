# Sourced by the install checks: the build ($1) installed into a scratch
# prefix ($prefix, removed on exit), and fail, which counts in $failures.
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
