#pragma once

// Running the real interpreters and the browser from a test: one process per
// batch, with a time limit, its output captured in files so that a chatty
// process can never block on a full pipe.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace quillvane::roundtrip {

struct ProgramRun {
    int exitCode = -1; // -1 when it did not exit normally
    bool timedOut = false;
    std::string output;
    std::string errors;
};

// The full path of `name` on PATH, or empty.
std::string FindProgram(const std::string& name);

// Runs `command` (command[0] a path) in `workDir`, with no input, killing it and
// everything it started when `timeout` passes.
ProgramRun RunProgram(const std::vector<std::string>& command, const std::filesystem::path& workDir,
                      std::chrono::seconds timeout);

// One line for a failure message: how the program ended and the end of what it said.
std::string Describe(const ProgramRun& run);

// A fresh folder under the system's temporary folder, removed afterwards unless kept.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes `content` byte for byte to the file `name` in this folder.
    void Write(const std::string& name, const std::string& content) const;
    // Leaves the folder in place, so that a failed batch can be looked at.
    void Keep() { keep_ = true; }

private:
    std::filesystem::path path_;
    bool keep_ = false;
};

} // namespace quillvane::roundtrip
