#include <gtest/gtest.h>

#include <QCoreApplication>

// The player runs its poll on a Qt timer and lets events run while it reads a disc key.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
