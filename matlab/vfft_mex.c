/* MEX gateway of the vfft model for GNU Octave and MATLAB.
 *
 * Builds with either host from this one file, using only the MEX interface
 * the two share (separate real and imaginary parts, mxGetPr / mxGetPi):
 *     mkoctfile --mex vfft_mex.c -I../include -L<libdir> -lvfft_v8_0
 *     mex -R2017b vfft_mex.c -I../include -L<libdir> -lvfft_v8_0
 * Linked with the reference datapath instead, the same source gives the
 * gateway vfft_mex_reference.
 *
 * The class vfft calls it; its commands are
 *     id = vfft_mex('create', generics)       generics: 9 values in record order
 *     vfft_mex('destroy', id)
 *     [y, blk_exp, overflow] = vfft_mex('transform', id, x, nfft, direction, schedule)
 *     d = vfft_mex('describe', id, nfft)
 *     g = vfft_mex('defaults')
 *     n = vfft_mex('states')                  states alive in this gateway
 *     [version, datapath] = vfft_mex('version')
 * An empty nfft or schedule stands for the default one.
 *
 * States live in a table of this gateway under numeric ids, so a stale id
 * is an error rather than a dangling pointer. While any state is alive the
 * gateway stays locked in memory (clear mex keeps it); at exit it releases
 * every state left.
 *
 * Every state sends the library's lines to a sink of this gateway, which
 * collects them during a call (one log, emptied before each call); after
 * the call its warnings become host warnings (identifiers vfft:offGrid,
 * vfft:nfftIgnored, vfft:subnormal, vfft:invalidData) and a refused call or
 * configuration a host error carrying the library's text. Collecting first
 * matters: a warning turned into an error by the user leaves the gateway at
 * once, and must not do so from inside the library. */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "mex.h"
#include "vfft_v8_0_ext.h"

typedef velmor_ip_vfft_v8_0_generics Generics;

/* ---- messages of the library during one call ---- */

enum { kLogLines = 8, kLineLength = 600 };

typedef struct {
    char line[kLogLines][kLineLength];
    long repeats[kLogLines];
    int lines;
    long dropped;    /* distinct lines beyond kLogLines */
    char error[kLineLength];
} MessageLog;

static MessageLog message_log;

static void copy_text(char* to, const char* from) {
    strncpy(to, from, kLineLength - 1);
    to[kLineLength - 1] = '\0';
}

static void collect(void* user, const char* line) {
    MessageLog* log = (MessageLog*)user;
    static const char error_prefix[] = "ERROR:vfft_v8_0:";
    if (strncmp(line, error_prefix, sizeof error_prefix - 1) == 0) {
        copy_text(log->error, line + sizeof error_prefix - 1);
        return;
    }
    for (int i = 0; i < log->lines; ++i) {
        if (strncmp(log->line[i], line, kLineLength - 1) == 0) {
            ++log->repeats[i];
            return;
        }
    }
    if (log->lines == kLogLines) {
        ++log->dropped;
        return;
    }
    copy_text(log->line[log->lines], line);
    log->repeats[log->lines++] = 1;
}

static MessageLog* fresh_log(void) {
    memset(&message_log, 0, sizeof message_log);
    return &message_log;
}

static const char* warning_id(const char* text) {
    if (strstr(text, "not pre-quantized")) return "vfft:offGrid";
    if (strstr(text, "different from C_NFFT_MAX")) return "vfft:nfftIgnored";
    if (strstr(text, "denormalized")) return "vfft:subnormal";
    if (strstr(text, "inf or NaN")) return "vfft:invalidData";
    return "vfft:library";
}

/* The collected warnings as host warnings, each line once with its count. */
static void issue_warnings(void) {
    static const char prefix[] = "WARNING:vfft_v8_0:";
    const MessageLog* log = &message_log;
    for (int i = 0; i < log->lines; ++i) {
        const char* text = log->line[i];
        if (strncmp(text, prefix, sizeof prefix - 1) == 0) text += sizeof prefix - 1;
        if (log->repeats[i] > 1)
            mexWarnMsgIdAndTxt(warning_id(text), "%s (%ld times)", text, log->repeats[i]);
        else
            mexWarnMsgIdAndTxt(warning_id(text), "%s", text);
    }
    if (log->dropped)
        mexWarnMsgIdAndTxt("vfft:library", "%ld more distinct warnings of the library not shown", log->dropped);
}

