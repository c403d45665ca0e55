// The script made in a thread of its own.
#include "transfer/streamed_script.h"

#include <algorithm>

#include "transfer/column_mapping.h"

namespace transfer {

class StreamedScript::Sink : public ScriptSink {
  public:
    explicit Sink(StreamedScript& s) : s_(s) {}
    void appendDropTable(std::string_view table) override {
        s_.push(dropTableStatement(table));
        s_.push({});
    }
    void appendCreateTable(std::string_view statement) override {
        s_.push(statement);
        s_.push({});
    }
    void appendStatementLine(std::string_view statement) override { s_.push(statement); }
    void endTable() override { s_.push({}); }

  private:
    StreamedScript& s_;
};

StreamedScript::StreamedScript(Producer produce, std::size_t aheadBytes) : aheadLimit_(aheadBytes) {
    maker_ = std::thread([this, produce = std::move(produce)] {
        std::exception_ptr error;
        try {
            Sink sink(*this);
            produce(sink, *this);
        } catch (const Stopped&) {
        } catch (...) {
            error = std::current_exception();
        }
        finish(error);
    });
}

StreamedScript::~StreamedScript() {
    {
        std::lock_guard lock(m_);
        stop_ = true;
    }
    roomAgain_.notify_all();
    if (maker_.joinable()) maker_.join();
}

void StreamedScript::push(std::string_view text) {
    std::unique_lock lock(m_);
    roomAgain_.wait(lock, [&] { return stop_ || ahead_ < aheadLimit_; });
    if (stop_) throw Stopped{};
    lines_.emplace_back(text);
    ahead_ += text.size() + 2;
    held_ += text.size() + 2;
    peak_ = std::max(peak_, held_);
    lock.unlock();
    madeOne_.notify_one();
}

void StreamedScript::finish(std::exception_ptr error) {
    {
        std::lock_guard lock(m_);
        if (!error) {
            // The empty line after the script's last CR LF.
            lines_.emplace_back();
        }
        error_ = error;
        done_ = true;
    }
    madeOne_.notify_all();
}

void StreamedScript::beginTable(const std::string& name) {
    std::lock_guard lock(m_);
    tables_.push_back({name, base_ + lines_.size()});
}

bool StreamedScript::has(std::size_t i) {
    std::unique_lock lock(m_);
    madeOne_.wait(lock, [&] { return done_ || i < base_ + lines_.size(); });
    if (i >= base_ + lines_.size()) {
        if (error_) std::rethrow_exception(error_);
        return false;
    }
    // The runner takes lines in order: those up to `i` are no longer ahead of it.
    bool room = false;
    while (asked_ <= i) {
        if (asked_ >= base_) ahead_ -= lines_[asked_ - base_].size() + 2;
        ++asked_;
        room = true;
    }
    lock.unlock();
    if (room) roomAgain_.notify_one();
    return true;
}

std::string_view StreamedScript::line(std::size_t i) {
    std::lock_guard lock(m_);
    return lines_.at(i - base_);
}

void StreamedScript::release(std::size_t first) {
    std::lock_guard lock(m_);
    while (base_ < first && !lines_.empty() && base_ < asked_) {
        held_ -= lines_.front().size() + 2;
        lines_.pop_front();
        ++base_;
    }
}

std::string StreamedScript::tableOf(std::size_t i) const {
    std::lock_guard lock(m_);
    std::string name;
    for (const auto& t : tables_) {
        if (t.line > i) break;
        name = t.name;
    }
    return name;
}

std::size_t StreamedScript::linesMade() const {
    std::lock_guard lock(m_);
    return base_ + lines_.size();
}

std::size_t StreamedScript::peakBytes() const {
    std::lock_guard lock(m_);
    return peak_;
}

}  // namespace transfer
