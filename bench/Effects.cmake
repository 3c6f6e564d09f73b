# Benchmarks of the image effects and the batch.
