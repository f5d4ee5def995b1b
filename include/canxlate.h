/* libcanxlate: every message and signal of a CAN database (".dbc" or ".zcd"),
 * with multiplexing, value tables, CAN FD payloads of up to 64 bytes and
 * 64-bit signals.
 *
 * A database is opened once and never changes afterwards: any number of
 * threads may look up, decode and encode with it at the same time. Message
 * and signal handles point into their database and stay valid until it is
 * closed. Every function that can fail returns a cxl_status; cxl_status_text
 * says in words what a status means. No function throws or aborts. */
#ifndef CANXLATE_H
#define CANXLATE_H

#include <stddef.h>
#include <stdint.h>

/* On Windows every function is __cdecl, as in canxlatelib.h, whatever the
 * host compiler's default: 32-bit hosts call them with the caller cleaning
 * the stack, under the plain C names (canxlate.lib maps the underscored
 * names of 32-bit compilers onto them). On 64-bit Windows there is only one
 * convention and CXL_CALL changes nothing. */
#if defined(_WIN32)
#  define CXL_CALL __cdecl
#  if defined(CANXLATE_BUILDING_FULL_LIBRARY)
#    define CXL_API __declspec(dllexport)
#  else
#    define CXL_API __declspec(dllimport)
#  endif
#else
#  define CXL_CALL
#  define CXL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t cxl_status;
#define CXL_OK 0
#define CXL_ERR_ARGUMENT (-1)     /* a null pointer or a value out of its range */
#define CXL_ERR_NO_MEMORY (-2)    /* an allocation failed; nothing was changed */
#define CXL_ERR_CANNOT_OPEN (-3)  /* the file cannot be opened or read */
#define CXL_ERR_FORMAT (-4)       /* not a DBC or ZCD text at all (binary data, unknown format) */
#define CXL_ERR_NOT_FOUND (-5)    /* no such message or signal */
#define CXL_ERR_OUT_OF_RANGE (-6) /* encoding: a value outside its signal's minimum..maximum */
#define CXL_ERR_MISSING (-7)      /* encoding: a signal that the frame carries was not given */
#define CXL_ERR_NOT_CARRIED (-8)  /* encoding: a signal given that the switch value leaves out */
#define CXL_ERR_LENGTH (-9)       /* a payload too long or too short for the call */
#define CXL_ERR_INTERNAL (-10)    /* an unexpected failure inside the library */
#define CXL_ERR_REFUSED (-11)     /* building: a change that does not fit the database (see the report) */
#define CXL_ERR_AMBIGUOUS (-12)   /* writing: DBC text would give what it says of an object to another (see below) */

/* Text for a status, never null. */
CXL_API const char* CXL_CALL cxl_status_text(cxl_status status);

typedef struct cxl_database cxl_database;
typedef struct cxl_message cxl_message;
typedef struct cxl_signal cxl_signal;

/* ---- Opening ----------------------------------------------------------- */

#define CXL_FORMAT_DBC 1
#define CXL_FORMAT_ZCD 2

/* Opens a ".dbc" or ".zcd" file (the extension compared without regard to
 * case). A file with bad lines still opens: see the diagnostics. On failure
 * *database is null. */
CXL_API cxl_status CXL_CALL cxl_open_file(const char* path, cxl_database** database);
/* The same from memory; the buffer may be released after the call. */
CXL_API cxl_status CXL_CALL cxl_open_memory(const void* data, size_t size, int32_t format, cxl_database** database);
/* One text of several opened as one database. */
typedef struct cxl_source {
    const void* data;
    size_t size;
    int32_t format; /* CXL_FORMAT_DBC or CXL_FORMAT_ZCD */
} cxl_source;
/* Opens several texts as one database: the messages of all of them in order
 * (a message ID or name given again is found at its first message); the
 * nodes, version, comment, attributes and definitions, value tables and
 * environment variables of the last; the diagnostics of each in turn.
 * A text that is not DBC or ZCD fails the whole call. */
CXL_API cxl_status CXL_CALL cxl_open_sources(const cxl_source* sources, size_t count, cxl_database** database);
/* Null is allowed. */
CXL_API void CXL_CALL cxl_close(cxl_database* database);

#define CXL_SEVERITY_INFO 0
#define CXL_SEVERITY_WARNING 1
#define CXL_SEVERITY_ERROR 2 /* the definition concerned is left out or cannot be decoded */

/* What a diagnostic is about, so that a host can decide by kind. */
#define CXL_TOPIC_OTHER 0
#define CXL_TOPIC_SYNTAX 1       /* text that cannot be read: skipped */
#define CXL_TOPIC_LAYOUT 2       /* a signal or message that does not fit its payload */
#define CXL_TOPIC_OVERLAP 3      /* signals sharing bits within one multiplexer branch */
#define CXL_TOPIC_DUPLICATE 4    /* a name or ID given twice */
#define CXL_TOPIC_REFERENCE 5    /* a reference to an unknown message, signal, node or table */
#define CXL_TOPIC_MULTIPLEXING 6 /* switches and branches that do not fit together */
#define CXL_TOPIC_VALUE_TYPE 7   /* a value type that the signal's length cannot hold */

typedef struct cxl_diagnostic {
    int32_t severity;
    uint32_t line;   /* 1-based; 0 for the whole file */
    uint32_t column; /* 1-based */
    const char* text;
    int32_t topic; /* CXL_TOPIC_* */
} cxl_diagnostic;

CXL_API size_t CXL_CALL cxl_diagnostic_count(const cxl_database* database);
CXL_API cxl_status CXL_CALL cxl_get_diagnostic(const cxl_database* database, size_t index, cxl_diagnostic* diagnostic);

