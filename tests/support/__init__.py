"""What the Python tests share: scratch files, running the built programs
(address-space limits, the sanitizer build), their exit statuses and the
texts they print. Scripts put tests/ on sys.path and import from here."""
