#pragma once

#include <QString>

#include <array>
#include <optional>

// The JSON file that describes a learned cut-out model lying beside it:
//   { "name": "...", "file": "model.onnx",
//     "input": { "name": "input", "width": 768, "height": 768, "channels": "RGB",
//                "scale": 1.0, "mean": [128, 128, 128], "std": [256, 256, 256] },
//     "output": { "name": "output", "min": 0.0, "max": 1.0 } }
// Each input channel becomes (pixel x scale - mean) / std with pixels in
// 0..255, in the given channel order; the output's min..max maps to
// background..subject.
struct KSModelDescription
{
    QString name;
    QString modelPath; // absolute
    QString inputName;
    int width = 0;
    int height = 0;
    bool rgb = true; // false: BGR
    double scale = 1.0;
    std::array<double, 3> mean{0, 0, 0};
    std::array<double, 3> std{1, 1, 1};
    QString outputName;
    double outputMin = 0.0;
    double outputMax = 1.0;

    // Reads and checks a description; nothing with *error naming the file
    // and the field at fault.
    [[nodiscard]] static std::optional<KSModelDescription> load(const QString &jsonPath, QString *error);
    // The same from the description's bytes; the model lies beside jsonPath.
    [[nodiscard]] static std::optional<KSModelDescription> fromJson(const QByteArray &json, const QString &jsonPath,
                                                                    QString *error);
};
