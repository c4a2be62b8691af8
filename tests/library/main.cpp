#include <gtest/gtest.h>

#include <csignal>

#include <string>

namespace sonarch {
int RunLibraryWriterChild(const std::string& path);
int RunStarvedJetReader(const std::string& path);
}  // namespace sonarch

// Besides the tests, the program plays another process writing a library
// ("--library-writer PATH"), so that tests can run one beside themselves, and a fresh
// process reading an Access file with little memory ("--starved-jet-reader PATH").
int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--library-writer") {
        return sonarch::RunLibraryWriterChild(argv[2]);
    }
    if (argc == 3 && std::string(argv[1]) == "--starved-jet-reader") {
        return sonarch::RunStarvedJetReader(argv[2]);
    }
    // A child that ends early must show up as a failed test, not end the run.
    std::signal(SIGPIPE, SIG_IGN);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