/* ---- the table of states ---- */

typedef struct {
    double id;
    velmor_ip_vfft_v8_0_state* state;
    Generics generics;
} Entry;

static Entry* entries;
static size_t entry_count, entry_capacity;
static double last_id;
static int exit_registered;

static void release_all(void) {
    for (size_t i = 0; i < entry_count; ++i) velmor_ip_vfft_v8_0_destroy_state(entries[i].state);
    free(entries);
    entries = NULL;
    entry_count = entry_capacity = 0;
}

static Entry* find_entry(const mxArray* id_arg) {
    if (!mxIsDouble(id_arg) || mxIsComplex(id_arg) || mxGetNumberOfElements(id_arg) != 1)
        mexErrMsgIdAndTxt("vfft:badHandle", "expected the numeric id of a vfft state");
    const double id = mxGetScalar(id_arg);
    for (size_t i = 0; i < entry_count; ++i)
        if (entries[i].id == id) return &entries[i];
    mexErrMsgIdAndTxt("vfft:badHandle", "no vfft state has the id %g: the object was deleted or never built", id);
    return NULL;
}

/* ---- argument conversion ---- */

/* An integer-valued real double within int32, or the empty default. */
static int32_t int_arg(const mxArray* a, const char* what, int32_t fallback) {
    if (mxIsEmpty(a)) return fallback;
    if (!(mxIsDouble(a) || mxIsLogical(a)) || mxIsComplex(a) || mxGetNumberOfElements(a) != 1)
        mexErrMsgIdAndTxt("vfft:badArgument", "%s must be a real scalar", what);
    const double v = mxGetScalar(a);
    if (!(v >= INT32_MIN && v <= INT32_MAX) || v != floor(v))
        mexErrMsgIdAndTxt("vfft:badArgument", "%s must be an integer from -2147483648 to 2147483647, got %g", what,
                          v);
    return (int32_t)v;
}

static void int_values(const mxArray* a, const char* what, int32_t* to) {
    const size_t n = mxGetNumberOfElements(a);
    if (!mxIsDouble(a) || mxIsComplex(a) || mxIsSparse(a))
        mexErrMsgIdAndTxt("vfft:badArgument", "%s must be a real double array", what);
    const double* v = mxGetPr(a);
    for (size_t i = 0; i < n; ++i) {
        if (!(v[i] >= INT32_MIN && v[i] <= INT32_MAX) || v[i] != floor(v[i]))
            mexErrMsgIdAndTxt("vfft:badArgument", "%s(%zu) = %g is not an integer from -2147483648 to 2147483647",
                              what, i + 1, v[i]);
        to[i] = (int32_t)v[i];
    }
}

static Generics generics_arg(const mxArray* a) {
    int32_t v[9];
    if (mxGetNumberOfElements(a) != 9)
        mexErrMsgIdAndTxt("vfft:badArgument", "the generics are 9 values in record order, got %zu",
                          (size_t)mxGetNumberOfElements(a));
    int_values(a, "generics", v);
    Generics g = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]};
    return g;
}

/* ---- commands ---- */

static void create(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    (void)nlhs;
    if (nrhs != 2) mexErrMsgIdAndTxt("vfft:usage", "usage: id = vfft_mex('create', generics)");
    const Generics g = generics_arg(prhs[1]);
    if (entry_count == entry_capacity) {
        const size_t capacity = entry_capacity ? 2 * entry_capacity : 16;
        Entry* grown = (Entry*)realloc(entries, capacity * sizeof *grown);
        if (!grown) mexErrMsgIdAndTxt("vfft:outOfMemory", "no memory for the table of vfft states");
        entries = grown;
        entry_capacity = capacity;
    }
    MessageLog* log = fresh_log();
    velmor_ip_vfft_v8_0_state* state = velmor_ip_vfft_v8_0_create_state_with_sink(g, collect, log);
    if (!state) {
        if (log->error[0]) mexErrMsgIdAndTxt("vfft:invalidGenerics", "%s", log->error);
        mexErrMsgIdAndTxt("vfft:outOfMemory", "the library could not build a state for these generics");
    }
    if (!exit_registered) {
        mexAtExit(release_all);
        exit_registered = 1;
    }
    if (entry_count == 0) mexLock();
    Entry* e = &entries[entry_count++];
    e->id = ++last_id;
    e->state = state;
    e->generics = g;
    plhs[0] = mxCreateDoubleScalar(e->id);
}

