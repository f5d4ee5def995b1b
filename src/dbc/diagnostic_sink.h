// Collects diagnostics, up to a limit, so that a file of garbage cannot make
// the list grow without bound.
#pragma once

#include <cstdint>
#include <string>

#include "database/diagnostic.h"

namespace canxlate::dbc {

class DiagnosticSink {
public:
    static constexpr size_t kLimit = 1000;
    explicit DiagnosticSink(db::DiagnosticList& list) : list_(list) {}

    void report(db::Severity severity, uint32_t line, uint32_t column, std::string text) {
        if (list_.size() < kLimit) {
            list_.push_back({severity, line, column, std::move(text)});
        } else if (!overflowed_) {
            overflowed_ = true;
            list_.push_back({db::Severity::kInfo, line, column, "further diagnostics are left out"});
        }
    }
    template <typename At>
    void error(const At& at, std::string text) {
        report(db::Severity::kError, at.line, at.column, std::move(text));
    }
    template <typename At>
    void warning(const At& at, std::string text) {
        report(db::Severity::kWarning, at.line, at.column, std::move(text));
    }
    template <typename At>
    void info(const At& at, std::string text) {
        report(db::Severity::kInfo, at.line, at.column, std::move(text));
    }

private:
    db::DiagnosticList& list_;
    bool overflowed_ = false;
};

}  // namespace canxlate::dbc
