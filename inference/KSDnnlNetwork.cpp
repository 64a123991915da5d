#include "KSDnnlNetwork.h"

#include <onnx/onnx_pb.h>
#include <oneapi/dnnl/dnnl.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace {

using dims = dnnl::memory::dims;
using tag = dnnl::memory::format_tag;
using dt = dnnl::memory::data_type;

// A fault of the graph that makes it unusable here; load() reports it.
struct GraphError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

const onnx::AttributeProto *attribute(const onnx::NodeProto &node, const char *name)
{
    for (const onnx::AttributeProto &a : node.attribute()) {
        if (a.name() == name)
            return &a;
    }
    return nullptr;
}

std::vector<std::int64_t> ints(const onnx::NodeProto &node, const char *name, std::vector<std::int64_t> fallback)
{
    const onnx::AttributeProto *a = attribute(node, name);
    return a ? std::vector<std::int64_t>(a->ints().begin(), a->ints().end()) : fallback;
}

std::int64_t integer(const onnx::NodeProto &node, const char *name, std::int64_t fallback)
{
    const onnx::AttributeProto *a = attribute(node, name);
    return a ? a->i() : fallback;
}

std::string text(const onnx::NodeProto &node, const char *name, const std::string &fallback)
{
    const onnx::AttributeProto *a = attribute(node, name);
    return a ? a->s() : fallback;
}

std::string where(const onnx::NodeProto &node)
{
    return node.op_type() + " node \"" + (node.name().empty() ? node.output(0) : node.name()) + "\"";
}

size_t elementCount(const onnx::TensorProto &t)
{
    size_t count = 1;
    for (std::int64_t d : t.dims()) {
        if (d < 0)
            throw GraphError("the tensor \"" + t.name() + "\" has a negative dimension");
        count *= size_t(d);
    }
    return count;
}

// The values of a float tensor, copied out of whichever field holds them.
std::vector<float> floatsOf(const onnx::TensorProto &t)
{
    const size_t count = elementCount(t);
    if (t.data_type() != onnx::TensorProto::FLOAT)
        throw GraphError("the tensor \"" + t.name() + "\" is not fp32 (convert the model first)");
    std::vector<float> values(count);
    if (t.has_raw_data()) {
        if (t.raw_data().size() != count * sizeof(float))
            throw GraphError("the tensor \"" + t.name() + "\" has the wrong number of bytes");
        std::memcpy(values.data(), t.raw_data().data(), t.raw_data().size());
    } else {
        if (size_t(t.float_data_size()) != count)
            throw GraphError("the tensor \"" + t.name() + "\" has the wrong number of values");
        std::copy(t.float_data().begin(), t.float_data().end(), values.begin());
    }
    return values;
}

std::vector<std::int64_t> integersOf(const onnx::TensorProto &t)
{
    const size_t count = elementCount(t);
    std::vector<std::int64_t> values(count);
    if (t.data_type() == onnx::TensorProto::INT64) {
        if (t.has_raw_data()) {
            if (t.raw_data().size() != count * sizeof(std::int64_t))
                throw GraphError("the tensor \"" + t.name() + "\" has the wrong number of bytes");
            std::memcpy(values.data(), t.raw_data().data(), t.raw_data().size());
        } else {
            if (size_t(t.int64_data_size()) != count)
                throw GraphError("the tensor \"" + t.name() + "\" has the wrong number of values");
            std::copy(t.int64_data().begin(), t.int64_data().end(), values.begin());
        }
    } else if (t.data_type() == onnx::TensorProto::FLOAT) {
        // Resize's scales: whole factors only, kept as integers here.
        for (size_t i = 0; const float f : floatsOf(t))
            values[i++] = std::int64_t(f);
    } else {
        throw GraphError("the tensor \"" + t.name() + "\" is neither int64 nor float");
    }
    return values;
}

} // namespace

// Every primitive of the graph, made once for the loaded input size, with
// its arguments: the activations by number (allocated when made, freed
// after their last use), the weights in the layout the primitive wants.
struct KSDnnlNetwork::Plan
{
    struct Value
    {
        dnnl::memory::desc desc;
        dims shape; // N, C, H, W
        int firstUse = -1; // the step that writes it (-1: before the first)
        int lastUse = -1; // the last step that reads it
        size_t offset = 0; // in the arena
        // Part of a larger activation (the channels a Concat joins), at this
        // offset in bytes: written in place, so the Concat copies nothing.
        int parent = -1;
        size_t parentOffset = 0;
    };
    struct Step
    {
        dnnl::primitive primitive;
        std::vector<std::pair<int, int>> inputs; // DNNL_ARG_*, value
        std::vector<std::pair<int, dnnl::memory>> fixed; // weights, bias
        int output = -1;
    };

