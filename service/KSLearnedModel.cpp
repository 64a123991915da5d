#include "KSLearnedModel.h"

#include "KSDnnlNetwork.h"
#include "KSInstalledModel.h"
#include "KSServiceLog.h"

#include <QFileInfo>

#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

#include <chrono>

KSLearnedModel::KSLearnedModel(QString descriptionPath, Runtime runtime)
    : m_descriptionPath(std::move(descriptionPath))
    , m_runtime(runtime)
{
    m_loader = std::thread([this] { load(); });
}

KSLearnedModel::~KSLearnedModel()
{
    if (m_loader.joinable())
        m_loader.join();
}

void KSLearnedModel::fail(const QString &why)
{
    {
        std::lock_guard lock(m_mutex);
        m_state = State::failed;
        m_error = why;
    }
    KSServiceLog::E(why + QStringLiteral("; the classical engine cuts out instead"));
    m_settled.notify_all();
}

void KSLearnedModel::load()
{
    const auto start = std::chrono::steady_clock::now();
    QString error;
    const std::optional<KSModelDescription> description = KSModelDescription::load(m_descriptionPath, &error);
    if (!description) {
        fail(error);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_description = *description;
    }
    if (!QFileInfo(description->modelPath).isFile()) {
        fail(QStringLiteral("the learned model %1 is missing").arg(description->modelPath));
        return;
    }
    QString runtime;
    const bool opencvTold = m_runtime == Runtime::opencv
                            || qEnvironmentVariable("CUTORA_RUNTIME") == QLatin1String("opencv");
    if (!opencvTold) {
        QString why;
        m_fast = KSDnnlNetwork::load(description->modelPath, description->inputName.toStdString(),
                                     description->outputName.toStdString(), description->width, description->height,
                                     &why);
        if (m_fast)
            runtime = m_fast->runtimeName();
        else
            KSServiceLog::I(why + QStringLiteral("; OpenCV's DNN runs the model instead"));
    }
    if (!m_fast) {
        if (!loadOpenCv(*description))
            return;
        runtime = QStringLiteral("OpenCV %1 DNN").arg(QString::fromLatin1(CV_VERSION));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    {
        std::lock_guard lock(m_mutex);
        m_state = State::ready;
        m_loadSeconds = seconds;
        m_runtimeName = runtime;
    }
    KSInstalledModel::noteRuntime(m_descriptionPath, runtime);
    KSServiceLog::I(QStringLiteral("learned model %1 loaded in %2 s from %3, run by %4")
                        .arg(description->name)
                        .arg(seconds, 0, 'f', 2)
                        .arg(description->modelPath, runtime));
    m_settled.notify_all();
}

bool KSLearnedModel::loadOpenCv(const KSModelDescription &description)
{
    auto net = std::make_unique<cv::dnn::Net>();
    try {
        *net = cv::dnn::readNetFromONNX(description.modelPath.toStdString());
    } catch (const cv::Exception &e) {
        fail(QStringLiteral("the learned model %1 cannot be loaded: %2")
                 .arg(description.modelPath, QString::fromStdString(e.err)));
        return false;
    }
    if (net->empty()) {
        fail(QStringLiteral("the learned model %1 cannot be loaded").arg(description.modelPath));
        return false;
    }
    if (net->getLayerId(description.outputName.toStdString()) < 0) {
        fail(QStringLiteral("the learned model %1 has no output \"%2\"")
                 .arg(description.modelPath, description.outputName));
        return false;
    }
    net->setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    net->setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
    m_net = std::move(net);
    return true;
}

bool KSLearnedModel::waitUntilLoaded()
{
    std::unique_lock lock(m_mutex);
    m_settled.wait(lock, [this] { return m_state != State::loading; });
    return m_state == State::ready;
}

KSLearnedModel::State KSLearnedModel::state() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

QString KSLearnedModel::errorString() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

QString KSLearnedModel::name() const
{
    std::lock_guard lock(m_mutex);
    return m_description.name;
}

double KSLearnedModel::loadSeconds() const
{
    std::lock_guard lock(m_mutex);
    return m_loadSeconds;
}

QString KSLearnedModel::runtimeName() const
{
    std::lock_guard lock(m_mutex);
    return m_runtimeName;
}

cv::Size KSLearnedModel::inputSize() const
{
    std::lock_guard lock(m_mutex);
    return {m_description.width, m_description.height};
}

cv::Mat KSLearnedModel::inputBlob(const cv::Mat &bgr, const KSModelDescription &d)
{
    // Area averaging when shrinking: bilinear sampling of a 2000-pixel photo
    // at 768 skips pixels and makes fine detail flicker.
    const cv::Size size(d.width, d.height);
    cv::Mat resized;
    const bool shrinking = bgr.cols > size.width && bgr.rows > size.height;
    cv::resize(bgr, resized, size, 0, 0, shrinking ? cv::INTER_AREA : cv::INTER_LINEAR);
    const int blobShape[] = {1, 3, size.height, size.width};
    cv::Mat blob(4, blobShape, CV_32F);
    std::vector<cv::Mat> planes;
    cv::split(resized, planes); // B, G, R
    for (int c = 0; c < 3; ++c) {
        const int source = d.rgb ? 2 - c : c;
        cv::Mat plane(size, CV_32F, blob.ptr<float>(0, c));
        const double factor = d.scale / d.std[size_t(c)];
        planes[size_t(source)].convertTo(plane, CV_32F, factor, -d.mean[size_t(c)] / d.std[size_t(c)]);
    }
    return blob;
}

cv::Mat KSLearnedModel::predict(const cv::Mat &bgr, std::string *error)
{
    auto failed = [&](const QString &why) {
        if (error)
            *error = why.toStdString();
        fail(why);
        return cv::Mat();
    };
    if (!waitUntilLoaded()) {
        if (error)
            *error = errorString().toStdString();
        return {};
    }
    const KSModelDescription &d = m_description;
    const cv::Mat blob = inputBlob(bgr, d);
    cv::Mat output;
    if (m_fast) {
        std::lock_guard lock(m_forwardMutex);
        std::string why;
        output = m_fast->forward(blob, &why);
        if (output.empty())
            return failed(QStringLiteral("the learned model %1 failed on a picture: %2")
                              .arg(d.name, QString::fromStdString(why)));
    } else {
        try {
            std::lock_guard lock(m_forwardMutex);
            m_net->setInput(blob, d.inputName.toStdString());
            output = m_net->forward(d.outputName.toStdString());
        } catch (const cv::Exception &e) {
            return failed(QStringLiteral("the learned model %1 failed on a picture: %2")
                              .arg(d.name, QString::fromStdString(e.err)));
        }
    }
    // The first plane of whatever layout the output has (N x 1 x H x W, H x W).
    const int dims = output.dims;
    if (output.depth() != CV_32F || dims < 2 || output.total() < size_t(output.size[dims - 2]) * size_t(output.size[dims - 1]))
        return failed(QStringLiteral("the learned model %1 gave an output of an unexpected type").arg(d.name));
    const cv::Mat plane(output.size[dims - 2], output.size[dims - 1], CV_32F, output.ptr<float>());
    cv::Mat probability;
    plane.convertTo(probability, CV_32F, 1.0 / (d.outputMax - d.outputMin), -d.outputMin / (d.outputMax - d.outputMin));
    cv::min(cv::max(probability, 0.0), 1.0, probability);
    return probability;
}
