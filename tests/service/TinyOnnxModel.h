#pragma once

// Writes tiny ONNX models for the engine tests, so that they never need the
// large download: the protobuf encoding of a graph of one 1 x 1 convolution
// and a sigmoid, written by hand.

#include <QByteArray>
#include <QFile>
#include <QString>

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

inline bool write(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace TinyOnnxModel
