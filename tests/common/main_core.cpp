#include <gtest/gtest.h>

#include <QCoreApplication>

// Tests that wait for posted notifications need an event loop to drain them.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