/* ---- The model --------------------------------------------------------- */

typedef struct cxl_database_info {
    const char* version;
    const char* comment;
    size_t message_count;
    size_t node_count;
    size_t largest_signal_count; /* the most signals of any one message */
} cxl_database_info;

CXL_API cxl_status CXL_CALL cxl_get_database_info(const cxl_database* database, cxl_database_info* info);
CXL_API const char* CXL_CALL cxl_node_name(const cxl_database* database, size_t index); /* null past the end */

CXL_API const cxl_message* CXL_CALL cxl_message_at(const cxl_database* database, size_t index);
/* Standard and extended IDs are distinct: extended is 0 or 1. Null when absent. */
CXL_API const cxl_message* CXL_CALL cxl_find_message(const cxl_database* database, uint32_t id, int extended);
CXL_API const cxl_message* CXL_CALL cxl_find_message_by_name(const cxl_database* database, const char* name);

typedef struct cxl_message_info {
    uint32_t id;
    int32_t extended;
    int32_t fd;      /* CAN FD: longer than 8 bytes, or so declared */
    uint32_t length; /* bytes, 0 to 64 */
    const char* name;
    const char* comment;
    int64_t cycle_time_ms; /* -1 when the file gives none */
    size_t index;          /* position in the database */
    size_t signal_count;
    size_t sender_count;
    int32_t multiplexed;
} cxl_message_info;

CXL_API cxl_status CXL_CALL cxl_get_message_info(const cxl_message* message, cxl_message_info* info);
CXL_API const char* CXL_CALL cxl_message_sender(const cxl_message* message, size_t index);
CXL_API const cxl_signal* CXL_CALL cxl_signal_at(const cxl_message* message, size_t index);
CXL_API const cxl_signal* CXL_CALL cxl_find_signal(const cxl_message* message, const char* name);

#define CXL_BYTE_ORDER_LITTLE_ENDIAN 0 /* Intel */
#define CXL_BYTE_ORDER_BIG_ENDIAN 1    /* Motorola */

#define CXL_VALUE_SIGNED 0
#define CXL_VALUE_UNSIGNED 1
#define CXL_VALUE_SINGLE 2
#define CXL_VALUE_DOUBLE 3

#define CXL_MUX_PLAIN 0
#define CXL_MUX_SWITCH 1
#define CXL_MUX_MULTIPLEXED 2
#define CXL_MUX_MULTIPLEXED_SWITCH 3 /* a switch that is itself multiplexed */

typedef struct cxl_signal_info {
    const char* name;
    const char* unit;
    const char* comment;
    size_t index;       /* position in its message */
    uint32_t start_bit; /* as the file writes it */
    uint32_t lsb_bit;   /* position of the least significant bit */
    uint32_t length;    /* bits */
    int32_t byte_order;
    int32_t value_type;
    int32_t decodable; /* 0 when the field cannot be read as written */
    double factor;
    double offset;
    double minimum;
    double maximum;
    int32_t mux_role;
    const cxl_signal* mux_switch; /* null unless multiplexed */
    size_t mux_range_count;
    size_t receiver_count;
    size_t value_text_count;
} cxl_signal_info;

CXL_API cxl_status CXL_CALL cxl_get_signal_info(const cxl_signal* signal, cxl_signal_info* info);
CXL_API const char* CXL_CALL cxl_signal_receiver(const cxl_signal* signal, size_t index);
/* Switch values low..high (inclusive) for which a multiplexed signal is carried.
 * They are compared with the switch's raw value, sign-extended when the switch
 * is signed: as a file writes no negative switch value, a negative raw value
 * carries no multiplexed signal. */
CXL_API cxl_status CXL_CALL cxl_signal_mux_range(const cxl_signal* signal, size_t index, uint64_t* low, uint64_t* high);
/* Value-table entries in increasing raw value. An unsigned signal's keys are
 * its field's bit patterns (a file's -1 is all ones), in increasing order as
 * unsigned numbers; those of 64-bit fields from 2^63 up come out negative. */
CXL_API cxl_status CXL_CALL cxl_signal_value_text(const cxl_signal* signal, size_t index, int64_t* raw,
                                                  const char** text);
/* The same entries in the order the file gives them. */
CXL_API cxl_status CXL_CALL cxl_signal_value_text_as_written(const cxl_signal* signal, size_t index, int64_t* raw,
                                                             const char** text);

/* ---- Everything else a database file says ------------------------------ */

typedef struct cxl_database_details {
    const char* bus_speed; /* what follows "BS_:", its tokens one space apart; "" for none */
    size_t new_symbol_count;
    size_t attribute_definition_count;
    size_t attribute_count; /* of the network */
    size_t relation_attribute_count;
    size_t value_table_count;
    size_t environment_variable_count;
} cxl_database_details;

CXL_API cxl_status CXL_CALL cxl_get_database_details(const cxl_database* database, cxl_database_details* details);
/* The keywords of the NS_ section as written; null past the end. */
CXL_API const char* CXL_CALL cxl_new_symbol(const cxl_database* database, size_t index);

typedef struct cxl_node_info {
    const char* name; /* the long name when the file gives one */
    const char* comment;
    size_t attribute_count;
} cxl_node_info;

CXL_API cxl_status CXL_CALL cxl_get_node_info(const cxl_database* database, size_t index, cxl_node_info* info);

/* What a message's and a signal's attributes say, read once when the
 * database is built. Names are the long names (SystemMessageLongSymbol,
 * SystemSignalLongSymbol, SystemNodeLongSymbol) wherever a file gives them. */