static void destroy(int nrhs, const mxArray* prhs[]) {
    if (nrhs != 2) mexErrMsgIdAndTxt("vfft:usage", "usage: vfft_mex('destroy', id)");
    Entry* e = find_entry(prhs[1]);
    velmor_ip_vfft_v8_0_destroy_state(e->state);
    *e = entries[--entry_count];
    if (entry_count == 0) mexUnlock();
}

static int32_t log2_exact(size_t n) {
    int32_t k = 0;
    while (((size_t)1 << k) < n && k < 62) ++k;
    return ((size_t)1 << k) == n ? k : -1;
}

/* The length of a call: the one given, else that of the frames on a
 * run-time length core, else C_NFFT_MAX. */
static int32_t call_nfft(const Entry* e, const mxArray* nfft_arg, size_t points) {
    const int32_t from_frames = log2_exact(points);
    const int32_t fallback = e->generics.C_HAS_NFFT && from_frames >= 0 ? from_frames : e->generics.C_NFFT_MAX;
    return int_arg(nfft_arg, "nfft", fallback);
}

static const char* const code_names[] = {
    "",
    "null_state",
    "null_outputs",
    "corrupted_state_radix4",
    "corrupted_state_radix2",
    "corrupted_state_pipelined",
    "nfft_out_of_range_radix4",
    "nfft_out_of_range",
    "null_xn_re",
    "xn_re_size",
    "xn_re_value",
    "null_xn_im",
    "xn_im_size",
    "xn_im_value",
    "null_scaling_sch",
    "scaling_sch_size_per_radix4_stage",
    "scaling_sch_size_per_radix2_stage",
    "scaling_value",
    "scaling_final_stage",
    "direction",
    "null_xk_re",
    "null_xk_im",
    "xk_re_size",
    "xk_im_size",
};

/* A refused call as an error with the library's text, naming the column of
 * x when the refusal concerns one frame rather than what all frames share. */
static void refuse_call(int32_t code, const velmor_ip_vfft_v8_0_batch* batch) {
    char id[64];
    snprintf(id, sizeof id, "vfft:simulate:%s",
             code > 0 && code < (int32_t)(sizeof code_names / sizeof *code_names) ? code_names[code] : "refused");
    const char* text = message_log.error[0] ? message_log.error : "the library refused the call";
    const int frame_values = code == VFFT_V8_0_XN_RE_VALUE || code == VFFT_V8_0_XN_IM_VALUE ||
                             (batch->schedule_per_frame && (code == VFFT_V8_0_SCHEDULE_VALUE ||
                                                            code == VFFT_V8_0_FINAL_SCHEDULE_VALUE));
    if (batch->frames > 1 && (batch->failed_frame > 0 || frame_values))
        mexErrMsgIdAndTxt(id, "column %lld: %s", (long long)batch->failed_frame + 1, text);
    mexErrMsgIdAndTxt(id, "%s", text);
}

