// A send's script made in a thread of its own while the script runner executes it: the lines a
// ScriptSink receives are handed to the runner (review::ScriptLines) as it asks for them.
//
// Memory stays bounded however big the tables: the maker waits while the lines made ahead of
// the runner add up to `aheadBytes`, and lines the runner has released are let go at once, so
// only those of the open transaction and the few made ahead are held.
//
// The maker runs `produce(sink)`, which writes every line of the script; an exception it throws
// ends the lines there, and the runner reports it for the line that could not be made. When the
// object goes before the maker is done (the runner stopped at a rejected line), the sink's next
// call throws Stopped, which ends the maker; the destructor waits for it.
//
// The lines are counted as the window's script counts them: every line the sink writes ends
// with CR LF, and the last line of the script is the empty one after the last CR LF.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "review/script_executor.h"
#include "transfer/script_sink.h"

namespace transfer {

class StreamedScript : public review::ScriptLines {
  public:
    // Thrown by the sink once the script is no longer wanted.
    struct Stopped {};

    // Where one table's lines begin in the script, counted from 0.
    struct TableStart {
        std::string name;
        std::size_t line = 0;
    };

    using Producer = std::function<void(ScriptSink& sink, StreamedScript& script)>;

    explicit StreamedScript(Producer produce, std::size_t aheadBytes = std::size_t{8} << 20);
    ~StreamedScript() override;
    StreamedScript(const StreamedScript&) = delete;
    StreamedScript& operator=(const StreamedScript&) = delete;

    bool has(std::size_t i) override;
    std::string_view line(std::size_t i) override;
    void release(std::size_t first) override;

    // Called by the maker before a table's first line.
    void beginTable(const std::string& name);
    // The table whose lines hold line `i` ("" before the first table).
    std::string tableOf(std::size_t i) const;
    // The lines made so far.
    std::size_t linesMade() const;
    // The most bytes held at once (lines made and not yet released).
    std::size_t peakBytes() const;

  private:
    class Sink;
    void push(std::string_view text);  // one line, from the maker
    void finish(std::exception_ptr error);

    mutable std::mutex m_;
    std::condition_variable madeOne_;    // the runner waits for lines
    std::condition_variable roomAgain_;  // the maker waits for room
    std::deque<std::string> lines_;      // lines from base_ on
    std::size_t base_ = 0;
    std::size_t asked_ = 0;  // the runner has asked for lines below this
    std::size_t ahead_ = 0;  // bytes of the lines from asked_ on
    std::size_t held_ = 0;   // bytes of all lines held
    std::size_t peak_ = 0;
    std::size_t aheadLimit_;
    bool done_ = false;
    bool stop_ = false;
    std::exception_ptr error_;
    std::vector<TableStart> tables_;
    std::thread maker_;
};

}  // namespace transfer
