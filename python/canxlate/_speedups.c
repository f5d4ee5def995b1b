/* The per-call paths of Message.decode and Message.encode in C: the decoded dictionary is built here, and the
 * field values for encoding are computed here, without a Python loop over signals. Anything out of the ordinary
 * (a switch value without a branch, a value the limits refuse, a text, an integer wider than a double holds)
 * returns None, and the Python code takes over to do it or to raise the right error. The library is reached
 * through the addresses of cxl_decode and cxl_encode_raw, so this module links against nothing but Python. */
#define PY_SSIZE_T_CLEAN
#include <Python.h>
#include <math.h>
#include <stdint.h>
#include <string.h>

typedef struct {
    int32_t present;
    int32_t clamped;
    uint64_t raw;
    double physical;
    const char* text;
} cxl_value;

typedef struct {
    const char* name;
    uint64_t raw;
} cxl_raw_value;

typedef int32_t (*decode_function)(const void*, const uint8_t*, size_t, uint32_t, cxl_value*);
typedef int32_t (*encode_function)(const void*, const cxl_raw_value*, size_t, uint32_t, uint8_t*, size_t, void*);

static decode_function cxl_decode;
static encode_function cxl_encode_raw;

enum { KIND_PHYSICAL = 0, KIND_RAW = 1, KIND_SCALED = 2 };
enum { TYPE_SIGNED = 0, TYPE_UNSIGNED = 1, TYPE_SINGLE = 2, TYPE_DOUBLE = 3 };

typedef struct {
    PyObject* name;    /* str */
    PyObject* choices; /* dict raw -> NamedSignalValue, or NULL */
    const char* cname; /* the library's name, for encoding */
    int kind;          /* how a decoded value is made */
    int type;          /* TYPE_* */
    int length;        /* bits */
    int64_t scale;     /* KIND_SCALED: integral scale and offset */
    int64_t offset;
    double factor; /* encoding */
    double addend;
    int has_limits;
    double low, high;  /* minimum and maximum widened by |factor| * 1e-6 */
    Py_ssize_t ranges; /* for a switch with branches: its ranges at range_low/range_high[first_range...] */
    Py_ssize_t first_range;
} SignalPlan;

typedef struct {
    PyObject_HEAD const void* handle;
    Py_ssize_t length;
    Py_ssize_t count;
    SignalPlan* signals;
    PyObject* by_name; /* dict name -> index */
    PyObject* names;   /* keeps the library's names alive as bytes */
    uint64_t* range_low;
    uint64_t* range_high;
    cxl_value* values;
    cxl_raw_value* given;
    uint8_t* seen;
} Plan;

static void plan_dealloc(Plan* self) {
    for (Py_ssize_t i = 0; i < self->count; ++i) {
        Py_XDECREF(self->signals[i].name);
        Py_XDECREF(self->signals[i].choices);
    }
    PyMem_Free(self->signals);
    PyMem_Free(self->range_low);
    PyMem_Free(self->range_high);
    PyMem_Free(self->values);
    PyMem_Free(self->given);
    PyMem_Free(self->seen);
    Py_XDECREF(self->by_name);
    Py_XDECREF(self->names);
    Py_TYPE(self)->tp_free((PyObject*)self);
}

static int in_branch(const Plan* self, const SignalPlan* signal, uint64_t raw) {
    for (Py_ssize_t r = signal->first_range; r < signal->first_range + signal->ranges; ++r)
        if (self->range_low[r] <= raw && raw <= self->range_high[r]) return 1;
    return 0;
}

/* The Python value of a decoded field, or NULL with an exception set. */
static PyObject* decoded_value(const SignalPlan* signal, const cxl_value* value, int decode_choices) {
    PyObject* number;
    const int is_signed = signal->type == TYPE_SIGNED;
    if (decode_choices && signal->choices != NULL) {
        number = is_signed ? PyLong_FromLongLong((long long)value->raw) : PyLong_FromUnsignedLongLong(value->raw);
        if (number == NULL) return NULL;
        PyObject* named = PyDict_GetItemWithError(signal->choices, number);
        Py_DECREF(number);
        if (named != NULL) {
            Py_INCREF(named);
            return named;
        }
        if (PyErr_Occurred()) return NULL;
    }
    switch (signal->kind) {
        case KIND_RAW:
            return is_signed ? PyLong_FromLongLong((long long)value->raw) : PyLong_FromUnsignedLongLong(value->raw);
        case KIND_SCALED: {
            long long result;
            if (is_signed || value->raw <= (uint64_t)INT64_MAX) {
                const long long raw = (long long)value->raw;
                if (!__builtin_mul_overflow(raw, signal->scale, &result) &&
                    !__builtin_add_overflow(result, signal->offset, &result)) {
                    return PyLong_FromLongLong(result);
                }
            }
            /* Past 64 bits: Python's integers. */
            number = is_signed ? PyLong_FromLongLong((long long)value->raw) : PyLong_FromUnsignedLongLong(value->raw);
            PyObject* scale = PyLong_FromLongLong(signal->scale);
            PyObject* offset = PyLong_FromLongLong(signal->offset);
            PyObject* product = number && scale ? PyNumber_Multiply(number, scale) : NULL;
            PyObject* sum = product && offset ? PyNumber_Add(product, offset) : NULL;
            Py_XDECREF(number);
            Py_XDECREF(scale);
            Py_XDECREF(offset);
            Py_XDECREF(product);
            return sum;
        }
        default: return PyFloat_FromDouble(value->physical);
    }
}

