#include <gtest/gtest.h>

#include <QCoreApplication>
#include <csignal>

// The lookup runs on an event loop, as in the programs that use it.
int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
