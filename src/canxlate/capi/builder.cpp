// Building and changing databases through the C interface.
#include <cstring>
#include <memory>

#include "canxlate/builder/database_builder.h"
#include "canxlate/capi/handles.h"

using canxlate::capi::guarded;
namespace build = canxlate::build;
namespace db = canxlate::db;

struct cxl_builder {
    build::DatabaseBuilder builder;
};

namespace {

// Copies a refusal into the report.
cxl_status outcome(const std::string& problem, cxl_build_report* report) {
    if (report != nullptr) {
        const size_t length = std::min(problem.size(), sizeof report->text - 1);
        std::memcpy(report->text, problem.data(), length);
        report->text[length] = '\0';
    }
    return problem.empty() ? CXL_OK : CXL_ERR_REFUSED;
}

// Runs a change of the builder: null arguments refused, exceptions caught.
template <typename Change>
cxl_status change(cxl_builder* builder, bool argumentsGiven, cxl_build_report* report, Change body) {
    if (builder == nullptr || !argumentsGiven) return CXL_ERR_ARGUMENT;
    return guarded([&]() { return outcome(body(builder->builder), report); });
}

const char* orEmpty(const char* text) { return text == nullptr ? "" : text; }

}  // namespace

extern "C" {

CXL_API cxl_status CXL_CALL cxl_builder_create(cxl_builder** builder) {
    if (builder == nullptr) return CXL_ERR_ARGUMENT;
    *builder = nullptr;
    return guarded([&]() {
        *builder = new cxl_builder();
        return CXL_OK;
    });
}

CXL_API cxl_status CXL_CALL cxl_builder_copy(const cxl_database* database, cxl_builder** builder) {
    if (builder != nullptr) *builder = nullptr;
    if (database == nullptr || builder == nullptr) return CXL_ERR_ARGUMENT;
    return guarded([&]() {
        *builder = new cxl_builder{build::DatabaseBuilder(database->model)};
        return CXL_OK;
    });
}

CXL_API void CXL_CALL cxl_builder_free(cxl_builder* builder) { delete builder; }

CXL_API cxl_status CXL_CALL cxl_builder_finish(const cxl_builder* builder, cxl_database** database,
                                               cxl_build_report* report) {
    if (database != nullptr) *database = nullptr;
    if (builder == nullptr || database == nullptr) return CXL_ERR_ARGUMENT;
    return guarded([&]() {
        auto finished = std::make_unique<cxl_database>();
        std::string problem;
        const bool made = builder->builder.finish(finished->model, problem);
        outcome(problem, report);
        if (!made) return CXL_ERR_AMBIGUOUS;
        *database = finished.release();
        return CXL_OK;
    });
}

CXL_API cxl_status CXL_CALL cxl_builder_set_version(cxl_builder* builder, const char* version) {
    return change(builder, version != nullptr, nullptr, [&](build::DatabaseBuilder& b) {
        b.setVersion(version);
        return std::string();
    });
}

CXL_API cxl_status CXL_CALL cxl_builder_add_node(cxl_builder* builder, const char* name, cxl_build_report* report) {
    return change(builder, name != nullptr, report, [&](build::DatabaseBuilder& b) { return b.addNode(name); });
}

CXL_API cxl_status CXL_CALL cxl_builder_rename_node(cxl_builder* builder, const char* name, const char* new_name,
                                                    cxl_build_report* report) {
    return change(builder, name != nullptr && new_name != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.renameNode(name, new_name); });
}

CXL_API cxl_status CXL_CALL cxl_builder_add_message(cxl_builder* builder, const cxl_message_spec* spec,
                                                    cxl_build_report* report) {
    return change(builder, spec != nullptr, report, [&](build::DatabaseBuilder& b) { return b.addMessage(*spec); });
}

CXL_API cxl_status CXL_CALL cxl_builder_change_message(cxl_builder* builder, const char* message,
                                                       const cxl_message_spec* spec, cxl_build_report* report) {
    return change(builder, message != nullptr && spec != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.changeMessage(message, *spec); });
}

CXL_API cxl_status CXL_CALL cxl_builder_remove_message(cxl_builder* builder, const char* message,
                                                       cxl_build_report* report) {
    return change(builder, message != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.removeMessage(message); });
}

CXL_API cxl_status CXL_CALL cxl_builder_add_signal(cxl_builder* builder, const char* message,
                                                   const cxl_signal_spec* spec, cxl_build_report* report) {
    return change(builder, message != nullptr && spec != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.addSignal(message, *spec); });
}

CXL_API cxl_status CXL_CALL cxl_builder_change_signal(cxl_builder* builder, const char* message, const char* signal,
                                                      const cxl_signal_spec* spec, cxl_build_report* report) {
    return change(builder, message != nullptr && signal != nullptr && spec != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.changeSignal(message, signal, *spec); });
}

CXL_API cxl_status CXL_CALL cxl_builder_remove_signal(cxl_builder* builder, const char* message, const char* signal,
                                                      cxl_build_report* report) {
    return change(builder, message != nullptr && signal != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.removeSignal(message, signal); });
}

