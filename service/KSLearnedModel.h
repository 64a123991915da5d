#pragma once

#include "KSModelDescription.h"

#include <QString>

#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class KSDnnlNetwork;

// A learned model described by a JSON file, loaded once per service on a
// thread of its own and shared by every worker. OpenCV's network is not safe
// for concurrent forward passes, and one pass already uses every core, so
// the workers take turns on one network instead of each holding a copy
// (which would also multiply the memory of its large activations).
//
// Two runtimes can run the network: oneDNN (KSDnnlNetwork, about twice as
// fast) when this build has it and it can run the graph, else OpenCV's DNN.
// Only one is loaded, and the log says which. CUTORA_RUNTIME=opencv in the
// environment passes over oneDNN.
class KSLearnedModel
{
public:
    enum class State { loading, ready, failed };
    enum class Runtime { fastest, opencv };

    // Starts loading at once; the description is read on the loading thread.
    explicit KSLearnedModel(QString descriptionPath, Runtime runtime = Runtime::fastest);
    ~KSLearnedModel();
    KSLearnedModel(const KSLearnedModel &) = delete;
    KSLearnedModel &operator=(const KSLearnedModel &) = delete;

    // Waits for the load to end; true when the model is usable.
    bool waitUntilLoaded();
    [[nodiscard]] State state() const;
    // Why the model cannot be used (empty while it can).
    [[nodiscard]] QString errorString() const;
    // The description's name, once read.
    [[nodiscard]] QString name() const;
    [[nodiscard]] double loadSeconds() const;
    // What runs the network once loaded: "oneDNN 2.6.3 (avx512_core)",
    // "OpenCV 4.6.0 DNN"; empty before.
    [[nodiscard]] QString runtimeName() const;

    // The subject's probability (0..1, CV_32F) at the model's input size for
    // an 8-bit BGR picture; empty with *error set on failure. A model that
    // fails here is marked failed, so later tasks do not try it again.
    [[nodiscard]] cv::Mat predict(const cv::Mat &bgr, std::string *error);
    [[nodiscard]] cv::Size inputSize() const;

    // The input blob for a picture (NCHW, float), resized, ordered and
    // normalised as the description says.
    [[nodiscard]] static cv::Mat inputBlob(const cv::Mat &bgr, const KSModelDescription &description);

private:
    void load();
    [[nodiscard]] bool loadOpenCv(const KSModelDescription &description);
    void fail(const QString &why);

    QString m_descriptionPath;
    KSModelDescription m_description;
    Runtime m_runtime;
    std::unique_ptr<KSDnnlNetwork> m_fast; // or:
    std::unique_ptr<cv::dnn::Net> m_net;
    QString m_runtimeName;
    mutable std::mutex m_mutex; // state, error, name
    std::condition_variable m_settled;
    State m_state = State::loading;
    QString m_error;
    double m_loadSeconds = 0;
    std::mutex m_forwardMutex;
    std::thread m_loader;
};
