#pragma once

#include <memory>
#include <string>

#include "base/result.h"

namespace sonarch {

// A new file written under a scratch name in the folder it is meant for, and put in its
// place only when it is complete, never over a file that exists by then. Until it is
// placed, the scratch file (and any SQLite journal beside it) is removed with the object,
// so a failure half way leaves nothing behind.
class StagedFile {
public:
    // Fails in plain words when `target` exists or its folder takes no new file.
    static Result<std::unique_ptr<StagedFile>> create(const std::string& target);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    const std::string& scratchPath() const { return m_scratch; }
    const std::string& target() const { return m_target; }

    // Puts the scratch file in its place; fails (and keeps it scratch) when the target
    // appeared meanwhile.
    Result<bool> place();

private:
    StagedFile(std::string target, std::string scratch)
        : m_target(std::move(target)), m_scratch(std::move(scratch)) {}

    std::string m_target;
    std::string m_scratch;
    bool m_placed = false;
};

}  // namespace sonarch
