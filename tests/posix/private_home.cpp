// Registers the private home for every test of the posix test program.
#include "posix/private_home.h"

namespace {

[[maybe_unused]] ::testing::Environment* const kPrivateHome =
    ::testing::AddGlobalTestEnvironment(new vexal::testing::PrivateHome);

}  // namespace
