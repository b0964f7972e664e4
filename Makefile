# The two commands. Both install what is missing (Debian packages) on first use.
.PHONY: test run clean
.PHONY: dist

test:
	@scripts/test.sh

run:
	@scripts/run.sh

# The release: zips and setup programs of both architectures in dist/.
dist:
	@scripts/dist.sh

clean:
	rm -rf build
