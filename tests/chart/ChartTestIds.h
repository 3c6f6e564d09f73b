// Resource ids of the chart's component tests.
#pragma once

#define IDD_CHART_TEST_HOST 30001
