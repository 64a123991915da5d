#pragma once

// Writes tiny ONNX models for the engine and runtime tests, so that they
// never need the large download: the protobuf encoding written by hand, of a
// graph of one 1 x 1 convolution and a sigmoid, or of a small network with
// every operator the installed model uses.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace TinyOnnxModel {

// Protobuf wire format: a key (field << 3 | wire type), then the value.
inline void varint(std::string &out, std::uint64_t value)
{
    while (value >= 0x80) {
        out += char((value & 0x7f) | 0x80);
        value >>= 7;
    }
    out += char(value);
}
inline void number(std::string &out, int field, std::uint64_t value)
{
    varint(out, std::uint64_t(field) << 3);
    varint(out, value);
}
inline void bytes(std::string &out, int field, const std::string &value)
{
    varint(out, (std::uint64_t(field) << 3) | 2);
    varint(out, value.size());
    out += value;
}

inline std::string tensor(const std::string &name, const std::vector<std::int64_t> &dims, const std::vector<float> &values)
{
    std::string t;
    for (std::int64_t d : dims)
        number(t, 1, std::uint64_t(d));
    number(t, 2, 1); // FLOAT
    bytes(t, 8, name);
    std::string raw(values.size() * sizeof(float), '\0');
    std::memcpy(raw.data(), values.data(), raw.size());
    bytes(t, 9, raw);
    return t;
}

inline std::string integerTensor(const std::string &name, const std::vector<std::int64_t> &values)
{
    std::string t;
    number(t, 1, values.size());
    number(t, 2, 7); // INT64
    bytes(t, 8, name);
    std::string raw(values.size() * sizeof(std::int64_t), '\0');
    std::memcpy(raw.data(), values.data(), raw.size());
    bytes(t, 9, raw);
    return t;
}

inline std::string valueInfo(const std::string &name, const std::vector<std::int64_t> &dims)
{
    std::string shape;
    for (std::int64_t d : dims) {
        std::string dim;
        number(dim, 1, std::uint64_t(d));
        bytes(shape, 1, dim);
    }
    std::string tensorType;
    number(tensorType, 1, 1); // FLOAT
    bytes(tensorType, 2, shape);
    std::string type;
    bytes(type, 1, tensorType);
    std::string info;
    bytes(info, 1, name);
    bytes(info, 2, type);
    return info;
}

// An attribute holding a list of integers.
inline std::string ints(const std::string &name, const std::vector<std::int64_t> &values)
{
    std::string a;
    bytes(a, 1, name);
    for (std::int64_t v : values)
        number(a, 8, std::uint64_t(v));
    number(a, 20, 7); // INTS
    return a;
}

inline std::string integer(const std::string &name, std::int64_t value)
{
    std::string a;
    bytes(a, 1, name);
    number(a, 3, std::uint64_t(value));
    number(a, 20, 2); // INT
    return a;
}

inline std::string text(const std::string &name, const std::string &value)
{
    std::string a;
    bytes(a, 1, name);
    bytes(a, 4, value);
    number(a, 20, 3); // STRING
    return a;
}

inline std::string tensorAttribute(const std::string &name, const std::string &tensor)
{
    std::string a;
    bytes(a, 1, name);
    bytes(a, 5, tensor);
    number(a, 20, 4); // TENSOR
    return a;
}

inline std::string node(const std::string &op, const std::vector<std::string> &inputs, const std::string &output,
                        const std::vector<std::string> &attributes = {})
{
    std::string n;
    for (const std::string &input : inputs)
        bytes(n, 1, input);
    bytes(n, 2, output);
    bytes(n, 3, op + "_" + output);
    bytes(n, 4, op);
    for (const std::string &attribute : attributes)
        bytes(n, 5, attribute);
    return n;
}

inline QByteArray model(const std::string &graph)
{
    std::string model;
    number(model, 1, 7); // IR version
    bytes(model, 2, "cutora-tests");
    bytes(model, 7, graph);
    std::string opset;
    bytes(opset, 1, "");
    number(opset, 2, 11);
    bytes(model, 8, opset);
    return QByteArray::fromStdString(model);
}

// input (1 x 3 x size x size) -> sigmoid(weights . channels + bias) -> output
// (1 x 1 x size x size). With weights {8, 0, -8} on RGB in 0..1, a red
// subject comes out near 1 and a blue backdrop near 0.
inline QByteArray colourModel(int size, const std::vector<float> &weights, float bias, const std::string &inputName = "input",
                              const std::string &outputName = "output")
{
    std::string graph;
    bytes(graph, 1, node("Conv", {inputName, "weights", "bias"}, "logits", {ints("kernel_shape", {1, 1})}));
    bytes(graph, 1, node("Sigmoid", {"logits"}, outputName));
    bytes(graph, 2, "tiny");
    bytes(graph, 5, tensor("weights", {1, 3, 1, 1}, weights));
    bytes(graph, 5, tensor("bias", {1}, {bias}));
    bytes(graph, 11, valueInfo(inputName, {1, 3, size, size}));
    bytes(graph, 12, valueInfo(outputName, {1, 1, size, size}));
    return model(graph);
}