/* decode(data, decode_choices): the dictionary of the frame's signals, or None where Python must decide. */
static PyObject* plan_decode(Plan* self, PyObject* const* args, Py_ssize_t nargs) {
    if (nargs != 2) {
        PyErr_SetString(PyExc_TypeError, "decode(data, decode_choices)");
        return NULL;
    }
    if (!PyBytes_CheckExact(args[0]) || PyBytes_GET_SIZE(args[0]) != self->length) Py_RETURN_NONE;
    const int decode_choices = PyObject_IsTrue(args[1]);
    if (decode_choices < 0) return NULL;
    const uint8_t* data = (const uint8_t*)PyBytes_AS_STRING(args[0]);
    if (cxl_decode(self->handle, data, (size_t)self->length, 0, self->values) != 0) Py_RETURN_NONE;
    for (Py_ssize_t i = 0; i < self->count; ++i) {
        const SignalPlan* signal = &self->signals[i];
        if (signal->ranges && self->values[i].present && !in_branch(self, signal, self->values[i].raw)) Py_RETURN_NONE;
    }
    PyObject* decoded = _PyDict_NewPresized(self->count);
    if (decoded == NULL) return NULL;
    for (Py_ssize_t i = 0; i < self->count; ++i) {
        if (!self->values[i].present) continue;
        PyObject* value = decoded_value(&self->signals[i], &self->values[i], decode_choices);
        if (value == NULL || PyDict_SetItem(decoded, self->signals[i].name, value) < 0) {
            Py_XDECREF(value);
            Py_DECREF(decoded);
            return NULL;
        }
        Py_DECREF(value);
    }
    return decoded;
}

/* The field bits of a number for a signal, as the Python path computes them; 0 when Python must decide. */
static int field_of(const SignalPlan* signal, PyObject* value, uint64_t* raw) {
    double physical;
    if (PyFloat_CheckExact(value)) {
        physical = PyFloat_AS_DOUBLE(value);
    } else if (PyLong_CheckExact(value)) {
        int overflow;
        const long long number = PyLong_AsLongLongAndOverflow(value, &overflow);
        if (overflow || number > (1LL << 53) || number < -(1LL << 53)) return 0;
        physical = (double)number;
    } else {
        return 0;
    }
    if (!isfinite(physical)) return 0;
    const double scaled = (physical - signal->addend) / signal->factor;
    if (signal->type == TYPE_SINGLE || signal->type == TYPE_DOUBLE) {
        if (signal->has_limits && !(physical >= signal->low && physical <= signal->high)) return 0;
        if (signal->type == TYPE_DOUBLE) {
            memcpy(raw, &scaled, sizeof scaled);
            return 1;
        }
        const float single = (float)scaled;
        if (!isfinite(single) && isfinite(scaled)) return 0;
        uint32_t bits;
        memcpy(&bits, &single, sizeof bits);
        *raw = bits;
        return 1;
    }
    const double rounded = nearbyint(scaled); /* half to even, as Python's round() */
    if (!(fabs(rounded) < 9007199254740992.0)) return 0;
    const long long integer = (long long)rounded;
    if (signal->has_limits && !(physical >= signal->low && physical <= signal->high)) {
        if (signal->choices == NULL) return 0;
        PyObject* key = PyLong_FromLongLong(integer);
        if (key == NULL) return -1;
        const int found = PyDict_Contains(signal->choices, key);
        Py_DECREF(key);
        if (found <= 0) return found;
    }
    if (signal->type == TYPE_SIGNED) {
        const long long half = signal->length >= 64 ? INT64_MAX : (1LL << (signal->length - 1)) - 1;
        if (integer > half || integer < -half - 1) return 0;
    } else if (integer < 0 || (signal->length < 64 && (unsigned long long)integer >> signal->length)) {
        return 0;
    }
    *raw = (uint64_t)integer;
    return 1;
}

