# Tests of the findings model.
