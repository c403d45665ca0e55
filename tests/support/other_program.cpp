// fork, exec, one line from the child's standard output, SIGKILL.
#include "tests/support/other_program.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testenv {

OtherProgram::OtherProgram(const std::vector<std::string>& argv) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
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
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        line_ += c;
    ::close(out[0]);
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