typedef struct cxl_message_details {
    const char* send_type; /* GenMsgSendType's text (or its default); "" for none */
    int32_t j1939;         /* VFrameFormat says J1939PG (or 3) */
    size_t attribute_count;
    size_t signal_group_count;
} cxl_message_details;

CXL_API cxl_status CXL_CALL cxl_get_message_details(const cxl_message* message, cxl_message_details* details);

typedef struct cxl_signal_group {
    const char* name;
    uint32_t repetitions;
    size_t signal_count;
} cxl_signal_group;

CXL_API cxl_status CXL_CALL cxl_get_signal_group(const cxl_message* message, size_t index, cxl_signal_group* group);
/* The name of a group's signal; null past the end. */
CXL_API const char* CXL_CALL cxl_signal_group_member(const cxl_message* message, size_t group, size_t index);

typedef struct cxl_signal_details {
    int32_t has_start_value;
    double start_value; /* GenSigStartValue: a raw value */
    size_t attribute_count;
    int32_t float_signed; /* a float signal the file gives with '-' */
} cxl_signal_details;

CXL_API cxl_status CXL_CALL cxl_get_signal_details(const cxl_signal* signal, cxl_signal_details* details);

/* Value tables of their own (VAL_TABLE_), by name; entries in increasing raw value. */
CXL_API cxl_status CXL_CALL cxl_value_table(const cxl_database* database, size_t index, const char** name,
                                            size_t* entry_count);
CXL_API cxl_status CXL_CALL cxl_value_table_entry(const cxl_database* database, size_t table, size_t index,
                                                  int64_t* raw, const char** text);

typedef struct cxl_environment_variable {
    const char* name;
    int32_t type; /* 0 integer, 1 float, 2 string */
    double minimum;
    double maximum;
    const char* unit;
    double initial_value;
    uint64_t id;
    const char* access_type; /* as written: DUMMY_NODE_VECTOR0 .. DUMMY_NODE_VECTOR8003 */
    int64_t data_size;       /* ENVVAR_DATA_ bytes; -1 when not given */
    const char* comment;
    size_t access_node_count;
    size_t value_text_count;
    size_t attribute_count;
} cxl_environment_variable;

CXL_API cxl_status CXL_CALL cxl_get_environment_variable(const cxl_database* database, size_t index,
                                                         cxl_environment_variable* variable);
/* Null past the end. */
CXL_API const char* CXL_CALL cxl_environment_variable_access_node(const cxl_database* database, size_t variable,
                                                                  size_t index);
CXL_API cxl_status CXL_CALL cxl_environment_variable_value_text(const cxl_database* database, size_t variable,
                                                                size_t index, int64_t* raw, const char** text);

/* Attributes. */
#define CXL_ATTRIBUTE_INT 0
#define CXL_ATTRIBUTE_HEX 1
#define CXL_ATTRIBUTE_FLOAT 2
#define CXL_ATTRIBUTE_STRING 3
#define CXL_ATTRIBUTE_ENUM 4

/* What an attribute belongs to. */
#define CXL_OBJECT_NETWORK 0
#define CXL_OBJECT_NODE 1
#define CXL_OBJECT_MESSAGE 2
#define CXL_OBJECT_SIGNAL 3
#define CXL_OBJECT_ENVIRONMENT_VARIABLE 4
#define CXL_OBJECT_NODE_MESSAGE 5              /* a node with a message (BU_BO_REL_) */
#define CXL_OBJECT_NODE_SIGNAL 6               /* a node with a signal (BU_SG_REL_) */
#define CXL_OBJECT_NODE_ENVIRONMENT_VARIABLE 7 /* a node with an environment variable (BU_EV_REL_) */

/* A typed value: number for INT, HEX and FLOAT; text for STRING; for ENUM
 * both, the index into the definition's values and its text. */
typedef struct cxl_attribute {
    const char* name;
    int32_t type; /* CXL_ATTRIBUTE_* */
    double number;
    const char* text; /* "" when there is none */
} cxl_attribute;

typedef struct cxl_attribute_definition {
    const char* name;
    int32_t object_kind; /* CXL_OBJECT_* */
    int32_t type;        /* CXL_ATTRIBUTE_* */
    double minimum;      /* INT, HEX and FLOAT */
    double maximum;
    size_t enum_value_count;
    int32_t has_default;
    double default_number;
    const char* default_text;
} cxl_attribute_definition;

CXL_API cxl_status CXL_CALL cxl_get_attribute_definition(const cxl_database* database, size_t index,
                                                         cxl_attribute_definition* definition);
/* Null past the end. */
CXL_API const char* CXL_CALL cxl_attribute_enum_value(const cxl_database* database, size_t definition, size_t index);

/* The values given to one object, in file order; CXL_ERR_ARGUMENT past the end. */
CXL_API cxl_status CXL_CALL cxl_network_attribute(const cxl_database* database, size_t index, cxl_attribute* attribute);
CXL_API cxl_status CXL_CALL cxl_node_attribute(const cxl_database* database, size_t node, size_t index,
                                               cxl_attribute* attribute);
CXL_API cxl_status CXL_CALL cxl_message_attribute(const cxl_message* message, size_t index, cxl_attribute* attribute);
CXL_API cxl_status CXL_CALL cxl_signal_attribute(const cxl_signal* signal, size_t index, cxl_attribute* attribute);
CXL_API cxl_status CXL_CALL cxl_environment_variable_attribute(const cxl_database* database, size_t variable,
                                                               size_t index, cxl_attribute* attribute);

/* A value given to a node together with a message, a signal or an
 * environment variable. */
