# Sourced by the build scripts: compile through ccache when it is there, with
# paths taken relative to the checkout, so that a fresh clone hits the cache.
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
fi