static void transform(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    if (nrhs != 6)
        mexErrMsgIdAndTxt("vfft:usage",
                          "usage: [y, blk_exp, overflow] = vfft_mex('transform', id, x, nfft, direction, schedule)");
    Entry* e = find_entry(prhs[1]);
    const mxArray* x = prhs[2];
    if (!mxIsDouble(x) || mxIsSparse(x) || mxGetNumberOfDimensions(x) != 2)
        mexErrMsgIdAndTxt("vfft:badData",
                          "x must be a full double vector or matrix (one frame per column), got a %s array with %d "
                          "dimensions",
                          mxGetClassName(x), (int)mxGetNumberOfDimensions(x));
    /* A row vector is one frame, as fft takes it. */
    const size_t rows = mxGetM(x), columns = mxGetN(x);
    const int row_frame = rows == 1 && columns > 1;
    const size_t points = row_frame ? columns : rows;
    const size_t frames = row_frame ? 1 : columns;
    if (points == 0 || points > INT32_MAX)
        mexErrMsgIdAndTxt("vfft:badData", "x has %zu samples per frame; expected 2^nfft", points);

    const int32_t nfft = call_nfft(e, prhs[3], points);
    const int32_t direction = int_arg(prhs[4], "direction", 1);

    /* The schedule: one for every frame, or one column per frame. */
    const mxArray* s = prhs[5];
    velmor_ip_vfft_v8_0_description d;
    int32_t fallback[VFFT_V8_0_MAX_STAGES];
    int32_t* schedule = fallback;
    int32_t stages = 0, per_frame = 0;
    if (mxIsEmpty(s)) {
        /* For the length the library will use: a fixed-length core ignores nfft. */
        const int32_t used = e->generics.C_HAS_NFFT ? nfft : e->generics.C_NFFT_MAX;
        if (velmor_ip_vfft_v8_0_describe(e->generics, used, &d) == 0 && d.stages > 0) {
            stages = d.stages;
            memcpy(fallback, d.default_schedule, sizeof fallback);
        }
    } else {
        per_frame = mxGetM(s) > 1 && mxGetN(s) > 1;
        if (per_frame && mxGetN(s) != frames)
            mexErrMsgIdAndTxt("vfft:badArgument",
                              "schedule has %zu columns for %zu frames: give one schedule, or one column per frame",
                              (size_t)mxGetN(s), frames);
        stages = (int32_t)(per_frame ? mxGetM(s) : mxGetNumberOfElements(s));
        schedule = (int32_t*)mxMalloc(mxGetNumberOfElements(s) * sizeof *schedule);
        int_values(s, "schedule", schedule);
    }

    /* Floating-point mode flushes subnormal values in the arrays it is given:
     * it gets copies. A real x gets zero imaginary parts. */
    const size_t values = points * frames;
    double* re = mxGetPr(x);
    double* im = mxGetPi(x);
    if (e->generics.C_USE_FLT_PT) {
        double* copy = (double*)mxMalloc(values * sizeof *copy);
        memcpy(copy, re, values * sizeof *copy);
        re = copy;
        if (im) {
            copy = (double*)mxMalloc(values * sizeof *copy);
            memcpy(copy, im, values * sizeof *copy);
            im = copy;
        }
    }
    if (!im) im = (double*)mxCalloc(values ? values : 1, sizeof *im);

    mxArray* y = mxCreateDoubleMatrix(rows, columns, mxCOMPLEX);
    int32_t* exps = (int32_t*)mxCalloc(frames ? frames : 1, sizeof *exps);
    int32_t* flags = (int32_t*)mxCalloc(frames ? frames : 1, sizeof *flags);
    velmor_ip_vfft_v8_0_inputs in = {nfft, re, (int32_t)points, im, (int32_t)points, schedule, stages, direction};
    velmor_ip_vfft_v8_0_outputs out = {mxGetPr(y), (int32_t)points, mxGetPi(y), (int32_t)points, 0, 0};
    velmor_ip_vfft_v8_0_batch batch = {(int64_t)frames, 1, NULL, per_frame, exps, flags, -1};
    fresh_log();
    const int32_t code = frames ? velmor_ip_vfft_v8_0_simulate_batch(e->state, in, &out, &batch) : 0;
    issue_warnings();
    if (code != 0) refuse_call(code, &batch);

    plhs[0] = y;
    if (nlhs > 1) {
        plhs[1] = mxCreateDoubleMatrix(1, frames, mxREAL);
        for (size_t f = 0; f < frames; ++f) mxGetPr(plhs[1])[f] = exps[f];
    }
    if (nlhs > 2) {
        plhs[2] = mxCreateLogicalMatrix(1, frames);
        for (size_t f = 0; f < frames; ++f) mxGetLogicals(plhs[2])[f] = flags[f] != 0;
    }
}

static mxArray* int_row(const int32_t* v, int32_t n) {
    mxArray* a = mxCreateDoubleMatrix(1, n, mxREAL);
    for (int32_t i = 0; i < n; ++i) mxGetPr(a)[i] = v[i];
    return a;
}

