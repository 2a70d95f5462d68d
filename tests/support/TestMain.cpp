// Test programs start here. Natively the registry lives in a folder of this process's own, so
// tests never touch the user's settings; under Wine it is the throwaway prefix's registry.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
#ifndef _WIN32
    const std::string registry = qvtest::freshDirectory("registry");
    setenv("QV_REGISTRY_DIR", registry.c_str(), 1);
#endif
    const int result = RUN_ALL_TESTS();
#ifndef _WIN32
    std::filesystem::remove_all(registry);
#endif
    return result;
}
