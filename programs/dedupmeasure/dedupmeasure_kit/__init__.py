"""dedupmeasure: studies of deduplication made of many runs of the installed
tools (Tolvane, sha), their figures gathered into CSV, JSON and plots, and
chunk traces of several machines merged into one store's figures."""