    dnnl::engine engine{dnnl::engine::kind::cpu, 0};
    dnnl::stream stream{engine};
    tag blocked = tag::nChw16c;
    std::vector<Value> values;
    std::vector<Step> steps;
    int input = -1;
    int output = -1;
    dims inputShape;
    size_t weightBytes = 0;
    std::string kernels; // of the convolution with the most weights
    size_t largestWeights = 0;
    // Every activation lives at a fixed place in one arena, shared by
    // activations whose lives do not overlap. It stays between passes:
    // allocating afresh each pass cost about a fifth of the pass in page
    // faults.
    size_t arenaBytes = 0;
    std::unique_ptr<char[]> arena;
    std::vector<dnnl::memory> memories; // per value, into the arena
    std::vector<std::unordered_map<int, dnnl::memory>> arguments; // per step

    void placeActivations();
    void bindArena();

    int addValue(const dims &shape, const dnnl::memory::desc &desc)
    {
        values.push_back({desc, shape, int(steps.size()), -1, 0, -1, 0});
        return int(values.size()) - 1;
    }
    dnnl::memory::desc activation(const dims &shape) const { return {shape, dt::f32, blocked}; }
};

void KSDnnlNetwork::Plan::placeActivations()
{
    // A part lives as long as the whole it belongs to, and the whole as
    // long as any of its parts.
    const auto root = [this](int id, size_t *offset) {
        while (values[size_t(id)].parent >= 0) {
            *offset += values[size_t(id)].parentOffset;
            id = values[size_t(id)].parent;
        }
        return id;
    };
    for (size_t i = 0; i < values.size(); ++i) {
        size_t unused = 0;
        Value &whole = values[size_t(root(int(i), &unused))];
        whole.firstUse = std::min(whole.firstUse, values[i].firstUse);
        whole.lastUse = std::max(whole.lastUse, values[i].lastUse);
    }

    // Largest first, each at the lowest offset free for its whole life.
    constexpr size_t alignment = 4096;
    std::vector<int> order;
    for (size_t i = 0; i < values.size(); ++i) {
        if (int(i) != input && values[i].parent < 0)
            order.push_back(int(i));
    }
    const auto bytes = [this](int id) {
        return (values[size_t(id)].desc.get_size() + alignment - 1) / alignment * alignment;
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return bytes(a) > bytes(b); });
    std::vector<int> placed;
    arenaBytes = 0;
    for (const int id : order) {
        Value &v = values[size_t(id)];
        std::vector<std::pair<size_t, size_t>> taken;
        for (const int other : placed) {
            const Value &o = values[size_t(other)];
            if (o.firstUse <= v.lastUse && v.firstUse <= o.lastUse)
                taken.emplace_back(o.offset, o.offset + bytes(other));
        }
        std::sort(taken.begin(), taken.end());
        size_t offset = 0;
        for (const auto &[begin, end] : taken) {
            if (offset + bytes(id) <= begin)
                break;
            offset = std::max(offset, end);
        }
        v.offset = offset;
        arenaBytes = std::max(arenaBytes, offset + bytes(id));
        placed.push_back(id);
    }
    for (size_t i = 0; i < values.size(); ++i) {
        size_t offset = 0;
        const int whole = root(int(i), &offset);
        if (whole != int(i))
            values[i].offset = values[size_t(whole)].offset + offset;
    }
}

void KSDnnlNetwork::Plan::bindArena()
{
    arena.reset(new char[arenaBytes + 4096]);
    char *base = reinterpret_cast<char *>((reinterpret_cast<std::uintptr_t>(arena.get()) + 4095) & ~std::uintptr_t(4095));
    memories.assign(values.size(), dnnl::memory());
    for (size_t i = 0; i < values.size(); ++i) {
        if (int(i) != input)
            memories[i] = dnnl::memory(values[i].desc, engine, base + values[i].offset);
    }
    memories[size_t(input)] = dnnl::memory(values[size_t(input)].desc, engine, nullptr);
    arguments.assign(steps.size(), {});
    for (size_t s = 0; s < steps.size(); ++s) {
        for (const auto &[arg, id] : steps[s].inputs)
            arguments[s].emplace(arg, memories[size_t(id)]);
        for (const auto &[arg, memory] : steps[s].fixed)
            arguments[s].emplace(arg, memory);
        arguments[s].emplace(DNNL_ARG_DST, memories[size_t(steps[s].output)]);
    }
}

KSDnnlNetwork::KSDnnlNetwork(std::unique_ptr<Plan> plan)
    : m_plan(std::move(plan))
{
}

KSDnnlNetwork::~KSDnnlNetwork() = default;