typedef struct cxl_relation_attribute {
    int32_t object_kind; /* CXL_OBJECT_NODE_* */
    const char* node;
    const cxl_message* message;       /* node-message and node-signal */
    const char* signal;               /* node-signal; "" otherwise */
    const char* environment_variable; /* node-environment-variable; "" otherwise */
    cxl_attribute attribute;
} cxl_relation_attribute;

CXL_API cxl_status CXL_CALL cxl_get_relation_attribute(const cxl_database* database, size_t index,
                                                       cxl_relation_attribute* relation);

/* ---- Writing DBC text -------------------------------------------------- */

/* Any database (read from a DBC or ".zcd" file, or built) as DBC text that
 * opens as the same model: every message, signal, multiplexing range, value
 * text, comment, attribute and node; numbers in the shortest form that reads
 * back as the same double. Lines end in CR LF. Names a DBC identifier cannot
 * hold are written with '_' for other characters, and names longer than 32
 * characters cut short, with the full name in its long-name attribute.
 * A DBC file names messages by ID, and a reader gives what it says of an ID
 * to the first message of that ID (and of a signal name to the first signal
 * of that name): when a later message of a shared ID has a comment,
 * attributes, value texts or anything else said by ID (or a later signal of
 * a shared name anything said by its name), nothing is written and the
 * status is CXL_ERR_AMBIGUOUS (cxl_builder_finish of a copy names it in its
 * report). */
CXL_API cxl_status CXL_CALL cxl_write_dbc(const cxl_database* database, const char* path);
/* The same into memory: *text (NUL-terminated, *size bytes before the NUL)
 * is released with cxl_free_text. */
CXL_API cxl_status CXL_CALL cxl_write_dbc_memory(const cxl_database* database, char** text, size_t* size);
/* Null is allowed. */
CXL_API void CXL_CALL cxl_free_text(char* text);

/* Departures from the canonical layout that cxl_write_dbc_text can be asked
 * for: names over 32 characters written whole, with no long-name attribute;
 * value texts in the order read or given, not from the highest value down. */
#define CXL_WRITE_LONG_NAMES 1u
#define CXL_WRITE_VALUE_TEXTS_AS_GIVEN 2u
/* Written even when ambiguous: what would be said by ID of the later
 * messages of a shared ID is left out. */
#define CXL_WRITE_LEAVE_OUT_AMBIGUOUS 4u

typedef struct cxl_write_options {
    uint32_t flags; /* CXL_WRITE_* */
    /* Null, or for every message in turn the indexes of its signals in the
     * order that comments, attributes and value texts name them. */
    const uint32_t* signal_order;
    size_t signal_order_count; /* the signals of all messages */
    /* Null, or the order of the attribute values (BA_ lines): the i-th
     * written is the attribute_order[i]-th of those written without it. */
    const uint32_t* attribute_order;
    size_t attribute_order_count;
    /* Null, or as signal_order for the signal lines (SG_) of each message. */
    const uint32_t* signal_line_order;
    size_t signal_line_order_count;
} cxl_write_options;

/* cxl_write_dbc_memory with options (null for none). An order that is not a
 * permutation of what it orders is refused with CXL_ERR_ARGUMENT. */
CXL_API cxl_status CXL_CALL cxl_write_dbc_text(const cxl_database* database, const cxl_write_options* options,
                                               char** text, size_t* size);

/* ---- Building and changing a database --------------------------------- */

/* A builder holds a database being made or changed. Every call checks its
 * change and refuses one that does not fit (a name that is no DBC name or is
 * taken, an ID given twice, a signal outside its message) with
 * CXL_ERR_REFUSED and a report naming what is wrong; the builder is then as
 * it was. cxl_builder_finish turns it into an ordinary database, which
 * decodes as one read from a file; the builder stays usable. Messages and
 * signals are named by their names. report is optional everywhere. */
typedef struct cxl_builder cxl_builder;

typedef struct cxl_build_report {
    char text[200];
} cxl_build_report;

/* An empty database. */
CXL_API cxl_status CXL_CALL cxl_builder_create(cxl_builder** builder);
/* Everything an opened database holds, to change. */
CXL_API cxl_status CXL_CALL cxl_builder_copy(const cxl_database* database, cxl_builder** builder);
/* Null is allowed. */
CXL_API void CXL_CALL cxl_builder_free(cxl_builder* builder);
/* The database has the diagnostics of its DBC text, as one opened from a
 * file; only a database copied with faults has errors among them (the
 * report gives the first, or is ""). CXL_ERR_AMBIGUOUS, with no database,
 * when its DBC text would be (see cxl_write_dbc; the report names the
 * message). */
CXL_API cxl_status CXL_CALL cxl_builder_finish(const cxl_builder* builder, cxl_database** database,
                                               cxl_build_report* report);

CXL_API cxl_status CXL_CALL cxl_builder_set_version(cxl_builder* builder, const char* version);
CXL_API cxl_status CXL_CALL cxl_builder_add_node(cxl_builder* builder, const char* name, cxl_build_report* report);
/* Renames a node wherever the database names it (senders, receivers, relations). */
CXL_API cxl_status CXL_CALL cxl_builder_rename_node(cxl_builder* builder, const char* name, const char* new_name,
                                                    cxl_build_report* report);

typedef struct cxl_message_spec {
    const char* name;
    uint32_t id;
    int32_t extended;
    uint32_t length;     /* bytes, 0 to 64 */
    const char* senders; /* node names separated by commas; null or "" for none */
} cxl_message_spec;

