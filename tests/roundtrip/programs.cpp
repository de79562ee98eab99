#include "tests/roundtrip/programs.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <spawn.h>

extern char** environ;

namespace quillvane::roundtrip {

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Spawns in a process group of its own, so that a browser's helper processes go
// down with it.
pid_t Spawn(const std::vector<std::string>& command, const fs::path& workDir, const fs::path& outFile,
            const fs::path& errFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<char*> argv;
    for (const std::string& arg : command)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot start " + command[0] + ": " + std::strerror(error));
    return pid;
}

} // namespace

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / name;
        if (access(candidate.c_str(), X_OK) == 0 && fs::is_regular_file(candidate))
            return candidate.string();
    }
    return {};
}

ProgramRun RunProgram(const std::vector<std::string>& command, const fs::path& workDir,
                      std::chrono::seconds timeout) {
    static int runs = 0;
    const std::string stem = "run" + std::to_string(++runs) + "-" + fs::path(command[0]).filename().string();
    const fs::path outFile = workDir / (stem + ".out");
    const fs::path errFile = workDir / (stem + ".err");

    ProgramRun run;
    const pid_t pid = Spawn(command, workDir, outFile, errFile);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            run.timedOut = true;
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(-pid, SIGKILL); // helpers that outlived the main process
    if (!run.timedOut && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    run.output = ReadFile(outFile);
    run.errors = ReadFile(errFile);
    return run;
}

std::string Describe(const ProgramRun& run) {
    std::string text = run.timedOut ? "timed out" : "exit code " + std::to_string(run.exitCode);
    const std::size_t keep = 3000;
    const std::string tail =
        run.errors.size() > keep ? "..." + run.errors.substr(run.errors.size() - keep) : run.errors;
    return text + "; stderr: " + (tail.empty() ? "(empty)" : tail);
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quillvane-roundtrip-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder: " + std::string(std::strerror(errno)));
    path_ = pattern;
}

TempDir::~TempDir() {
    if (keep_)
        return;
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void TempDir::Write(const std::string& name, const std::string& content) const {
    std::ofstream out(path_ / name, std::ios::binary);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + (path_ / name).string());
}

} // namespace quillvane::roundtrip
