# Fuzz target of the record parser and the loader.
