# Filled by the findings model.
