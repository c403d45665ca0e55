// Another program that holds a database while a test runs: started with fork and exec, told
// ready by its first line of output, killed (SIGKILL) when the object goes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testenv {

// Starts `argv` (fork and exec) with its standard output on a pipe; returns the child's pid
// (-1 when the pipe could not be made) and sets `output` to the pipe's reading end.
pid_t startWithOutputPipe(const std::vector<std::string>& argv, int& output);

class OtherProgram {
  public:
    // Runs `argv` and waits until it prints a line; `firstLine()` holds it ("" when the program
    // ended first).
    explicit OtherProgram(const std::vector<std::string>& argv);
    ~OtherProgram();
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    const std::string& firstLine() const { return line_; }
    // Kills it now (as a crash would) and waits for it to end.
    void kill();

  private:
    pid_t pid_ = -1;
    std::string line_;
};

}  // namespace testenv
