#include "conformance_case.h"

#include <stdexcept>

namespace conformance {

namespace {

std::optional<Bits> optionalBits(const JsonField& field)
{
    if (field.isNull()) return std::nullopt;
    return field.toBitsArray();
}

int32_t count(const JsonField& field)
{
    const int32_t n = field.toInt32();
    if (n < 0) throw std::runtime_error(field.path() + ": expected a count of 0 or more, found " + std::to_string(n));
    return n;
}

// An array that must hold exactly `length` entries, or be null exactly when
// `null` says so.
void checkShape(const std::optional<Bits>& array, bool null, std::size_t length, const std::string& path)
{
    if (array.has_value() == null)
        throw std::runtime_error(path + ": expected " + (null ? "null" : "an array") + ", found " + (null ? "an array" : "null"));
    if (array && array->size() != length)
        throw std::runtime_error(path + ": expected " + std::to_string(length) + " entries, found " + std::to_string(array->size()));
}

Call decodeCall(const JsonField& call)
{
    Call c;
    const JsonField in = call.at("inputs");
    CallInputs& i = c.inputs;
    i.null_state = in.at("null_state").toBool();
    i.outputs_null = in.at("outputs_null").toBool();
    i.nfft = in.at("nfft").toInt32();
    i.direction = in.at("direction").toInt32();
    i.xn_re = optionalBits(in.at("xn_re"));
    i.xn_im = optionalBits(in.at("xn_im"));
    i.xn_re_size = in.at("xn_re_size").toInt32();
    i.xn_im_size = in.at("xn_im_size").toInt32();
    if (!in.at("scaling_sch").isNull()) i.scaling_sch = in.at("scaling_sch").toInt32Array();
    i.scaling_sch_size = in.at("scaling_sch_size").toInt32();
    i.xk_re_null = in.at("xk_re_null").toBool();
    i.xk_im_null = in.at("xk_im_null").toBool();
    i.xk_re_capacity = count(in.at("xk_re_capacity"));
    i.xk_im_capacity = count(in.at("xk_im_capacity"));
    i.xk_re_size = in.at("xk_re_size").toInt32();
    i.xk_im_size = in.at("xk_im_size").toInt32();

    const JsonField ex = call.at("expected");
    CallExpected& e = c.expected;
    e.rc = ex.at("rc").toInt32();
    e.stderr_text = ex.at("stderr").toString();
    e.blk_exp = ex.at("blk_exp").toInt32();
    e.overflow = ex.at("overflow").toInt32();
    e.xk_re_size = ex.at("xk_re_size").toInt32();
    e.xk_im_size = ex.at("xk_im_size").toInt32();
    e.xk_re = optionalBits(ex.at("xk_re"));
    e.xk_im = optionalBits(ex.at("xk_im"));
    e.xn_re_after = optionalBits(ex.at("xn_re_after"));
    e.xn_im_after = optionalBits(ex.at("xn_im_after"));

    checkShape(e.xk_re, i.xk_re_null, static_cast<std::size_t>(i.xk_re_capacity), ex.path() + ".xk_re");
    checkShape(e.xk_im, i.xk_im_null, static_cast<std::size_t>(i.xk_im_capacity), ex.path() + ".xk_im");
    checkShape(e.xn_re_after, !i.xn_re, i.xn_re ? i.xn_re->size() : 0, ex.path() + ".xn_re_after");
    checkShape(e.xn_im_after, !i.xn_im, i.xn_im ? i.xn_im->size() : 0, ex.path() + ".xn_im_after");
    return c;
}

}  // namespace

Case decodeCase(const Json& record)
{
    const JsonField root(record, "");
    Case c;
    c.id = root.at("id").toString();
    const JsonField g = root.at("generics");
    c.generics.C_NFFT_MAX = g.at("C_NFFT_MAX").toInt32();
    c.generics.C_ARCH = g.at("C_ARCH").toInt32();
    c.generics.C_HAS_NFFT = g.at("C_HAS_NFFT").toInt32();
    c.generics.C_USE_FLT_PT = g.at("C_USE_FLT_PT").toInt32();
    c.generics.C_INPUT_WIDTH = g.at("C_INPUT_WIDTH").toInt32();
    c.generics.C_TWIDDLE_WIDTH = g.at("C_TWIDDLE_WIDTH").toInt32();
    c.generics.C_HAS_SCALING = g.at("C_HAS_SCALING").toInt32();
    c.generics.C_HAS_BFP = g.at("C_HAS_BFP").toInt32();
    c.generics.C_HAS_ROUNDING = g.at("C_HAS_ROUNDING").toInt32();
    const JsonField create = root.at("create_state");
    c.state_null = create.at("null").toBool();
    c.create_stderr = create.at("stderr").toString();
    const JsonField calls = root.at("calls");
    for (std::size_t k = 0; k < calls.size(); ++k) c.calls.push_back(decodeCall(calls[k]));
    return c;
}

}  // namespace conformance
