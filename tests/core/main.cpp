#include <gtest/gtest.h>

#include <QCoreApplication>

// The settings folder and the lock file ask Qt for the program's folder and the user's
// runtime folder, which need an application object.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