// A 3 x 3 convolution's weights and bias of `seed`, scaled so that
// activations keep their size through the layers.
inline std::string convolution(std::string &graph, const std::string &name, int in, int out, unsigned seed)
{
    std::vector<float> weights(static_cast<size_t>(out * in * 9)), bias(static_cast<size_t>(out));
    std::uint32_t state = seed * 2654435761u + 1;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return float(state >> 8) / float(1u << 24) - 0.5f; // -0.5..0.5
    };
    const float scale = 2.0f * std::sqrt(6.0f / float(in * 9));
    for (float &w : weights)
        w = next() * scale;
    for (float &b : bias)
        b = next() * 0.2f;
    bytes(graph, 5, tensor(name + ".weight", {out, in, 3, 3}, weights));
    bytes(graph, 5, tensor(name + ".bias", {out}, bias));
    return name;
}

// The operators of the installed model in a network of side `size` (twice
// an odd number, so that pooling rounds up): convolutions (strided,
// dilated) each followed by a ReLU, max pooling in ceil mode, a Resize to
// the size of another activation read through Shape, Slice and Concat, a
// Resize by constant scales, a Concat along the channels, a residual Add, a
// Sigmoid at the end. 1 x 3 x size x size in, 1 x 1 x size x size out.
inline QByteArray networkModel(int size, unsigned seed)
{
    std::string graph;
    const auto conv = [&](const std::string &name, const std::string &in, int from, int to,
                          const std::vector<std::int64_t> &extra = {}) {
        std::vector<std::string> attributes{ints("kernel_shape", {3, 3})};
        const std::int64_t dilation = extra.size() > 0 ? extra[0] : 1, stride = extra.size() > 1 ? extra[1] : 1;
        attributes.push_back(ints("pads", {dilation, dilation, dilation, dilation}));
        attributes.push_back(ints("dilations", {dilation, dilation}));
        attributes.push_back(ints("strides", {stride, stride}));
        convolution(graph, name, from, to, seed + unsigned(graph.size()));
        bytes(graph, 1, node("Conv", {in, name + ".weight", name + ".bias"}, name, attributes));
    };
    const auto relu = [&](const std::string &in) {
        bytes(graph, 1, node("Relu", {in}, in + ".relu"));
        return in + ".relu";
    };
    conv("c0", "input", 3, 16);
    conv("c1", relu("c0"), 16, 16, {1, 2}); // half size
    const std::string half = relu("c1");
    bytes(graph, 1, node("MaxPool", {half}, "pool",
                         {ints("kernel_shape", {2, 2}), ints("strides", {2, 2}), integer("ceil_mode", 1)}));
    conv("c2", "pool", 16, 16, {2}); // dilated
    // Back to the half size, read from the activation's shape.
    bytes(graph, 1, node("Shape", {half}, "shape"));
    bytes(graph, 1, node("Constant", {}, "from", {tensorAttribute("value", integerTensor("from", {2}))}));
    bytes(graph, 1, node("Constant", {}, "to", {tensorAttribute("value", integerTensor("to", {4}))}));
    bytes(graph, 1, node("Constant", {}, "axes", {tensorAttribute("value", integerTensor("axes", {0}))}));
    bytes(graph, 1, node("Slice", {"shape", "from", "to", "axes"}, "side"));
    bytes(graph, 1, node("Constant", {}, "batch", {tensorAttribute("value", integerTensor("batch", {1, 16}))}));
    bytes(graph, 1, node("Concat", {"batch", "side"}, "sizes", {integer("axis", 0)}));
    const std::vector<std::string> linear{text("mode", "linear"), text("coordinate_transformation_mode", "half_pixel")};
    bytes(graph, 1, node("Resize", {relu("c2"), "", "", "sizes"}, "up", linear));
    bytes(graph, 1, node("Concat", {"up", half}, "joined", {integer("axis", 1)}));
    conv("c3", "joined", 32, 16);
    bytes(graph, 1, node("Add", {relu("c3"), half}, "residual"));
    conv("c4", "residual", 16, 1);
    bytes(graph, 5, tensor("scales", {4}, {1, 1, 2, 2}));
    bytes(graph, 1, node("Resize", {"c4", "", "scales"}, "full", linear));
    bytes(graph, 1, node("Sigmoid", {"full"}, "output"));
    bytes(graph, 2, "network");
    bytes(graph, 11, valueInfo("input", {1, 3, size, size}));
    bytes(graph, 12, valueInfo("output", {1, 1, size, size}));
    return model(graph);
}

inline bool write(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace TinyOnnxModel
