# Fuzz targets of the field codec and frames.