bool KSDnnlNetwork::builtIn()
{
    return true;
}

QString KSDnnlNetwork::version()
{
    const dnnl_version_t *v = dnnl_version();
    return QStringLiteral("oneDNN %1.%2.%3").arg(v->major).arg(v->minor).arg(v->patch);
}

QString KSDnnlNetwork::runtimeName() const
{
    return QStringLiteral("%1 (%2)").arg(version(), QString::fromLatin1(m_plan->kernels));
}

size_t KSDnnlNetwork::weightBytes() const
{
    return m_plan->weightBytes;
}

size_t KSDnnlNetwork::activationBytes() const
{
    return m_plan->arenaBytes;
}

namespace {

// Builds the plan node by node. Shapes are known while building (the input
// size is fixed), so the shape arithmetic is folded here and never runs.
class Builder
{
public:
    Builder(KSDnnlNetwork::Plan &plan, const onnx::GraphProto &graph)
        : m_plan(plan), m_graph(graph)
    {
        for (const onnx::TensorProto &t : graph.initializer())
            m_initialisers[t.name()] = &t;
        for (const onnx::NodeProto &node : graph.node()) {
            for (const std::string &name : node.input())
                ++m_consumers[name];
        }
        for (const onnx::ValueInfoProto &o : graph.output())
            ++m_consumers[o.name()];
    }

    void build(const std::string &inputName, const std::string &outputName, int width, int height, int batch)
    {
        bool foundInput = false;
        for (const onnx::ValueInfoProto &in : m_graph.input()) {
            if (in.name() != inputName)
                continue;
            const auto &shape = in.type().tensor_type().shape();
            if (shape.dim_size() != 4)
                throw GraphError("the input \"" + inputName + "\" is not four-dimensional");
            const std::int64_t channels = shape.dim(1).dim_value();
            if (channels <= 0)
                throw GraphError("the input \"" + inputName + "\" has no fixed channel count");
            m_plan.inputShape = {batch, channels, height, width};
            m_plan.input = m_plan.addValue(m_plan.inputShape, {m_plan.inputShape, dt::f32, tag::nchw});
            m_value[inputName] = m_plan.input;
            foundInput = true;
        }
        if (!foundInput)
            throw GraphError("the graph has no input \"" + inputName + "\"");

        for (const onnx::NodeProto &node : m_graph.node()) {
            if (m_skip.count(&node) == 0)
                add(node);
        }
        const auto found = m_value.find(outputName);
        if (found == m_value.end())
            throw GraphError("the graph computes no \"" + outputName + "\"");
        m_plan.output = found->second;
        m_plan.values[size_t(m_plan.output)].lastUse = int(m_plan.steps.size());
    }

private:
    int valueOf(const std::string &name, const onnx::NodeProto &node)
    {
        const auto found = m_value.find(name);
        if (found == m_value.end())
            throw GraphError(where(node) + " reads \"" + name + "\", which is no activation computed before it");
        return found->second;
    }

    const KSDnnlNetwork::Plan::Value &value(int id) const { return m_plan.values[size_t(id)]; }

    std::vector<std::int64_t> constant(const std::string &name, const onnx::NodeProto &node)
    {
        if (const auto found = m_constants.find(name); found != m_constants.end())
            return found->second;
        if (const auto found = m_initialisers.find(name); found != m_initialisers.end())
            return integersOf(*found->second);
        throw GraphError(where(node) + " needs \"" + name + "\" to be a constant");
    }

    const onnx::TensorProto &initialiser(const std::string &name, const onnx::NodeProto &node)
    {
        const auto found = m_initialisers.find(name);
        if (found == m_initialisers.end())
            throw GraphError(where(node) + " needs \"" + name + "\" to be a stored tensor");
        return *found->second;
    }

    int push(KSDnnlNetwork::Plan::Step step, const std::vector<std::string> &outputs, const dims &shape,
             const dnnl::memory::desc &desc)
    {
        const int index = int(m_plan.steps.size());
        for (const auto &[arg, id] : step.inputs)
            m_plan.values[size_t(id)].lastUse = index;
        step.output = m_plan.addValue(shape, desc);
        m_plan.values[size_t(step.output)].lastUse = index;
        for (const std::string &name : outputs)
            m_value[name] = step.output;
        m_plan.steps.push_back(std::move(step));
        return index;
    }

    // The node that alone reads `name`, if it is of type `op`.
    const onnx::NodeProto *onlyConsumer(const std::string &name, const char *op) const
    {
        const auto count = m_consumers.find(name);
        if (count == m_consumers.end() || count->second != 1)
            return nullptr;
        for (const onnx::NodeProto &node : m_graph.node()) {
            for (const std::string &in : node.input()) {
                if (in == name)
                    return node.op_type() == op ? &node : nullptr;
            }
        }
        return nullptr;
    }

