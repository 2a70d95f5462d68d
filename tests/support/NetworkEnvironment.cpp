// Socket tests need the socket library started for the whole program, as the program's entry
// does it around everything else.
#include "net/ASocket.h"

#include <gtest/gtest.h>

namespace {

class NetworkEnvironment : public testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(0, startNetwork()); }
    void TearDown() override { stopNetwork(); }
};

const testing::Environment* const kNetwork =
    testing::AddGlobalTestEnvironment(new NetworkEnvironment);

} // namespace
