# Tests of the field codec and the analysis client.
