# The two commands. Both install what is missing (Debian packages) on first use.
.PHONY: test run clean

test:
	@scripts/test.sh

run:
	@scripts/run.sh

clean:
	rm -rf build
