#include <gtest/gtest.h>

#include <QCoreApplication>
#include <csignal>

// Every component runs on an event loop, so the tests get one too.
int main(int argc, char** argv) {
    // A peer that closes early must not kill the test with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
