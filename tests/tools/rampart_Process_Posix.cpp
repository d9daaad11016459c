#include "rampart_Process_Posix.h"
#include "rampart_TestSupport.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace rampart::test {

const char* library_suffix() {
    return ".so";
}
const char* program_suffix() {
    return "";
}

namespace {
std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}
} // namespace

std::string command_line(const std::string& program, const std::vector<std::string>& args) {
    std::string line = quoted(program);
    for (const auto& a : args)
        line += " " + quoted(a);
    return line;
}

Ran run_line(const std::string& line, const std::string& stderr_file, const Redirect& redirect) {
    // Grouped, so that the redirections apply to every program of a pipe.
    std::string full = "{ " + line + "; }";
    if (!redirect.in.empty()) full += " <" + quoted(redirect.in);
    if (!redirect.out.empty()) full += " >" + quoted(redirect.out);
    full += " 2>" + quoted(stderr_file);
    Ran r;
    std::FILE* p = popen(full.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    while (size_t n = std::fread(buf, 1, sizeof buf, p))
        r.out.append(buf, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace rampart::test

namespace rampart::test {

int spawn_built(const std::string& name, const std::vector<std::string>& args, int in, int out,
                const std::string& err_file) {
    std::string program = build_dir() + "/" + name;
    std::vector<std::string> words = args;
    words.insert(words.begin(), program);
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in >= 0) posix_spawn_file_actions_adddup2(&actions, in, 0);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    // As a shell starts it, whatever this process ignores.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaddset(&defaults, s);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return pid;
}

} // namespace rampart::test
