# Filled by the field codec and the analysis client.
