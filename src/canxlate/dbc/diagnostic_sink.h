// Collects diagnostics, up to a limit, so that a file of garbage cannot make
// the list grow without bound.
#pragma once

#include <cstdint>
#include <string>

#include "canxlate/database/diagnostic.h"

namespace canxlate::dbc {

class DiagnosticSink {
public:
    static constexpr size_t kLimit = 1000;
    explicit DiagnosticSink(db::DiagnosticList& list) : list_(list) {}

    void report(db::Severity severity, db::Topic topic, uint32_t line, uint32_t column, std::string text) {
        if (list_.size() < kLimit) {
            list_.push_back({severity, line, column, std::move(text), topic});
        } else if (!overflowed_) {
            overflowed_ = true;
            list_.push_back({db::Severity::kInfo, line, column, "further diagnostics are left out"});
        }
    }
    // True once the limit is reached: further reports are left out.
    bool full() const noexcept { return list_.size() >= kLimit; }
    template <typename At>
    void error(db::Topic topic, const At& at, std::string text) {
        report(db::Severity::kError, topic, at.line, at.column, std::move(text));
    }
    template <typename At>
    void warning(db::Topic topic, const At& at, std::string text) {
        report(db::Severity::kWarning, topic, at.line, at.column, std::move(text));
    }
    template <typename At>
    void info(db::Topic topic, const At& at, std::string text) {
        report(db::Severity::kInfo, topic, at.line, at.column, std::move(text));
    }

private:
    db::DiagnosticList& list_;
    bool overflowed_ = false;
};

}  // namespace canxlate::dbc