CXL_API cxl_status CXL_CALL cxl_builder_add_message(cxl_builder* builder, const cxl_message_spec* spec,
                                                    cxl_build_report* report);
/* Its signals stay; they must still fit. */
CXL_API cxl_status CXL_CALL cxl_builder_change_message(cxl_builder* builder, const char* message,
                                                       const cxl_message_spec* spec, cxl_build_report* report);
CXL_API cxl_status CXL_CALL cxl_builder_remove_message(cxl_builder* builder, const char* message,
                                                       cxl_build_report* report);

typedef struct cxl_signal_spec {
    const char* name;
    uint32_t start_bit; /* as a DBC file writes it: the most significant bit of a big-endian field */
    uint32_t length;
    int32_t byte_order; /* CXL_BYTE_ORDER_* */
    int32_t value_type; /* CXL_VALUE_* */
    double factor;
    double offset;
    double minimum;
    double maximum;
    const char* unit;       /* null for none */
    const char* receivers;  /* node names separated by commas; null or "" for none */
    int32_t mux_role;       /* CXL_MUX_* */
    const char* mux_switch; /* multiplexed signals: the switch's name; null for the message's only switch */
    uint64_t mux_low;       /* multiplexed signals: switch values low..high */
    uint64_t mux_high;
} cxl_signal_spec;

CXL_API cxl_status CXL_CALL cxl_builder_add_signal(cxl_builder* builder, const char* message,
                                                   const cxl_signal_spec* spec, cxl_build_report* report);
/* Value texts, comment and attributes stay. */
CXL_API cxl_status CXL_CALL cxl_builder_change_signal(cxl_builder* builder, const char* message, const char* signal,
                                                      const cxl_signal_spec* spec, cxl_build_report* report);
CXL_API cxl_status CXL_CALL cxl_builder_remove_signal(cxl_builder* builder, const char* message, const char* signal,
                                                      cxl_build_report* report);
/* A further range of switch values for a multiplexed signal. */
CXL_API cxl_status CXL_CALL cxl_builder_add_mux_range(cxl_builder* builder, const char* message, const char* signal,
                                                      uint64_t low, uint64_t high, cxl_build_report* report);
/* Adds or replaces the text of a raw value; texts keep the order given. */
CXL_API cxl_status CXL_CALL cxl_builder_set_value_text(cxl_builder* builder, const char* message, const char* signal,
                                                       int64_t raw, const char* text, cxl_build_report* report);
CXL_API cxl_status CXL_CALL cxl_builder_clear_value_texts(cxl_builder* builder, const char* message, const char* signal,
                                                          cxl_build_report* report);

/* The network, a node, a message, a signal or an environment variable. */
typedef struct cxl_object_ref {
    int32_t kind;                     /* CXL_OBJECT_NETWORK, _NODE, _MESSAGE, _SIGNAL or _ENVIRONMENT_VARIABLE */
    const char* node;                 /* nodes */
    const char* message;              /* messages and signals */
    const char* signal;               /* signals */
    const char* environment_variable; /* environment variables */
} cxl_object_ref;

/* "" removes the comment. */
CXL_API cxl_status CXL_CALL cxl_builder_set_comment(cxl_builder* builder, const cxl_object_ref* object,
                                                    const char* text, cxl_build_report* report);
/* Adds or replaces a definition (name, object_kind, type, range, default);
 * enum_values holds enum_value_count texts for ENUM. */
CXL_API cxl_status CXL_CALL cxl_builder_define_attribute(cxl_builder* builder,
                                                         const cxl_attribute_definition* definition,
                                                         const char* const* enum_values, cxl_build_report* report);
/* Gives a defined attribute a value: number for INT, HEX, FLOAT and ENUM
 * (the index), text for STRING (or an ENUM value's text). */
CXL_API cxl_status CXL_CALL cxl_builder_set_attribute(cxl_builder* builder, const cxl_object_ref* object,
                                                      const char* name, double number, const char* text,
                                                      cxl_build_report* report);
CXL_API cxl_status CXL_CALL cxl_builder_remove_attribute(cxl_builder* builder, const cxl_object_ref* object,
                                                         const char* name, cxl_build_report* report);
/* Signal groups (SIG_GROUP_) of a message: a group's signals must be the message's. */
CXL_API cxl_status CXL_CALL cxl_builder_add_signal_group(cxl_builder* builder, const char* message, const char* name,
                                                         uint32_t repetitions, const char* const* signals,
                                                         size_t signal_count, cxl_build_report* report);
CXL_API cxl_status CXL_CALL cxl_builder_clear_signal_groups(cxl_builder* builder, const char* message,
                                                            cxl_build_report* report);
/* An environment variable as cxl_get_environment_variable gives it, with
 * access_node_count names in access_nodes; its value_text_count and
 * attribute_count are not read. */
CXL_API cxl_status CXL_CALL cxl_builder_add_environment_variable(cxl_builder* builder,
                                                                 const cxl_environment_variable* variable,
                                                                 const char* const* access_nodes,
                                                                 cxl_build_report* report);
CXL_API cxl_status CXL_CALL cxl_builder_remove_environment_variable(cxl_builder* builder, const char* name,
                                                                    cxl_build_report* report);
/* The value texts of an environment variable, as those of a signal; its
 * comment and attributes are given with a cxl_object_ref of kind
 * CXL_OBJECT_ENVIRONMENT_VARIABLE. */
CXL_API cxl_status CXL_CALL cxl_builder_set_environment_variable_value_text(cxl_builder* builder, const char* variable,
                                                                            int64_t raw, const char* text,
                                                                            cxl_build_report* report);
