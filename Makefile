# The README's two commands, and a few more for developers. Each installs what is missing.
.PHONY: demo test deps build asan fuzz bench screenshots clean

demo: deps
	cmake --preset release
	cmake --build --preset release
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
	cmake --preset release
	cmake --build --preset release
	build/release/bench/keystroke_bench
	build/release/bench/render_bench
	build/release/bench/json_bench

# The README's pictures, into docs/.
screenshots: deps
	cmake --preset release
	cmake --build --preset release
	scripts/screenshots build/release

clean:
	rm -rf build