CXL_API cxl_status CXL_CALL cxl_builder_add_mux_range(cxl_builder* builder, const char* message, const char* signal,
                                                      uint64_t low, uint64_t high, cxl_build_report* report) {
    return change(builder, message != nullptr && signal != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.addMuxRange(message, signal, low, high); });
}

CXL_API cxl_status CXL_CALL cxl_builder_set_value_text(cxl_builder* builder, const char* message, const char* signal,
                                                       int64_t raw, const char* text, cxl_build_report* report) {
    return change(builder, message != nullptr && signal != nullptr && text != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.setValueText(message, signal, raw, text); });
}

CXL_API cxl_status CXL_CALL cxl_builder_clear_value_texts(cxl_builder* builder, const char* message, const char* signal,
                                                          cxl_build_report* report) {
    return change(builder, message != nullptr && signal != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.clearValueTexts(message, signal); });
}

CXL_API cxl_status CXL_CALL cxl_builder_set_comment(cxl_builder* builder, const cxl_object_ref* object,
                                                    const char* text, cxl_build_report* report) {
    return change(builder, object != nullptr && text != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.setComment(*object, text); });
}

CXL_API cxl_status CXL_CALL cxl_builder_define_attribute(cxl_builder* builder,
                                                         const cxl_attribute_definition* definition,
                                                         const char* const* enum_values, cxl_build_report* report) {
    return change(builder, definition != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.defineAttribute(*definition, enum_values); });
}

CXL_API cxl_status CXL_CALL cxl_builder_set_attribute(cxl_builder* builder, const cxl_object_ref* object,
                                                      const char* name, double number, const char* text,
                                                      cxl_build_report* report) {
    return change(builder, object != nullptr && name != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.setAttribute(*object, name, number, orEmpty(text)); });
}

CXL_API cxl_status CXL_CALL cxl_builder_remove_attribute(cxl_builder* builder, const cxl_object_ref* object,
                                                         const char* name, cxl_build_report* report) {
    return change(builder, object != nullptr && name != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.removeAttribute(*object, name); });
}

CXL_API cxl_status CXL_CALL cxl_builder_add_signal_group(cxl_builder* builder, const char* message, const char* name,
                                                         uint32_t repetitions, const char* const* signals,
                                                         size_t signal_count, cxl_build_report* report) {
    return change(builder, message != nullptr && name != nullptr, report, [&](build::DatabaseBuilder& b) {
        return b.addSignalGroup(message, name, repetitions, signals, signal_count);
    });
}

CXL_API cxl_status CXL_CALL cxl_builder_clear_signal_groups(cxl_builder* builder, const char* message,
                                                            cxl_build_report* report) {
    return change(builder, message != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.clearSignalGroups(message); });
}

CXL_API cxl_status CXL_CALL cxl_builder_add_environment_variable(cxl_builder* builder,
                                                                 const cxl_environment_variable* variable,
                                                                 const char* const* access_nodes,
                                                                 cxl_build_report* report) {
    return change(builder, variable != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.addEnvironmentVariable(*variable, access_nodes); });
}

CXL_API cxl_status CXL_CALL cxl_builder_remove_environment_variable(cxl_builder* builder, const char* name,
                                                                    cxl_build_report* report) {
    return change(builder, name != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.removeEnvironmentVariable(name); });
}

CXL_API cxl_status CXL_CALL cxl_builder_set_environment_variable_value_text(cxl_builder* builder, const char* variable,
                                                                            int64_t raw, const char* text,
                                                                            cxl_build_report* report) {
    return change(builder, variable != nullptr && text != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.setEnvironmentVariableValueText(variable, raw, text); });
}

CXL_API cxl_status CXL_CALL cxl_builder_clear_environment_variable_value_texts(cxl_builder* builder,
                                                                               const char* variable,
                                                                               cxl_build_report* report) {
    return change(builder, variable != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.clearEnvironmentVariableValueTexts(variable); });
}

CXL_API cxl_status CXL_CALL cxl_builder_set_relation_attribute(cxl_builder* builder, const cxl_relation_ref* relation,
                                                               const char* name, double number, const char* text,
                                                               cxl_build_report* report) {
    return change(builder, relation != nullptr && name != nullptr, report, [&](build::DatabaseBuilder& b) {
        return b.setRelationAttribute(*relation, name, number, orEmpty(text));
    });
}

CXL_API cxl_status CXL_CALL cxl_builder_remove_relation_attribute(cxl_builder* builder,
                                                                  const cxl_relation_ref* relation, const char* name,
                                                                  cxl_build_report* report) {
    return change(builder, relation != nullptr && name != nullptr, report,
                  [&](build::DatabaseBuilder& b) { return b.removeRelationAttribute(*relation, name); });
}

CXL_API cxl_status CXL_CALL cxl_builder_merge(cxl_builder* builder, const cxl_database* other,
                                              cxl_build_report* report) {
    return change(builder, other != nullptr, report, [&](build::DatabaseBuilder& b) { return b.merge(other->model); });
}

}  // extern "C"