static void describe(mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    if (nrhs != 3) mexErrMsgIdAndTxt("vfft:usage", "usage: d = vfft_mex('describe', id, nfft)");
    const Entry* e = find_entry(prhs[1]);
    const int32_t nfft = int_arg(prhs[2], "nfft", 0);
    velmor_ip_vfft_v8_0_description d;
    if (velmor_ip_vfft_v8_0_describe(e->generics, nfft, &d) != 0) {
        velmor_ip_vfft_v8_0_describe(e->generics, 0, &d);
        mexErrMsgIdAndTxt("vfft:badArgument", "nfft = %d is outside %d to C_NFFT_MAX = %d for this core", nfft,
                          d.nfft_min, d.nfft_max);
    }
    static const char* const fields[] = {"nfft",         "nfft_min",     "nfft_max",     "stages",
                                         "schedule_max", "default_schedule", "float_mode", "input_width",
                                         "input_point",  "output_width", "output_point", "has_blk_exp",
                                         "has_overflow"};
    mxArray* s = mxCreateStructMatrix(1, 1, sizeof fields / sizeof *fields, (const char**)fields);
    mxSetField(s, 0, "nfft", mxCreateDoubleScalar(d.nfft));
    mxSetField(s, 0, "nfft_min", mxCreateDoubleScalar(d.nfft_min));
    mxSetField(s, 0, "nfft_max", mxCreateDoubleScalar(d.nfft_max));
    mxSetField(s, 0, "stages", mxCreateDoubleScalar(d.stages));
    mxSetField(s, 0, "schedule_max", int_row(d.schedule_max, d.stages));
    mxSetField(s, 0, "default_schedule", int_row(d.default_schedule, d.stages));
    mxSetField(s, 0, "float_mode", mxCreateLogicalScalar(d.float_mode != 0));
    mxSetField(s, 0, "input_width", mxCreateDoubleScalar(d.input_width));
    mxSetField(s, 0, "input_point", mxCreateDoubleScalar(d.input_point));
    mxSetField(s, 0, "output_width", mxCreateDoubleScalar(d.output_width));
    mxSetField(s, 0, "output_point", mxCreateDoubleScalar(d.output_point));
    mxSetField(s, 0, "has_blk_exp", mxCreateLogicalScalar(d.has_blk_exp != 0));
    mxSetField(s, 0, "has_overflow", mxCreateLogicalScalar(d.has_overflow != 0));
    plhs[0] = s;
}

static void defaults(mxArray* plhs[]) {
    const Generics g = velmor_ip_vfft_v8_0_get_default_generics();
    const int32_t v[9] = {g.C_NFFT_MAX,    g.C_ARCH,          g.C_HAS_NFFT, g.C_USE_FLT_PT,  g.C_INPUT_WIDTH,
                          g.C_TWIDDLE_WIDTH, g.C_HAS_SCALING, g.C_HAS_BFP,  g.C_HAS_ROUNDING};
    plhs[0] = int_row(v, 9);
}

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    char command[16] = "";
    if (nrhs < 1 || !mxIsChar(prhs[0]) || mxGetString(prhs[0], command, sizeof command) != 0)
        mexErrMsgIdAndTxt("vfft:usage",
                          "vfft_mex serves the class vfft; its first argument is a command: create, destroy, "
                          "transform, describe, defaults, states or version");
    if (strcmp(command, "transform") == 0) {
        transform(nlhs, plhs, nrhs, prhs);
    } else if (strcmp(command, "create") == 0) {
        create(nlhs, plhs, nrhs, prhs);
    } else if (strcmp(command, "destroy") == 0) {
        destroy(nrhs, prhs);
    } else if (strcmp(command, "describe") == 0) {
        describe(plhs, nrhs, prhs);
    } else if (strcmp(command, "defaults") == 0) {
        defaults(plhs);
    } else if (strcmp(command, "states") == 0) {
        plhs[0] = mxCreateDoubleScalar((double)entry_count);
    } else if (strcmp(command, "version") == 0) {
        plhs[0] = mxCreateString(velmor_ip_vfft_v8_0_version());
        if (nlhs > 1) plhs[1] = mxCreateString(velmor_ip_vfft_v8_0_datapath());
    } else {
        mexErrMsgIdAndTxt("vfft:usage", "vfft_mex: unknown command '%s'; the commands are create, destroy, "
                                        "transform, describe, defaults, states and version", command);
    }
}