CXL_API cxl_status CXL_CALL cxl_builder_clear_environment_variable_value_texts(cxl_builder* builder,
                                                                               const char* variable,
                                                                               cxl_build_report* report);

/* A node together with a message, a signal or an environment variable. */
typedef struct cxl_relation_ref {
    int32_t kind; /* CXL_OBJECT_NODE_MESSAGE, _NODE_SIGNAL or _NODE_ENVIRONMENT_VARIABLE */
    const char* node;
    const char* message;              /* node-message and node-signal */
    const char* signal;               /* node-signal */
    const char* environment_variable; /* node-environment-variable */
} cxl_relation_ref;

/* Gives a relation attribute defined for the relation's kind a value, as
 * cxl_builder_set_attribute does. */
CXL_API cxl_status CXL_CALL cxl_builder_set_relation_attribute(cxl_builder* builder, const cxl_relation_ref* relation,
                                                               const char* name, double number, const char* text,
                                                               cxl_build_report* report);
CXL_API cxl_status CXL_CALL cxl_builder_remove_relation_attribute(cxl_builder* builder,
                                                                  const cxl_relation_ref* relation, const char* name,
                                                                  cxl_build_report* report);
/* Joins another database in: its nodes, definitions, value tables and
 * messages. A message of an ID or name already present is a conflict unless
 * it is the same message; on any conflict nothing is joined and the report
 * names the first (and how many there are). */
CXL_API cxl_status CXL_CALL cxl_builder_merge(cxl_builder* builder, const cxl_database* other,
                                              cxl_build_report* report);

/* ---- Decoding ---------------------------------------------------------- */

/* Apply the signals' minimum and maximum (none when both are 0). */
#define CXL_CLAMP 1u

typedef struct cxl_value {
    int32_t present;  /* whether the frame carries the signal */
    int32_t clamped;  /* decoding with CXL_CLAMP, or encoding: the limits applied */
    uint64_t raw;     /* the field bits; signed signals sign-extended (read as int64_t) */
    double physical;  /* raw * factor + offset */
    const char* text; /* value-table text, or null */
} cxl_value;

/* values[i] for signal i of the message; length is the bytes received (at
 * most 64). A signal reaching past them is not present. */
CXL_API cxl_status CXL_CALL cxl_decode(const cxl_message* message, const uint8_t* payload, size_t length,
                                       uint32_t flags, cxl_value* values);

/* Many frames in one call. Output is by column: for frame f and signal slot s
 * (signal s of that frame's message), physical[s * column_stride + f] and
 * present[s * column_stride + f]; slots past a message's signals are not
 * present. column_stride >= frame_count; there are largest_signal_count
 * columns. message_index[f] is the frame's message in the database, or -1. */
typedef struct cxl_batch {
    size_t frame_count;
    const uint32_t* ids;
    const uint8_t* extended; /* null: every ID standard unless over 0x7FF */
    const uint8_t* lengths;  /* null: every frame is payload_stride bytes */
    const uint8_t* payloads; /* frame f at payloads + f * payload_stride */
    size_t payload_stride;
    const double* timestamps; /* optional, copied to timestamps_out */
    size_t column_stride;
    double* physical;
    uint8_t* present;
    int32_t* message_index;
    double* timestamps_out; /* optional */
} cxl_batch;

CXL_API cxl_status CXL_CALL cxl_decode_batch(const cxl_database* database, const cxl_batch* batch, uint32_t flags);

/* Batch decoding whose output costs what the frames carry: each frame's
 * values side by side, frame after frame, with no column for signals its
 * message lacks. The batch's inputs are read as by cxl_decode_batch, and
 * message_index and timestamps_out are written; its column_stride, physical
 * and present are not used. Frame f of a known message has signal s of that
 * message at entry first[f] + s (s below the message's signal_count), present
 * as cxl_decode_batch gives it (physical NaN when not present); frames of
 * unknown IDs take no entries. */
typedef struct cxl_packed {
    size_t capacity; /* entries each output holds; frame_count * largest_signal_count always suffices */
    double* physical;
    uint8_t* present;
    const char** text; /* optional: the value-table text, or null */
    size_t* first;     /* optional, frame_count entries: where each frame's values start */
    size_t count;      /* set: the entries the batch needs */
} cxl_packed;

/* CXL_ERR_LENGTH when the batch needs more than capacity entries: frames from
 * the first that does not fit on are not decoded (their message_index and
 * first are still written), and count is what the whole batch needs. */
CXL_API cxl_status CXL_CALL cxl_decode_packed(const cxl_database* database, const cxl_batch* batch, cxl_packed* packed,
                                              uint32_t flags);

/* ---- Encoding ---------------------------------------------------------- */

typedef struct cxl_named_value {
    const char* name;
    double value;
    int32_t clamped; /* set by cxl_encode: 1 when the value was clamped */
} cxl_named_value;

typedef struct cxl_encode_report {
    const cxl_signal* signal; /* the signal at fault, or null */
    char text[200];           /* what went wrong, naming the signal */
} cxl_encode_report;

/* Write missing signals' bits as they are in the payload. */
#define CXL_KEEP_MISSING 2u

/* Writes the given signals into payload (length bytes, the message's length
 * or more), leaving every other bit as it is. The switch values given decide
 * which branch's signals are written. Without CXL_CLAMP a value outside
 * minimum..maximum is an error; with it the value is clamped. Values are
 * rounded half away from zero and saturated to the field; a finite value too
 * large for a float32 signal is an error. report is optional. */
CXL_API cxl_status CXL_CALL cxl_encode(const cxl_message* message, cxl_named_value* values, size_t count,
                                       uint32_t flags, uint8_t* payload, size_t length, cxl_encode_report* report);