    void add(const onnx::NodeProto &node)
    {
        const std::string &op = node.op_type();
        if (node.output_size() < 1)
            throw GraphError(where(node) + " has no output");
        if (op == "Constant")
            return addConstant(node);
        if (op == "Shape")
            return void(m_constants[node.output(0)] = value(valueOf(node.input(0), node)).shape);
        if (op == "Slice")
            return addSlice(node);
        if (op == "Concat" && node.input_size() > 0 && m_value.count(node.input(0)) == 0)
            return addIntegerConcat(node);
        if (op == "Conv")
            return addConvolution(node);
        if (op == "Relu" || op == "Sigmoid")
            return addElementwise(node, op == "Relu" ? dnnl::algorithm::eltwise_relu : dnnl::algorithm::eltwise_logistic);
        if (op == "MaxPool")
            return addMaxPool(node);
        if (op == "Resize")
            return addResize(node);
        if (op == "Concat")
            return addConcat(node);
        if (op == "Add")
            return addSum(node);
        throw GraphError("the operator " + op + " is not supported (" + where(node) + ")");
    }

    void addConstant(const onnx::NodeProto &node)
    {
        const onnx::AttributeProto *a = attribute(node, "value");
        if (!a || !a->has_t())
            throw GraphError(where(node) + " holds no tensor");
        if (a->t().data_type() == onnx::TensorProto::INT64)
            m_constants[node.output(0)] = integersOf(a->t());
        else
            m_floatConstants[node.output(0)] = &a->t();
    }

    void addSlice(const onnx::NodeProto &node)
    {
        if (node.input_size() < 3)
            throw GraphError(where(node) + " has too few inputs");
        const std::vector<std::int64_t> data = constant(node.input(0), node);
        const std::vector<std::int64_t> starts = constant(node.input(1), node);
        const std::vector<std::int64_t> ends = constant(node.input(2), node);
        if (node.input_size() > 3 && !node.input(3).empty() && constant(node.input(3), node) != std::vector<std::int64_t>{0})
            throw GraphError(where(node) + " slices another axis than the first");
        if (node.input_size() > 4 && !node.input(4).empty() && constant(node.input(4), node) != std::vector<std::int64_t>{1})
            throw GraphError(where(node) + " has a step other than 1");
        if (starts.size() != 1 || ends.size() != 1)
            throw GraphError(where(node) + " slices more than one axis");
        const auto n = std::int64_t(data.size());
        const auto clampIndex = [n](std::int64_t i) { return std::clamp(i < 0 ? i + n : i, std::int64_t(0), n); };
        const std::int64_t begin = clampIndex(starts[0]), end = clampIndex(ends[0]);
        m_constants[node.output(0)] = begin < end ? std::vector<std::int64_t>(data.begin() + begin, data.begin() + end)
                                                  : std::vector<std::int64_t>{};
    }

    void addIntegerConcat(const onnx::NodeProto &node)
    {
        std::vector<std::int64_t> joined;
        for (const std::string &name : node.input()) {
            const std::vector<std::int64_t> part = constant(name, node);
            joined.insert(joined.end(), part.begin(), part.end());
        }
        m_constants[node.output(0)] = joined;
    }