/* encode(data, padding): the payload for a dict of numbers (scaled, strict), or None where Python must decide. */
static PyObject* plan_encode(Plan* self, PyObject* const* args, Py_ssize_t nargs) {
    if (nargs != 2) {
        PyErr_SetString(PyExc_TypeError, "encode(data, padding)");
        return NULL;
    }
    PyObject* data = args[0];
    if (!PyDict_CheckExact(data) || PyDict_GET_SIZE(data) > self->count) Py_RETURN_NONE;
    const int padding = PyObject_IsTrue(args[1]);
    if (padding < 0) return NULL;
    memset(self->seen, 0, (size_t)self->count);
    Py_ssize_t position = 0, count = 0;
    PyObject *key, *value;
    while (PyDict_Next(data, &position, &key, &value)) {
        PyObject* index_object = PyDict_GetItemWithError(self->by_name, key);
        if (index_object == NULL) {
            if (PyErr_Occurred()) return NULL;
            Py_RETURN_NONE;
        }
        const Py_ssize_t index = PyLong_AsSsize_t(index_object);
        const SignalPlan* signal = &self->signals[index];
        uint64_t raw;
        const int done = field_of(signal, value, &raw);
        if (done < 0) return NULL;
        if (done == 0 || self->seen[index]) Py_RETURN_NONE;
        if (signal->ranges && !in_branch(self, signal, raw)) Py_RETURN_NONE;
        self->seen[index] = 1;
        self->given[count].name = signal->cname;
        self->given[count].raw = raw;
        ++count;
    }
    PyObject* payload = PyBytes_FromStringAndSize(NULL, self->length);
    if (payload == NULL) return NULL;
    uint8_t* bytes = (uint8_t*)PyBytes_AS_STRING(payload);
    memset(bytes, padding ? 0xFF : 0, (size_t)self->length);
    if (cxl_encode_raw(self->handle, self->given, (size_t)count, 0, bytes, (size_t)self->length, NULL) != 0) {
        Py_DECREF(payload);
        Py_RETURN_NONE;
    }
    return payload;
}

static PyMethodDef plan_methods[] = {
    {"decode", (PyCFunction)(void (*)(void))plan_decode, METH_FASTCALL, "decode(data, decode_choices)"},
    {"encode", (PyCFunction)(void (*)(void))plan_encode, METH_FASTCALL, "encode(data, padding)"},
    {NULL, NULL, 0, NULL},
};

static PyTypeObject PlanType = {
    PyVarObject_HEAD_INIT(NULL, 0).tp_name = "canxlate._speedups.Plan",
    .tp_basicsize = sizeof(Plan),
    .tp_dealloc = (destructor)plan_dealloc,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = "A message's decoding and encoding in C (made by plan()).",
    .tp_methods = plan_methods,
};

static int as_double(PyObject* object, double* value) {
    *value = PyFloat_AsDouble(object);
    return !(*value == -1.0 && PyErr_Occurred());
}

/* plan(handle, length, signals): signals is a sequence of (name, cname, choices, kind, type, length, scale,
 * offset, factor, addend, minimum, maximum, ranges), minimum and maximum None without limits, ranges a
 * sequence of (low, high) for a switch with branches. */