/* The field bits of a signal as a number: for signed signals the value as an
 * int64_t, for float signals the IEEE bits. */
typedef struct cxl_raw_value {
    const char* name;
    uint64_t raw;
} cxl_raw_value;

/* As cxl_encode, with field values instead of physical ones, so that fields
 * wider than a double's 53 bits are written exactly. No limits apply; a raw
 * value that does not fit its field is an error (CXL_ERR_OUT_OF_RANGE). */
CXL_API cxl_status CXL_CALL cxl_encode_raw(const cxl_message* message, const cxl_raw_value* values, size_t count,
                                           uint32_t flags, uint8_t* payload, size_t length, cxl_encode_report* report);

/* ---- Logs -------------------------------------------------------------- */

/* Log files of CAN and CAN FD frames: candump (log-file and screen forms),
 * ASC text logs and BLF binary logs (zlib-compressed containers included).
 * Readers recognise the format from the content and deliver frames in
 * batches by column, in the layout that cxl_batch takes as it is: ids,
 * extended, lengths, payloads at a stride of CXL_LOG_PAYLOAD_STRIDE bytes and
 * timestamps. Memory stays flat whatever the file's size. */

#define CXL_LOG_AUTO 0 /* reading: recognise the format from the content */
#define CXL_LOG_CANDUMP 1
#define CXL_LOG_ASC 2
#define CXL_LOG_BLF 3
#define CXL_LOG_PAYLOAD_STRIDE 64

/* Bits of cxl_frames.flags. */
#define CXL_FRAME_EXTENDED 0x01u
#define CXL_FRAME_FD 0x02u
#define CXL_FRAME_BRS 0x04u /* CAN FD bit rate switch */
#define CXL_FRAME_ESI 0x08u /* CAN FD error state indicator */
#define CXL_FRAME_REMOTE 0x10u
#define CXL_FRAME_ERROR 0x20u
#define CXL_FRAME_RX 0x40u /* direction, when the log gives it */
#define CXL_FRAME_TX 0x80u

/* Caller-owned columns of capacity frames each. Reading fills count frames;
 * writing takes count frames. Columns marked optional may be null (reading:
 * not filled; writing: ns from timestamps, flags from extended, channel 0,
 * DLC from the length). */
typedef struct cxl_frames {
    size_t capacity;
    size_t count;
    int64_t* time_ns;   /* optional: exact nanoseconds (since 1970 UTC when the log gives a date) */
    double* timestamps; /* seconds, the same instant */
    uint32_t* ids;
    uint8_t* extended;
    uint8_t* lengths;   /* data bytes, 0..64 */
    uint8_t* payloads;  /* frame f at payloads + f * CXL_LOG_PAYLOAD_STRIDE */
    uint16_t* flags;    /* optional: CXL_FRAME_* bits */
    uint16_t* channels; /* optional: from 0 (ASC, BLF show it plus one; candump canN is N unless taken: see names) */
    uint8_t* dlcs;      /* optional: the data length code as the log gives it */
} cxl_frames;

/* Counts of what a reader met, the frames included. */
typedef struct cxl_log_counts {
    uint64_t frames;         /* delivered */
    uint64_t remote_frames;  /* met */
    uint64_t error_frames;   /* met */
    uint64_t skipped_frames; /* remote or error frames left out (CXL_LOG_SKIP_*) */
    uint64_t unknown_events; /* ASC event lines and BLF objects that are not frames */
    uint64_t malformed;      /* lines or objects that could not be read: skipped */
    uint64_t bytes_read;     /* of the input, for progress reports */
    uint64_t warnings;       /* frames delivered as an issue of kind CXL_LOG_ISSUE_WARNING says */
} cxl_log_counts;

/* One problem met while reading, with its position. */
#define CXL_LOG_ISSUE_MALFORMED 0
#define CXL_LOG_ISSUE_UNKNOWN_EVENT 1
#define CXL_LOG_ISSUE_SKIPPED_FRAME 2
#define CXL_LOG_ISSUE_FATAL 3
#define CXL_LOG_ISSUE_WARNING 4 /* e.g. data bytes a BLF object declares but lacks, read as zeros */
typedef struct cxl_log_issue {
    int32_t kind;             /* CXL_LOG_ISSUE_* */
    int32_t position_is_line; /* 1: position is a line number (from 1); 0: a byte offset */
    uint64_t position;
    const char* message; /* static text */
} cxl_log_issue;
typedef void(CXL_CALL* cxl_log_issue_callback)(void* context, const cxl_log_issue* issue);

/* Reader options (flags of cxl_log_open_*). */
#define CXL_LOG_SKIP_REMOTE 1u
#define CXL_LOG_SKIP_ERROR 2u

typedef struct cxl_log_reader cxl_log_reader;
typedef struct cxl_log_writer cxl_log_writer;

/* Opens a log for reading; path "-" is standard input. format is
 * CXL_LOG_AUTO or a CXL_LOG_* value. callback (optional) is called for every
 * issue as it is met, on the reading thread. On failure *reader is null. */
CXL_API cxl_status CXL_CALL cxl_log_open_file(const char* path, int32_t format, uint32_t flags,
                                              cxl_log_issue_callback callback, void* context, cxl_log_reader** reader);
/* The same from memory; the buffer must outlive the reader. */
CXL_API cxl_status CXL_CALL cxl_log_open_memory(const void* data, size_t size, int32_t format, uint32_t flags,
                                                cxl_log_issue_callback callback, void* context,
                                                cxl_log_reader** reader);