    void addConvolution(const onnx::NodeProto &node)
    {
        if (node.input_size() < 2)
            throw GraphError(where(node) + " has too few inputs");
        const int src = valueOf(node.input(0), node);
        const dims &in = value(src).shape;
        const onnx::TensorProto &weightTensor = initialiser(node.input(1), node);
        if (weightTensor.dims_size() != 4)
            throw GraphError(where(node) + " has no two-dimensional kernel");
        const std::int64_t group = integer(node, "group", 1);
        const dims w(weightTensor.dims().begin(), weightTensor.dims().end());
        if (group != 1 || w[1] != in[1])
            throw GraphError(where(node) + " is grouped or does not match its input's channels");
        if (text(node, "auto_pad", "NOTSET") != "NOTSET")
            throw GraphError(where(node) + " uses auto_pad");
        const std::vector<std::int64_t> strides = ints(node, "strides", {1, 1});
        const std::vector<std::int64_t> dilations = ints(node, "dilations", {1, 1});
        const std::vector<std::int64_t> pads = ints(node, "pads", {0, 0, 0, 0});
        if (strides.size() != 2 || dilations.size() != 2 || pads.size() != 4)
            throw GraphError(where(node) + " is not two-dimensional");
        dims out{in[0], w[0], 0, 0};
        for (int i = 0; i < 2; ++i) {
            const std::int64_t extent = dilations[size_t(i)] * (w[size_t(2 + i)] - 1) + 1;
            out[size_t(2 + i)] = (in[size_t(2 + i)] + pads[size_t(i)] + pads[size_t(2 + i)] - extent) / strides[size_t(i)] + 1;
            if (out[size_t(2 + i)] <= 0)
                throw GraphError(where(node) + " has an empty output");
        }

        // A ReLU that alone reads the convolution's output runs inside it,
        // and so does a residual Add that alone reads that ReLU (the other
        // addend, computed before, is read as the post-op's second input).
        std::vector<std::string> outputs{node.output(0)};
        dnnl::post_ops postOps;
        int addend = -1;
        const onnx::NodeProto *sum = nullptr;
        if (const onnx::NodeProto *relu = onlyConsumer(node.output(0), "Relu")) {
            postOps.append_eltwise(1.0f, dnnl::algorithm::eltwise_relu, 0.0f, 0.0f);
            m_skip.insert(relu);
            outputs = {relu->output(0)};
            sum = onlyConsumer(relu->output(0), "Add");
            if (sum && sum->input_size() == 2) {
                const std::string &other = sum->input(0) == relu->output(0) ? sum->input(1) : sum->input(0);
                const auto found = m_value.find(other);
                if (found != m_value.end() && value(found->second).shape == out)
                    addend = found->second;
            }
        }

        const dnnl::memory::desc srcDesc = value(src).desc;
        const dnnl::memory::desc weightDesc({w[0], w[1], w[2], w[3]}, dt::f32, tag::any);
        const dnnl::memory::desc biasDesc({w[0]}, dt::f32, tag::x);
        const dnnl::memory::desc dstDesc = m_plan.activation(out);
        const bool hasBias = node.input_size() > 2 && !node.input(2).empty();
        const dims strideDims{strides[0], strides[1]};
        const dims dilationDims{dilations[0] - 1, dilations[1] - 1};
        const dims padBegin{pads[0], pads[1]}, padEnd{pads[2], pads[3]};
        const auto desc = hasBias ? dnnl::convolution_forward::desc(dnnl::prop_kind::forward_inference,
                                                                    dnnl::algorithm::convolution_direct, srcDesc,
                                                                    weightDesc, biasDesc, dstDesc, strideDims,
                                                                    dilationDims, padBegin, padEnd)
                                  : dnnl::convolution_forward::desc(dnnl::prop_kind::forward_inference,
                                                                    dnnl::algorithm::convolution_direct, srcDesc,
                                                                    weightDesc, dstDesc, strideDims, dilationDims,
                                                                    padBegin, padEnd);
        const auto describe = [&](const dnnl::post_ops &ops) {
            dnnl::primitive_attr attr;
            attr.set_post_ops(ops);
            return dnnl::convolution_forward::primitive_desc(desc, attr, m_plan.engine);
        };
        // oneDNN's reference kernel runs, but a hundred times slower than
        // OpenCV: then the Add stays apart, or OpenCV had better run the model.
        const auto slow = [](const dnnl::convolution_forward::primitive_desc &pd) {
            return std::strncmp(pd.impl_info_str(), "ref", 3) == 0;
        };
        dnnl::convolution_forward::primitive_desc pd = describe(postOps);
        if (addend >= 0) {
            dnnl::post_ops withSum = postOps;
            withSum.append_binary(dnnl::algorithm::binary_add, value(addend).desc);
            const dnnl::convolution_forward::primitive_desc fused = describe(withSum);
            if (slow(fused)) {
                addend = -1;
            } else {
                pd = fused;
                m_skip.insert(sum);
                outputs.push_back(sum->output(0));
            }
        }
        if (slow(pd))
            throw GraphError(where(node) + " would run on oneDNN's reference kernel");

        // The weights once into the layout the convolution reads best.
        std::vector<float> weights = floatsOf(weightTensor);
        dnnl::memory plain({w, dt::f32, tag::oihw}, m_plan.engine, weights.data());
        dnnl::memory packed(pd.weights_desc(), m_plan.engine);
        dnnl::reorder(plain, packed).execute(m_plan.stream, plain, packed);
        m_plan.weightBytes += pd.weights_desc().get_size();
        if (pd.weights_desc().get_size() > m_plan.largestWeights) {
            m_plan.largestWeights = pd.weights_desc().get_size();
            m_plan.kernels = pd.impl_info_str();
        }

        KSDnnlNetwork::Plan::Step step;
        step.primitive = dnnl::convolution_forward(pd);
        step.inputs = {{DNNL_ARG_SRC, src}};
        if (addend >= 0)
            step.inputs.emplace_back(DNNL_ARG_ATTR_MULTIPLE_POST_OP(1) | DNNL_ARG_SRC_1, addend);
        step.fixed = {{DNNL_ARG_WEIGHTS, packed}};
        if (hasBias) {
            const onnx::TensorProto &biasTensor = initialiser(node.input(2), node);
            std::vector<float> bias = floatsOf(biasTensor);
            if (bias.size() != size_t(w[0]))
                throw GraphError(where(node) + " has a bias of the wrong length");
            dnnl::memory biasMemory(biasDesc, m_plan.engine);
            std::memcpy(biasMemory.get_data_handle(), bias.data(), bias.size() * sizeof(float));
            step.fixed.emplace_back(DNNL_ARG_BIAS, biasMemory);
            m_plan.weightBytes += bias.size() * sizeof(float);
        }
        push(std::move(step), outputs, out, dstDesc);
        m_plan.stream.wait();
    }

