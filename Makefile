# The two commands. Both install what is missing (Debian packages) on first use.
.PHONY: test run soak dist clean

test:
	@scripts/test.sh

run:
	@scripts/run.sh

# The release: zips and setup programs of both architectures in dist/.
dist:
	@scripts/dist.sh

# Long soaks of the show windows under Wine (not part of make test).
soak:
	@scripts/soak.sh

clean:
	rm -rf build
