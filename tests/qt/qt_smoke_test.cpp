// Smoke tests of the Qt windows (filled in below as the windows are driven for real).
#include <gtest/gtest.h>
