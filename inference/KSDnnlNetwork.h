#pragma once

#include <QString>

#include <opencv2/core.hpp>

#include <memory>
#include <string>

// A convolutional network of an ONNX file run by oneDNN's primitives: the
// same graph OpenCV's DNN runs, about twice as fast on the processors we
// ship for, because oneDNN's convolutions use the processor's widest vector
// units and keep activations in its blocked layout from end to end.
//
// The input size and the number of pictures in a batch are fixed when the
// network is loaded (every primitive is made once for them). Supported
// operators: Conv (with the ReLU after it fused), Relu, MaxPool, Resize
// (linear or nearest), Concat, Add, Sigmoid, and the shape arithmetic that
// feeds Resize (Constant, Shape, Slice, Concat of integers). A graph holding
// anything else does not load.
//
// Forward passes are not safe to run concurrently; one pass uses every core.
class KSDnnlNetwork
{
public:
    ~KSDnnlNetwork();
    KSDnnlNetwork(const KSDnnlNetwork &) = delete;
    KSDnnlNetwork &operator=(const KSDnnlNetwork &) = delete;

    // False when this build has no oneDNN: load() then always fails.
    [[nodiscard]] static bool builtIn();
    // "oneDNN 2.6.3", or why there is none.
    [[nodiscard]] static QString version();
    // The version and the kernels the convolutions run on:
    // "oneDNN 2.6.3 (jit:avx512_core)".
    [[nodiscard]] QString runtimeName() const;

    // Reads the ONNX file and prepares every primitive for a batch of
    // `batch` pictures of width x height; nothing, with *error saying why,
    // when the file is missing, damaged or holds an operator or input this
    // runtime lacks.
    [[nodiscard]] static std::unique_ptr<KSDnnlNetwork> load(const QString &onnxPath, const std::string &inputName,
                                                             const std::string &outputName, int width, int height,
                                                             QString *error, int batch = 1);

    // The output (N x C x H x W, CV_32F) for an input blob of the loaded
    // batch and size (N x C x H x W, CV_32F); empty with *error set on
    // failure.
    [[nodiscard]] cv::Mat forward(const cv::Mat &blob, std::string *error);

    // Bytes held by the prepared weights.
    [[nodiscard]] size_t weightBytes() const;
    // Bytes of the arena that holds the activations of a pass.
    [[nodiscard]] size_t activationBytes() const;

    // The prepared primitives; only the implementation knows them.
    struct Plan;

private:
    explicit KSDnnlNetwork(std::unique_ptr<Plan> plan);
    std::unique_ptr<Plan> m_plan;
};