    void addElementwise(const onnx::NodeProto &node, dnnl::algorithm algorithm)
    {
        const int src = valueOf(node.input(0), node);
        const auto &v = value(src);
        const dnnl::eltwise_forward::desc desc(dnnl::prop_kind::forward_inference, algorithm, v.desc, 0.0f, 0.0f);
        KSDnnlNetwork::Plan::Step step;
        step.primitive = dnnl::eltwise_forward({desc, m_plan.engine});
        step.inputs = {{DNNL_ARG_SRC, src}};
        push(std::move(step), {node.output(0)}, v.shape, v.desc);
    }

    void addMaxPool(const onnx::NodeProto &node)
    {
        const int src = valueOf(node.input(0), node);
        const dims in = value(src).shape;
        const std::vector<std::int64_t> kernel = ints(node, "kernel_shape", {});
        const std::vector<std::int64_t> strides = ints(node, "strides", {1, 1});
        const std::vector<std::int64_t> pads = ints(node, "pads", {0, 0, 0, 0});
        const bool ceilMode = integer(node, "ceil_mode", 0) != 0;
        if (kernel.size() != 2 || strides.size() != 2 || pads.size() != 4
            || ints(node, "dilations", {1, 1}) != std::vector<std::int64_t>{1, 1})
            throw GraphError(where(node) + " is not a plain two-dimensional pooling");
        dims out{in[0], in[1], 0, 0};
        dims padEnd{0, 0};
        for (int i = 0; i < 2; ++i) {
            const std::int64_t span = in[size_t(2 + i)] + pads[size_t(i)] + pads[size_t(2 + i)] - kernel[size_t(i)];
            const std::int64_t stride = strides[size_t(i)];
            std::int64_t o = (ceilMode ? (span + stride - 1) / stride : span / stride) + 1;
            // A last window that would start in the padding is dropped.
            if (ceilMode && (o - 1) * stride >= in[size_t(2 + i)] + pads[size_t(i)])
                --o;
            out[size_t(2 + i)] = o;
            // The extra padding on the far side that ceil mode asks for.
            padEnd[size_t(i)] = (o - 1) * stride + kernel[size_t(i)] - in[size_t(2 + i)] - pads[size_t(i)];
        }
        const dnnl::memory::desc dstDesc = m_plan.activation(out);
        const dnnl::pooling_v2_forward::desc desc(dnnl::prop_kind::forward_inference, dnnl::algorithm::pooling_max,
                                                  value(src).desc, dstDesc, {strides[0], strides[1]},
                                                  {kernel[0], kernel[1]}, {0, 0}, {pads[0], pads[1]}, padEnd);
        KSDnnlNetwork::Plan::Step step;
        step.primitive = dnnl::pooling_v2_forward({desc, m_plan.engine});
        step.inputs = {{DNNL_ARG_SRC, src}};
        push(std::move(step), {node.output(0)}, out, dstDesc);
    }

