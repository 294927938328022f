# The README's two commands, and a few more for developers. Each installs what is missing.
.PHONY: demo test deps build asan fuzz bench screenshots package clean

# The programs the demo and the package run; the release folder also configures the tests and
# benchmarks (clang-tidy reads its compile commands) but builds them only for `make bench` and CI.
PROGRAMS := --target tessary-sim tessary-quoted tessary_bundle
# Configures the release folder once; later builds configure again by themselves when a
# CMakeLists.txt changes.
RELEASE := test -f build/release/build.ninja || cmake --preset release

demo: deps
	@$(RELEASE)
	cmake --build --preset release $(PROGRAMS)
	scripts/demo build/release

test: build
	ctest --preset dev

deps:
	@scripts/install-deps

build: deps
	cmake --preset dev
	cmake --build --preset dev

asan: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

fuzz: deps
	scripts/run-fuzz

bench: deps
	@$(RELEASE)
	cmake --build --preset release --target keystroke_bench render_bench json_bench
	build/release/bench/keystroke_bench
	build/release/bench/render_bench
	build/release/bench/json_bench

# The README's pictures, into docs/.
screenshots: deps
	@$(RELEASE)
	cmake --build --preset release $(PROGRAMS)
	scripts/screenshots build/release

# The Debian package, tessary_<version>_amd64.deb in build/release.
package: deps
	@$(RELEASE)
	cmake --build --preset release $(PROGRAMS)
	cd build/release && cpack -G DEB

clean:
	rm -rf build
