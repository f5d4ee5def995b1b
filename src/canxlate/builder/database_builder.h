// A database being made or changed: every change checked before it is made,
// refused with a sentence naming what is wrong. Finishing writes the model as
// DBC text and reads it back, so that a built database is exactly one read
// from a file.
#pragma once

#include <string>
#include <string_view>

#include "canxlate.h"
#include "canxlate/database/database.h"

namespace canxlate::build {

// Every change returns what is wrong with it, or "" when it was made.
// Throws std::bad_alloc.
class DatabaseBuilder {
public:
    DatabaseBuilder() = default;
    explicit DatabaseBuilder(const db::Database& source);

    void setVersion(std::string_view version) { model_.version = version; }
    std::string addNode(std::string_view name);
    std::string renameNode(std::string_view name, std::string_view newName);
    std::string addMessage(const cxl_message_spec& spec);
    std::string changeMessage(std::string_view message, const cxl_message_spec& spec);
    std::string removeMessage(std::string_view message);
    std::string addSignal(std::string_view message, const cxl_signal_spec& spec);
    std::string changeSignal(std::string_view message, std::string_view signal, const cxl_signal_spec& spec);
    std::string removeSignal(std::string_view message, std::string_view signal);
    std::string addMuxRange(std::string_view message, std::string_view signal, uint64_t low, uint64_t high);
    std::string setValueText(std::string_view message, std::string_view signal, int64_t raw, std::string_view text);
    std::string clearValueTexts(std::string_view message, std::string_view signal);
    std::string setComment(const cxl_object_ref& object, std::string_view text);
    std::string defineAttribute(const cxl_attribute_definition& definition, const char* const* enumValues);
    std::string setAttribute(const cxl_object_ref& object, std::string_view name, double number, std::string_view text);
    std::string removeAttribute(const cxl_object_ref& object, std::string_view name);
    std::string addSignalGroup(std::string_view message, std::string_view name, uint32_t repetitions,
                               const char* const* signals, size_t count);
    std::string clearSignalGroups(std::string_view message);
    std::string addEnvironmentVariable(const cxl_environment_variable& given, const char* const* accessNodes);
    std::string removeEnvironmentVariable(std::string_view name);
    std::string setEnvironmentVariableValueText(std::string_view variable, int64_t raw, std::string_view text);
    std::string clearEnvironmentVariableValueTexts(std::string_view variable);
    std::string setRelationAttribute(const cxl_relation_ref& relation, std::string_view name, double number,
                                     std::string_view text);
    std::string removeRelationAttribute(const cxl_relation_ref& relation, std::string_view name);
    std::string merge(const db::Database& other);

    // The finished database, with its first error diagnostic in report (or
    // ""). False, with no database and the message named in report, when its
    // DBC text would give what it says of a message to another of its ID.
    bool finish(db::Database& database, std::string& report) const;

private:
    struct Found {
        db::Message* message = nullptr;
        uint32_t messageIndex = 0;  // of message in the model
        db::Signal* signal = nullptr;
        std::string problem;
    };
    Found find(std::string_view message, std::string_view signal = {});
    db::Message* findMessage(std::string_view name);
    db::EnvironmentVariable* findEnvironmentVariable(std::string_view name);
    // The attribute list an object reference names, or null with the problem.
    db::AttributeList* attributesOf(const cxl_object_ref& object, std::string* problem);
    // A value of the attribute defined by name for objects of kind, typed as defined.
    std::string typedValue(int32_t kind, std::string_view name, double number, std::string_view text,
                           db::Attribute& attribute) const;
    // The relation a reference names, its message index set; or the problem.
    std::string relationOf(const cxl_relation_ref& relation, db::RelationAttribute& found);
    // Checks a signal spec against its message and turns it into a signal.
    std::string makeSignal(const db::Message& message, const cxl_signal_spec& spec, const db::Signal* replaced,
                           db::Signal& signal) const;
    std::string makeMessage(const cxl_message_spec& spec, const db::Message* replaced, db::Message& message) const;

    db::Database model_;
};

}  // namespace canxlate::build