    void addResize(const onnx::NodeProto &node)
    {
        const int src = valueOf(node.input(0), node);
        const dims in = value(src).shape;
        const std::string mode = text(node, "mode", "nearest");
        const std::string transform = text(node, "coordinate_transformation_mode", "half_pixel");
        // oneDNN's linear resampling places samples at pixel centres and
        // clamps at the border, which is ONNX's half_pixel.
        if (mode != "linear" || transform != "half_pixel")
            throw GraphError(where(node) + " resizes in a way this runtime lacks (" + mode + ", " + transform + ")");
        dims out = in;
        if (node.input_size() > 3 && !node.input(3).empty()) {
            const std::vector<std::int64_t> sizes = constant(node.input(3), node);
            // A graph exported for one picture names a batch of 1 in its
            // sizes; the batch is whatever the network was loaded for.
            if (sizes.size() != 4 || (sizes[0] != in[0] && sizes[0] != 1) || sizes[1] != in[1])
                throw GraphError(where(node) + " changes the batch or the channels");
            out[2] = sizes[2];
            out[3] = sizes[3];
        } else {
            const std::string scalesName = node.input_size() > 2 ? node.input(2) : std::string();
            const auto constantScales = m_floatConstants.find(scalesName);
            const auto storedScales = m_initialisers.find(scalesName);
            const onnx::TensorProto *scales = constantScales != m_floatConstants.end() ? constantScales->second
                                              : storedScales != m_initialisers.end()   ? storedScales->second
                                                                                       : nullptr;
            if (!scales)
                throw GraphError(where(node) + " has neither constant sizes nor constant scales");
            const std::vector<float> factors = floatsOf(*scales);
            if (factors.size() != 4 || factors[0] != 1.0f || factors[1] != 1.0f)
                throw GraphError(where(node) + " changes the batch or the channels");
            out[2] = std::int64_t(float(in[2]) * factors[2]);
            out[3] = std::int64_t(float(in[3]) * factors[3]);
        }
        if (out[2] <= 0 || out[3] <= 0)
            throw GraphError(where(node) + " has an empty output");
        if (out == in) {
            m_value[node.output(0)] = src; // resizing to the same size changes nothing
            return;
        }
        const dnnl::memory::desc dstDesc = m_plan.activation(out);
        const dnnl::resampling_forward::desc desc(dnnl::prop_kind::forward_inference,
                                                  dnnl::algorithm::resampling_linear, value(src).desc, dstDesc);
        KSDnnlNetwork::Plan::Step step;
        step.primitive = dnnl::resampling_forward({desc, m_plan.engine});
        step.inputs = {{DNNL_ARG_SRC, src}};
        push(std::move(step), {node.output(0)}, out, dstDesc);
    }

    // Whether the Concat's inputs can be written straight into its output:
    // with one picture in the batch and whole channel blocks, channels
    // [c, c + n) of the blocked layout are a dense tensor of their own at
    // an offset, so the producers need not know. With more pictures each
    // one's channels lie apart, and a concat primitive copies them.
    bool joinsInPlace(const onnx::NodeProto &node) const
    {
        const std::int64_t block = m_plan.blocked == tag::nChw16c ? 16 : 8;
        std::set<int> seen;
        for (const std::string &name : node.input()) {
            const auto found = m_value.find(name);
            if (found == m_value.end() || found->second == m_plan.input || !seen.insert(found->second).second)
                return false;
            const KSDnnlNetwork::Plan::Value &v = value(found->second);
            if (v.parent >= 0 || v.shape[0] != 1 || v.shape[1] % block != 0)
                return false;
        }
        return true;
    }

    void addConcat(const onnx::NodeProto &node)
    {
        std::int64_t axis = integer(node, "axis", 1);
        if (axis < 0)
            axis += 4;
        if (axis != 1)
            throw GraphError(where(node) + " joins along another axis than the channels");
        std::vector<dnnl::memory::desc> sources;
        KSDnnlNetwork::Plan::Step step;
        dims out;
        for (int i = 0; i < node.input_size(); ++i) {
            const int src = valueOf(node.input(i), node);
            const dims &shape = value(src).shape;
            if (out.empty()) {
                out = shape;
            } else {
                if (shape[0] != out[0] || shape[2] != out[2] || shape[3] != out[3])
                    throw GraphError(where(node) + " joins activations of different sizes");
                out[1] += shape[1];
            }
            sources.push_back(value(src).desc);
            step.inputs.emplace_back(DNNL_ARG_MULTIPLE_SRC + i, src);
        }
        const dnnl::memory::desc dstDesc = m_plan.activation(out);
        if (joinsInPlace(node)) {
            const int whole = m_plan.addValue(out, dstDesc);
            size_t offset = 0;
            for (const auto &[arg, part] : step.inputs) {
                KSDnnlNetwork::Plan::Value &v = m_plan.values[size_t(part)];
                v.parent = whole;
                v.parentOffset = offset;
                offset += v.desc.get_size();
            }
            m_value[node.output(0)] = whole;
            return;
        }
        step.primitive = dnnl::concat({dstDesc, 1, sources, m_plan.engine});
        push(std::move(step), {node.output(0)}, out, dstDesc);
    }