/* The same from a read function: it copies up to size bytes into buffer and
 * returns how many (0 at the end, negative on an error); called on the
 * reading thread, in blocks, so memory stays flat whatever the input. */
typedef ptrdiff_t(CXL_CALL* cxl_log_read_callback)(void* context, void* buffer, size_t size);
CXL_API cxl_status CXL_CALL cxl_log_open_callback(cxl_log_read_callback read, void* read_context, int32_t format,
                                                  uint32_t flags, cxl_log_issue_callback callback, void* context,
                                                  cxl_log_reader** reader);
/* Fills up to frames->capacity frames and sets frames->count; 0 at the end.
 * CXL_ERR_FORMAT when reading stopped at a fatal problem (see
 * cxl_log_fatal_issue); frames read before it are delivered first. */
CXL_API cxl_status CXL_CALL cxl_log_read(cxl_log_reader* reader, cxl_frames* frames);
/* The recognised format (CXL_LOG_*). */
CXL_API int32_t CXL_CALL cxl_log_format(const cxl_log_reader* reader);
CXL_API cxl_status CXL_CALL cxl_log_get_counts(const cxl_log_reader* reader, cxl_log_counts* counts);
/* The problem that stopped reading: CXL_ERR_NOT_FOUND when there is none. */
CXL_API cxl_status CXL_CALL cxl_log_fatal_issue(const cxl_log_reader* reader, cxl_log_issue* issue);
/* The interface name a candump log gives a channel ("vcan0"), or null. */
CXL_API const char* CXL_CALL cxl_log_channel_name(const cxl_log_reader* reader, uint16_t channel);
/* Start of the recording in ns since 1970 UTC when the log gives it, else 0. */
CXL_API int64_t CXL_CALL cxl_log_start_ns(const cxl_log_reader* reader);
CXL_API void CXL_CALL cxl_log_close(cxl_log_reader* reader);

/* Creates a log file in format (not CXL_LOG_AUTO); path "-" is standard
 * output. */
CXL_API cxl_status CXL_CALL cxl_log_create_file(const char* path, int32_t format, cxl_log_writer** writer);
/* Writes frames->count frames. A frame the format cannot hold as it is (see
 * cxl_log_refusal) is never shortened or narrowed: the call then writes no
 * frame of the batch and returns CXL_ERR_FORMAT. */
CXL_API cxl_status CXL_CALL cxl_log_write(cxl_log_writer* writer, const cxl_frames* frames);
/* Why the writer's format cannot hold frame index of frames (static text),
 * or null when it can. */
CXL_API const char* CXL_CALL cxl_log_refusal(const cxl_log_writer* writer, const cxl_frames* frames, size_t index);
/* The interface name candump writes for a channel (at most 15 characters,
 * else CXL_ERR_LENGTH); channels without one are written can<channel>. ASC
 * and BLF number channels: channel c is written as c + 1. */
CXL_API cxl_status CXL_CALL cxl_log_name_channel(cxl_log_writer* writer, uint16_t channel, const char* name);
/* Completes the file and frees the writer; the status says whether every
 * byte reached the file. */
CXL_API cxl_status CXL_CALL cxl_log_finish(cxl_log_writer* writer);

/* ---- A decoded batch as rows ------------------------------------------- */

/* The long form of cxl_decode_batch's columns: one row per value the batch
 * carries, frame by frame and, within a frame, in its message's signal order.
 * Frames of unknown IDs give no rows. Every output column is optional (null:
 * not written). Message, signal and channel codes are signed integers of
 * code_size bytes (1, 2 or 4), looked up in the caller's tables. */
typedef struct cxl_rows {
    size_t capacity;  /* rows each output column holds */
    size_t code_size; /* 1, 2 or 4 */
    /* Tables (code_size bytes an entry). null: the index itself is written. */
    const void* message_codes; /* by message index */
    const void* signal_codes;  /* by message index * signal_stride + signal slot */
    size_t signal_stride;      /* at least the database's largest signal count */
    const uint16_t* channels;  /* the frames' channel numbers; needed for channel */
    const void* channel_codes; /* by channel number */
    size_t channel_count;      /* entries of channel_codes */
    size_t first_frame;        /* added to the batch position written to frame */
    /* Outputs. */
    double* value;
    double* timestamp; /* the batch's timestamps; NaN without them */
    uint32_t* frame_id;
    void* message;
    void* signal;
    void* channel;
    uint64_t* frame; /* first_frame + the frame's position in the batch */
    size_t count;    /* set: rows written */
} cxl_rows;

/* Writes the rows of a batch that cxl_decode_batch has filled (frame_count,
 * ids, timestamps, column_stride, physical, present and message_index are
 * read). CXL_ERR_LENGTH when the batch carries more than capacity values:
 * count is then the number needed and the first capacity rows are written.
 * CXL_ERR_ARGUMENT for a bad code_size, a short signal_stride, a channel
 * beyond channel_count or a null table that an output needs (channels). */
CXL_API cxl_status CXL_CALL cxl_batch_rows(const cxl_database* database, const cxl_batch* batch, cxl_rows* rows);

/* The same for a batch that cxl_decode_packed has filled (frame_count, ids,
 * timestamps and message_index of batch; physical and present of packed, which
 * holds the whole batch). CXL_ERR_ARGUMENT also when it does not. */
CXL_API cxl_status CXL_CALL cxl_packed_rows(const cxl_database* database, const cxl_batch* batch,
                                            const cxl_packed* packed, cxl_rows* rows);

#ifdef __cplusplus
}
#endif

#endif /* CANXLATE_H */
