#include <gtest/gtest.h>
#include <stdlib.h>

#include <csignal>
#include <filesystem>
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
    // The record of checked libraries that qvlib keeps goes to a folder of the run's own,
    // not to the user's cache.
    std::string cache = (std::filesystem::temp_directory_path() / "library-cache-XXXXXX").string();
    if (::mkdtemp(cache.data()) == nullptr) {
        return 3;
    }
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(cache, ignored);
    return result;
}