    void addSum(const onnx::NodeProto &node)
    {
        if (node.input_size() != 2)
            throw GraphError(where(node) + " does not have two inputs");
        const int a = valueOf(node.input(0), node), b = valueOf(node.input(1), node);
        if (value(a).shape != value(b).shape)
            throw GraphError(where(node) + " adds activations of different shapes");
        const dnnl::binary::desc desc(dnnl::algorithm::binary_add, value(a).desc, value(b).desc, value(a).desc);
        KSDnnlNetwork::Plan::Step step;
        step.primitive = dnnl::binary({desc, m_plan.engine});
        step.inputs = {{DNNL_ARG_SRC_0, a}, {DNNL_ARG_SRC_1, b}};
        push(std::move(step), {node.output(0)}, value(a).shape, value(a).desc);
    }

    KSDnnlNetwork::Plan &m_plan;
    const onnx::GraphProto &m_graph;
    std::unordered_map<std::string, const onnx::TensorProto *> m_initialisers;
    std::unordered_map<std::string, const onnx::TensorProto *> m_floatConstants;
    std::unordered_map<std::string, int> m_consumers;
    std::unordered_map<std::string, int> m_value;
    std::unordered_map<std::string, std::vector<std::int64_t>> m_constants;
    std::set<const onnx::NodeProto *> m_skip;
};

} // namespace

std::unique_ptr<KSDnnlNetwork> KSDnnlNetwork::load(const QString &onnxPath, const std::string &inputName,
                                                   const std::string &outputName, int width, int height,
                                                   QString *error, int batch)
{
    const auto failed = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("oneDNN cannot run %1: %2").arg(onnxPath, why);
        return std::unique_ptr<KSDnnlNetwork>();
    };
    if (width <= 0 || height <= 0)
        return failed(QStringLiteral("the input size %1 x %2 is empty").arg(width).arg(height));
    if (batch <= 0)
        return failed(QStringLiteral("a batch of %1 pictures is empty").arg(batch));
    const int fd = ::open(onnxPath.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failed(QString::fromLocal8Bit(std::strerror(errno)));
    onnx::ModelProto model;
    const bool parsed = model.ParseFromFileDescriptor(fd);
    ::close(fd);
    if (!parsed || !model.has_graph())
        return failed(QStringLiteral("the file is no readable ONNX model"));

    auto plan = std::make_unique<Plan>();
    try {
        if (dnnl::get_effective_cpu_isa() < dnnl::cpu_isa::avx512_core)
            plan->blocked = tag::nChw8c;
        Builder(*plan, model.graph()).build(inputName, outputName, width, height, batch);
        plan->placeActivations();
    } catch (const GraphError &e) {
        return failed(QString::fromStdString(e.what()));
    } catch (const dnnl::error &e) {
        return failed(QStringLiteral("%1 (oneDNN status %2)").arg(QString::fromStdString(e.what())).arg(int(e.status)));
    } catch (const std::bad_alloc &) {
        return failed(QStringLiteral("out of memory"));
    }
    return std::unique_ptr<KSDnnlNetwork>(new KSDnnlNetwork(std::move(plan)));
}

cv::Mat KSDnnlNetwork::forward(const cv::Mat &blob, std::string *error)
{
    Plan &p = *m_plan;
    const auto failed = [&](const std::string &why) {
        if (error)
            *error = "oneDNN forward pass: " + why;
        return cv::Mat();
    };
    const dims &shape = p.inputShape;
    if (blob.depth() != CV_32F || blob.dims != 4 || blob.size[0] != int(shape[0]) || blob.size[1] != int(shape[1])
        || blob.size[2] != int(shape[2]) || blob.size[3] != int(shape[3]) || !blob.isContinuous())
        return failed("the input is not a " + std::to_string(shape[0]) + " x " + std::to_string(shape[1]) + " x "
                      + std::to_string(shape[2]) + " x " + std::to_string(shape[3]) + " float blob");

    const Plan::Value &outputValue = p.values[size_t(p.output)];
    const dims &outShape = outputValue.shape;
    const int outSizes[] = {int(outShape[0]), int(outShape[1]), int(outShape[2]), int(outShape[3])};
    cv::Mat result(4, outSizes, CV_32F);
    try {
        if (!p.arena)
            p.bindArena();
        // oneDNN reads the input in place; it is never written.
        p.memories[size_t(p.input)].set_data_handle(const_cast<float *>(blob.ptr<float>()));
        for (size_t s = 0; s < p.steps.size(); ++s)
            p.steps[s].primitive.execute(p.stream, p.arguments[s]);
        dnnl::memory out({outShape, dt::f32, tag::nchw}, p.engine, result.ptr<float>());
        dnnl::reorder(p.memories[size_t(p.output)], out).execute(p.stream, p.memories[size_t(p.output)], out);
        p.stream.wait();
    } catch (const dnnl::error &e) {
        return failed(e.what());
    } catch (const std::bad_alloc &) {
        return failed("out of memory");
    }
    return result;
}
