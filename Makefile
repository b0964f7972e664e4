# The two commands. Both install what is missing (Debian packages) on first use.
.PHONY: test run soak clean

test:
	@scripts/test.sh

run:
	@scripts/run.sh

# Long soaks of the show windows under Wine (not part of make test).
soak:
	@scripts/soak.sh

clean:
	rm -rf build
