#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Tests never need a sound card; an explicit setting still wins.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