static PyObject* make_plan(PyObject* module, PyObject* args) {
    (void)module;
    unsigned long long handle;
    Py_ssize_t length;
    PyObject* items;
    if (!PyArg_ParseTuple(args, "KnO", &handle, &length, &items)) return NULL;
    PyObject* sequence = PySequence_Fast(items, "signals must be a sequence");
    if (sequence == NULL) return NULL;
    Plan* self = PyObject_New(Plan, &PlanType);
    if (self == NULL) {
        Py_DECREF(sequence);
        return NULL;
    }
    const Py_ssize_t count = PySequence_Fast_GET_SIZE(sequence);
    self->handle = (const void*)(uintptr_t)handle;
    self->length = length;
    self->count = 0;
    self->signals = PyMem_Calloc((size_t)count + 1, sizeof(SignalPlan));
    self->values = PyMem_Calloc((size_t)count + 1, sizeof(cxl_value));
    self->given = PyMem_Calloc((size_t)count + 1, sizeof(cxl_raw_value));
    self->seen = PyMem_Calloc((size_t)count + 1, 1);
    self->range_low = self->range_high = NULL;
    self->by_name = PyDict_New();
    self->names = PyList_New(0);
    if (!self->signals || !self->values || !self->given || !self->seen || !self->by_name || !self->names) {
        Py_DECREF(sequence);
        Py_DECREF(self);
        return PyErr_NoMemory();
    }
    Py_ssize_t range_count = 0;
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* item = PySequence_Fast_GET_ITEM(sequence, i);
        PyObject *name, *cname, *choices, *scale, *offset, *factor, *addend, *minimum, *maximum, *ranges;
        int kind, type, bits;
        if (!PyArg_ParseTuple(item, "UOOiiiOOOOOOO", &name, &cname, &choices, &kind, &type, &bits, &scale, &offset,
                              &factor, &addend, &minimum, &maximum, &ranges) ||
            !PyBytes_Check(cname)) {
            if (!PyErr_Occurred()) PyErr_SetString(PyExc_TypeError, "cname must be bytes");
            goto fail;
        }
        SignalPlan* signal = &self->signals[i];
        self->count = i + 1;
        Py_INCREF(name);
        signal->name = name;
        if (choices != Py_None) {
            Py_INCREF(choices);
            signal->choices = choices;
        }
        if (PyList_Append(self->names, cname) < 0) goto fail;
        signal->cname = PyBytes_AS_STRING(cname);
        signal->kind = kind;
        signal->type = type;
        signal->length = bits;
        signal->scale = scale == Py_None ? 0 : PyLong_AsLongLong(scale);
        signal->offset = offset == Py_None ? 0 : PyLong_AsLongLong(offset);
        if (PyErr_Occurred() || !as_double(factor, &signal->factor) || !as_double(addend, &signal->addend)) goto fail;
        signal->has_limits = minimum != Py_None;
        if (signal->has_limits) {
            if (!as_double(minimum, &signal->low) || !as_double(maximum, &signal->high)) goto fail;
            signal->low -= fabs(signal->factor) * 1e-6;
            signal->high += fabs(signal->factor) * 1e-6;
        }
        PyObject* index = PyLong_FromSsize_t(i);
        if (index == NULL) goto fail;
        const int stored = PyDict_GetItemWithError(self->by_name, name) != NULL || PyErr_Occurred()
                               ? 0
                               : PyDict_SetItem(self->by_name, name, index);
        Py_DECREF(index);
        if (stored < 0 || PyErr_Occurred()) goto fail;
        if (ranges != Py_None) {
            const Py_ssize_t n = PySequence_Size(ranges);
            if (n < 0) goto fail;
            uint64_t* low = PyMem_Realloc(self->range_low, (size_t)(range_count + n + 1) * sizeof(uint64_t));
            if (low == NULL) goto fail;
            self->range_low = low;
            uint64_t* high = PyMem_Realloc(self->range_high, (size_t)(range_count + n + 1) * sizeof(uint64_t));
            if (high == NULL) goto fail;
            self->range_high = high;
            signal->first_range = range_count;
            signal->ranges = n;
            for (Py_ssize_t r = 0; r < n; ++r) {
                PyObject* pair = PySequence_GetItem(ranges, r);
                if (pair == NULL) goto fail;
                const int ok =
                    PyArg_ParseTuple(pair, "KK", &self->range_low[range_count], &self->range_high[range_count]);
                Py_DECREF(pair);
                if (!ok) goto fail;
                ++range_count;
            }
        }
    }
    Py_DECREF(sequence);
    return (PyObject*)self;
fail:
    Py_DECREF(sequence);
    Py_DECREF(self);
    return NULL;
}

/* bind(decode_address, encode_raw_address): the library's entries. */
static PyObject* bind(PyObject* module, PyObject* args) {
    (void)module;
    unsigned long long decode, encode;
    if (!PyArg_ParseTuple(args, "KK", &decode, &encode)) return NULL;
    cxl_decode = (decode_function)(uintptr_t)decode;
    cxl_encode_raw = (encode_function)(uintptr_t)encode;
    Py_RETURN_NONE;
}

static PyMethodDef module_methods[] = {
    {"bind", bind, METH_VARARGS, "bind(cxl_decode address, cxl_encode_raw address)"},
    {"plan", make_plan, METH_VARARGS, "plan(handle, length, signals) -> Plan"},
    {NULL, NULL, 0, NULL},
};

static struct PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "_speedups",
    "Message decoding and encoding in C.",
    -1,
    module_methods,
    NULL,
    NULL,
    NULL,
    NULL,
};

PyMODINIT_FUNC PyInit__speedups(void) {
    if (PyType_Ready(&PlanType) < 0) return NULL;
    return PyModule_Create(&module_definition);
}
