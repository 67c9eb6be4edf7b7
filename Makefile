BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: deps configure build test run clean format

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# make run: builds, then shows pictavo-cli at work on a copy of the bundled
# sample image in the build folder (the sample itself stays untouched).
CLI = $(BUILD)/cli/pictavo-cli
SAMPLE = $(BUILD)/sample.jpg

define show_cli
	@printf '\n$$ pictavo-cli %s\n' "$(1)"
	@$(CLI) $(1)
endef

run: build
	@cp samples/sample.jpg $(SAMPLE)
	$(call show_cli,dump $(SAMPLE))
	$(call show_cli,get $(SAMPLE) IPTCCity IPTCObjectName SDAKeywords)
	$(call show_cli,set $(SAMPLE) IPTCCity=Paris 'IPTCHeadline=Evening at the lake' SDAKeywords=lake SDAKeywords=sunset)
	$(call show_cli,get $(SAMPLE) IPTCCity IPTCHeadline SDAKeywords)
	$(call show_cli,get --json $(SAMPLE) IPTCCity IPTCHeadline SDAKeywords SDABylines)

clean:
	rm -rf $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i
