#include <gtest/gtest.h>

#include <QCoreApplication>

// The shell opener runs processes and reports through the event loop.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
