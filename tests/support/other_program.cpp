// fork, exec, one line from the child's standard output, SIGKILL.
#include "tests/support/other_program.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testenv {

pid_t startWithOutputPipe(const std::vector<std::string>& argv, int& output) {
    int out[2];
    if (::pipe(out) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    output = out[0];
    return pid;
}

OtherProgram::OtherProgram(const std::vector<std::string>& argv) {
    int out = -1;
    pid_ = startWithOutputPipe(argv, out);
    if (pid_ < 0) return;
    char c;
    while (::read(out, &c, 1) == 1 && c != '\n')
        line_ += c;
    ::close(out);
}

OtherProgram::~OtherProgram() {
    kill();
}

void OtherProgram::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

}  // namespace testenv
